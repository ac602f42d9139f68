#include "record/take_recovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <array>

#include "audio/wav_layout.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/record_buffer.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "naming/name_template.h"
#include "naming/recording_names.h"
#include "platform/file_io.h"
#include "record/take_annotation.h"
#include "record/take_journal.h"
#include "record/take_logging.h"
#include "record/take_metadata.h"
#include "record/take_naming.h"
#include "record/wav_image.h"
#include "record/wav_metadata.h"

namespace quillar {

namespace {

constexpr int kMaxNameTries = 999;

audio::WavReader readerOf(int fd) {
    return [fd](std::uint64_t at, void* out, std::uint64_t n) {
        const std::int64_t got = platform::readAt(fd, out, n, at);
        return got > 0 ? static_cast<std::uint64_t>(got) : 0;
    };
}

// What the journal's own header says, for a journal whose TakeInfo file was lost: read by the
// engine's WAV reader, as far as the file goes.
TakeInfo infoFromHeader(int fd, const QString& path) {
    TakeInfo info;
    audio::WavLayout layout;
    audio::readWavLayout(readerOf(fd), platform::sizeOf(fd).value_or(0), &layout);
    info.channels = layout.channels;
    info.rate = layout.rate;
    info.bits = layout.bits;
    info.started = QFileInfo(path).lastModified();
    return info;
}

QString itemStem(QString item) {
    item.remove(u'\t');
    item = item.trimmed();
    return item.isEmpty() ? QStringLiteral("录音") : item;
}

// Writes the journal's audio into a new file in `folder`, after the metadata `chunks` when there
// are any, and flushes it; the file's path, or empty when nothing could be written there (nothing
// is left behind then).
QString writeOut(int journal, const TakeInfo& info, const JournalAudio& audio,
                 const QString& folder, QByteArrayView chunks) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        return QString();
    }
    const QDateTime started = info.started.isValid() ? info.started : QDateTime::currentDateTime();
    QString dir = folder;
    QString stem = itemStem(info.item);
    if (!info.labels.nameTemplate.isEmpty()) {
        // Beside the file the take was to be saved as, named after it: a survey's recovered
        // take is found in its speaker's and list's folder, by its id.
        const QString named = TakeFileOf(folder, info.item, info.occurrence, info.labels, started);
        if (!named.isEmpty() && MakeRecordingFolders(folder, named)) {
            const QFileInfo namedInfo(named);
            dir = namedInfo.absolutePath();
            stem = namedInfo.completeBaseName();
        }
    }
    const QString time =
        QStringLiteral(".恢复-") + started.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const NameRules rules = NameRulesOf(dir);
    QString path;
    platform::FileHandle file;
    for (int n = 1; n <= kMaxNameTries && !file; ++n) {
        const QString suffix =
            n == 1 ? time + QStringLiteral(".wav") : QStringLiteral("%1-%2.wav").arg(time).arg(n);
        path = dir + u'/' + FitFileName(stem, suffix, rules, info.item);
        // A new file only: an existing one is never replaced, whoever made it.
        file = platform::createNewFile(path);
        if (!file && errno != EEXIST) {
            return QString();
        }
    }
    if (!file) {
        return QString();
    }
    QByteArray header;
    if (!chunks.isEmpty()) {
        header = wavFileHeader(audio.bytes, info.rate, info.bits, info.channels, chunks);
    }
    if (header.isEmpty()) {
        const auto plain = wavHeaderBytes(static_cast<std::uint32_t>(audio.bytes), info.rate,
                                          info.bits, info.channels);
        header = QByteArray(reinterpret_cast<const char*>(plain.data()),
                            static_cast<qsizetype>(plain.size()));
    }
    const auto headerBytes = static_cast<std::uint64_t>(header.size());
    const std::uint8_t pad = 0;
    bool ok = platform::writeAllAt(file.fd(), header.constData(), headerBytes, 0) &&
              platform::copyAllAt(journal, audio.offset, file.fd(), headerBytes, audio.bytes) &&
              (wavPadBytes(audio.bytes) == 0 ||
               platform::writeAllAt(file.fd(), &pad, 1, headerBytes + audio.bytes)) &&
              platform::syncData(file.fd());
    ok = file.close() && ok;
    if (!ok) {
        QFile::remove(path);
        return QString();
    }
    platform::syncFolder(dir);
    return path;
}

