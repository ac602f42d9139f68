#include "record/take_logging.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include "audio/wav_layout.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/record_buffer.h"
#include "kit/ui_texts.h"
#include "naming/recording_names.h"
#include "quality/wav_judgement.h"
#include "record/recorder.h"
#include "record/take.h"
#include "record/take_info.h"
#include "record/take_log.h"

namespace quillar {

namespace {

// Format, length and peak of a WAV image of `size` bytes, read by the engine's WAV reader.
bool describeImage(const std::uint8_t* image, std::size_t size, TakeLogEntry& e,
                   const PeakScan* known) {
    audio::WavLayout layout;
    if (image == nullptr || !audio::parseWavLayout(image, size, &layout) ||
        layout.storedFrameBytes == 0 || layout.rate == 0) {
        return false;
    }
    e.channels = layout.channels;
    e.rate = layout.rate;
    e.bits = layout.bits;
    e.seconds = static_cast<double>(layout.dataBytes / layout.storedFrameBytes) / e.rate;
    const PeakScan scan = known != nullptr
                              ? *known
                              : ScanSamples(image + layout.dataOffset,
                                            static_cast<std::size_t>(layout.dataBytes), e.bits);
    e.peak = scan.peak;
    e.clipped = scan.clipped;
    return true;
}

void fillCommon(App& app, TakeLogEntry& e, const QString& path, const QString& replaced,
                const QString& how) {
    e.time = QDateTime::currentDateTime();
    e.file = QFileInfo(path).absoluteFilePath();
    e.itemFile = app.form.编辑框_录音文本源路径->text();
    e.replaced = replaced.isEmpty() ? QString() : QFileInfo(replaced).absoluteFilePath();
    e.how = how;
}

}  // namespace

bool AppendTakeLogLine(App& app, const TakeLogEntry& entry) {
    QLabel* notice = app.form.标签_日志提示;
    if (AppendTakeLog(entry)) {
        app.state.take_log_failing = false;
        notice->hide();
        return true;
    }
    if (!app.state.take_log_failing) {
        app.state.take_log_failing = true;
        const QString log = QFileInfo(entry.file).absolutePath() + u'/' + kTakeLogName;
        notice->setText(
            Texts::tr(" 录音已保存，但录音日志无法写入：%1").arg(QDir::toNativeSeparators(log)));
        notice->show();
        notice->raise();
    }
    return false;
}

void LogTake(App& app, const Take& take, const RecordBuffer& image, const QString& path,
             const QString& replaced, const QString& how) {
    TakeLogEntry e;
    fillCommon(app, e, path, replaced, how);
    const TakeTarget& target = take.target();
    // An item of blanks alone is no item text: its take is untitled, and so is its line.
    e.item = IsBlankItem(target.item) ? QString() : target.item;
    e.device = target.device;
    LabelLogEntry(e, target.labels);
    const TakeCheck& check = take.check();
    const PeakScan scan{check.peak(), check.clipped()};
    if (!image.isWavImage() || !describeImage(image.data(), image.size(), e, &scan)) {
        return;
    }
    e.judged = check.judgement().frames > 0;
    e.judgement = check.judgement();
    if (take.prerollShortMs() > 0) {
        e.notes.append(QStringLiteral("short_preroll"));
    }
    if (take.lostFrames() > 0) {
        e.notes.append(QStringLiteral("dropout"));
    }
    AppendTakeLogLine(app, e);
}

void LogRecoveredTake(App& app, const QString& path, const TakeInfo& info,
                      const QString& replaced) {
    LogTakeFile(app, path, info, replaced, kTakeHowRecovered);
}

void LabelLogEntry(TakeLogEntry& e, const TakeLabels& labels) {
    e.id = labels.id;
    if (labels.session) {
        e.speaker = labels.session->speaker.code;
        e.site = labels.session->site.code;
    }
}

bool DescribeTakeImage(const QByteArray& image, TakeLogEntry& e) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(image.constData());
    const auto size = static_cast<std::size_t>(image.size());
    if (!describeImage(bytes, size, e, nullptr)) {
        return false;
    }
    e.judged = true;
    e.judgement = quality::JudgeWavImage(bytes, size).judgement;
    return true;
}

void LogDescribedTake(App& app, TakeLogEntry e, const QString& path, const TakeInfo& info,
                      const QString& replaced, const QString& how) {
    fillCommon(app, e, path, replaced, how);
    e.item = info.item;
    e.device = info.device;
    LabelLogEntry(e, info.labels);
    app.state.judged_takes.insert(e.file, e.judgement);
    AppendTakeLogLine(app, e);
}

void LogTakeFile(App& app, const QString& path, const TakeInfo& info, const QString& replaced,
                 const QString& how) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    TakeLogEntry e;
    if (DescribeTakeImage(file.readAll(), e)) {
        LogDescribedTake(app, std::move(e), path, info, replaced, how);
    }
}

}  // namespace quillar
