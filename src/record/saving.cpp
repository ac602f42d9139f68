#include "record/saving.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>

#include "audio/wav_layout.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/record_buffer.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "naming/recording_names.h"
#include "record/recorder.h"
#include "record/take.h"
#include "record/take_annotation.h"
#include "record/take_log.h"
#include "record/take_logging.h"
#include "record/take_metadata.h"
#include "record/take_safety.h"

namespace quillar {

SaveResult writeWavImageFile(const RecordBuffer& buffer, const QString& path,
                             const StepCheck& check, const std::optional<WavMetadata>& metadata,
                             const QString& baseFolder) {
    if (path.isEmpty() || buffer.empty() || !buffer.isWavImage()) {
        return {};
    }
    const QDateTime now = QDateTime::currentDateTime();
    audio::WavLayout layout;
    if (!metadata || !audio::parseWavLayout(buffer.data(), buffer.size(), &layout)) {
        return replaceTakeFile(path, buffer.data(), buffer.size(), now, check, baseFolder);
    }
    // The image's own samples and pad byte stay where they are; only the header is new.
    const std::size_t dataAt = buffer.headerBytes();
    const std::uint64_t dataLength = layout.declaredDataBytes;
    const QByteArray header = wavFileHeader(dataLength, layout.rate, layout.bits, layout.channels,
                                            wavMetadataChunks(*metadata));
    if (header.isEmpty() || dataAt + dataLength > buffer.size()) {
        return replaceTakeFile(path, buffer.data(), buffer.size(), now, check, baseFolder);
    }
    const TakeBytes pieces[] = {
        {reinterpret_cast<const std::uint8_t*>(header.constData()),
         static_cast<std::size_t>(header.size())},
        {buffer.data() + dataAt, buffer.size() - dataAt},
    };
    return replaceTakeFile(path, pieces, now, check, baseFolder);
}

SaveResult WriteRecordingFile(App& app, const QString& path,
                              const std::optional<WavMetadata>& metadata) {
    SaveResult saved = writeWavImageFile(app.state.record_buffer, path, {}, metadata);
    if (saved) {
        EndTakeJournal(app);  // the take is safe in a file now
    }
    return saved;
}

void SaveRecordingAs(App& app) {
    MainForm& f = app.form;
    if (!app.ui.saveFile(&f, f.通用对话框1)) {
        return;
    }
    const QString path = f.通用对话框1.fileName;
    // The next save starts where this one went: takes of one session usually share a folder.
    f.通用对话框1.initialDir = QFileInfo(path).absolutePath();
    // The take the buffer holds, kept with it when it was filed.
    const std::shared_ptr<Take> take = app.state.latest_take;
    // The take saved is the latest filed: its file says what its item's would have said.
    const std::shared_ptr<Take>& latest = app.state.latest_take;
    const SaveResult saved =
        WriteRecordingFile(app, path, latest ? TakeMetadataOf(latest->info()) : std::nullopt);
    if (saved) {
        KeepEarlierTakeAnnotation(path, saved.replaced);
        if (take) {
            // The take's own option, as its Enter save and its pending and recovered saves have
            // it: the TextGrid follows the take, not the options of the moment.
            AnnotateSavedTake(path, take->info(), &take->check().judgement());
            if (const quality::Judgement& j = take->check().judgement(); j.frames > 0) {
                app.state.judged_takes.insert(QFileInfo(path).absoluteFilePath(), j);
            }
            LogTake(app, *take, app.state.record_buffer, path, saved.replaced, kTakeHowSave);
        }
        app.ui.message(&f, Texts::tr("系统提示"),
                       Texts::tr("录音文件保存成功 , ") + f.编辑框4->text(),
                       MessageIcon::Information);
    } else {
        // The described words first; then which file and the system's own reason.
        QString text = Texts::tr("录音文件保存失败 , 文件可能被占用！");
        if (!app.state.record_buffer.empty()) {
            text +=
                Texts::tr("\n%1\n（%2）")
                    .arg(ElideMiddle(QDir::toNativeSeparators(path)), SaveErrorText(saved.error));
        }
        app.ui.message(&f, Texts::tr("系统提示"), text, MessageIcon::Error);
    }
}

}  // namespace quillar