// A recovered take is on disk: it goes into its folder's take log like any saved take. It never
// replaces a file, so no earlier take was kept.
void reportRecoveredTake(App& app, const RecoveredTake& take) {
    LogRecoveredTake(app, take.path, take.info, QString());
}

QString listOf(const RecoveryOutcome& outcome) {
    QString text;
    if (!outcome.recovered.empty()) {
        text += Texts::tr("上次 Quillar 没有正常结束，以下录音已经找回并保存：\n");
        for (const RecoveredTake& t : outcome.recovered) {
            // A table's item by its id too: two 磨 are told apart only so.
            const QString item =
                t.info.labels.id.isEmpty() ? t.info.item : t.info.labels.id + u' ' + t.info.item;
            text += QStringLiteral("\n%1\n    %2\n")
                        .arg(item.isEmpty() ? Texts::tr("（无录音文本）")
                                            : ElideMiddle(PrintableText(item)),
                             ElideMiddle(QDir::toNativeSeparators(t.path)));
        }
    }
    if (!outcome.leftOver.isEmpty()) {
        if (!text.isEmpty()) {
            text += u'\n';
        }
        text += Texts::tr("以下录音的恢复文件暂时无法写出，仍保留着，下次启动时会再试：\n");
        for (const QString& journal : outcome.leftOver) {
            text += QStringLiteral("\n%1\n").arg(ElideMiddle(QDir::toNativeSeparators(journal)));
        }
    }
    return text;
}

}  // namespace

RecoveryOutcome recoverJournals(const QString& journalFolder, const QStringList& fallbackFolders,
                                const WavMetadataOf& metadataOf) {
    RecoveryOutcome outcome;
    const QDir dir(journalFolder);
    const QStringList names = dir.entryList(
        {QLatin1String(kJournalPrefix) + QStringLiteral("*.wav")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        const platform::FileHandle journal(ClaimJournal(path));
        if (!journal) {
            continue;
        }
        const int fd = journal.fd();
        const QString infoPath = takeInfoPathOf(path);
        std::optional<TakeInfo> info = readTakeInfo(infoPath);
        if (info && info->pending && info->hasUsableFormat()) {
            // A take that knows its item waits to be saved there (record/pending_takes.h).
            continue;
        }
        if (!info || !info->hasUsableFormat()) {
            info = infoFromHeader(fd, path);
        }
        const std::uint64_t fileBytes = platform::sizeOf(fd).value_or(0);
        if (!info->hasUsableFormat() && fileBytes > kWavHeaderBytes) {
            // Audio whose format nobody can tell: kept for a person to look at.
            outcome.leftOver << path;
            continue;
        }
        const JournalAudio audio = JournalAudioOf(readerOf(fd), fileBytes, *info);
        if (audio.bytes == 0) {
            // Not a frame of audio: nothing to bring back.
            QFile::remove(path);
            QFile::remove(infoPath);
            continue;
        }
        const std::optional<WavMetadata> metadata = metadataOf ? metadataOf(*info) : std::nullopt;
        const QByteArray chunks = metadata ? wavMetadataChunks(*metadata) : QByteArray();
        QString written;
        QStringList targets{info->folder};
        targets += fallbackFolders;
        for (const QString& folder : targets) {
            written = writeOut(fd, *info, audio, folder, chunks);
            if (!written.isEmpty()) {
                break;
            }
        }
        if (written.isEmpty()) {
            outcome.leftOver << path;
        } else {
            // Judged as it now lies; it never replaced a file, so no earlier TextGrid moves.
            AnnotateSavedTake(written, *info);
            // Only now that the take is on disk elsewhere.
            QFile::remove(path);
            QFile::remove(infoPath);
            platform::syncFolder(journalFolder);
            outcome.recovered.push_back({*info, written, audio.bytes});
        }
    }
    return outcome;
}

void RecoverUnfinishedTakes(App& app) {
    const RecoveryOutcome outcome = recoverJournals(
        JournalFolder(), {app.form.编辑框_保存路径->text(), QDir::homePath()}, TakeMetadataOf);
    for (const RecoveredTake& take : outcome.recovered) {
        reportRecoveredTake(app, take);
    }
    if (outcome.recovered.empty() && outcome.leftOver.isEmpty()) {
        return;
    }
    app.ui.message(&app.form, Texts::tr("系统提示"), listOf(outcome),
                   outcome.leftOver.isEmpty() ? MessageIcon::Information : MessageIcon::Warning);
}

}  // namespace quillar
