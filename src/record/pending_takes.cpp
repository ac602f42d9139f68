#include "record/pending_takes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cstring>

#include "naming/recording_names.h"
#include "platform/file_io.h"
#include "record/take_journal.h"
#include "record/take_replacement.h"
#include "record/wav_image.h"

namespace quillar {

namespace {

constexpr int kMaxEarlierNames = 999;

// The journal as a WAV image of its whole frames, its header made anew from the TakeInfo; empty
// when it holds no frame (`*read` true) or cannot be read (`*read` false).
QByteArray imageOf(const PendingTake& take, bool* read) {
    QFile file(take.journal);
    *read = take.info.hasUsableFormat() && file.open(QIODevice::ReadOnly);
    if (!*read) {
        return {};
    }
    const QByteArray journal = file.readAll();
    const auto length = static_cast<std::uint64_t>(journal.size());
    const JournalAudio audio = JournalAudioOf(
        [&journal, length](std::uint64_t at, void* out, std::uint64_t n) {
            const std::uint64_t got = at >= length ? 0 : std::min(n, length - at);
            std::memcpy(out, journal.constData() + at, got);
            return got;
        },
        length, take.info);
    if (audio.bytes == 0) {
        return {};
    }
    const auto header = wavHeaderBytes(static_cast<std::uint32_t>(audio.bytes), take.info.rate,
                                       take.info.bits, take.info.channels);
    QByteArray image(reinterpret_cast<const char*>(header.data()),
                     static_cast<qsizetype>(header.size()));
    image.append(journal.constData() + audio.offset, static_cast<qsizetype>(audio.bytes));
    image.append(static_cast<qsizetype>(wavPadBytes(audio.bytes)), '\0');
    return image;
}

// A free name for `take` among the earlier takes beside `target`.
QString earlierPathFor(const QString& target, const QDateTime& started) {
    const QFileInfo t(target);
    const QString folder = t.absolutePath() + u'/' + kEarlierTakesFolder;
    if (!QDir().mkpath(folder)) {
        return QString();
    }
    const int nameMax = NameRulesOf(folder).nameMax;
    for (int attempt = 1; attempt <= kMaxEarlierNames; ++attempt) {
        const QString path =
            folder + u'/' + earlierTakeName(t.fileName(), started, attempt, nameMax);
        if (!QFileInfo::exists(path)) {
            return path;
        }
    }
    return QString();
}

void forget(PendingTake& take) {
    // Unlinked while still locked: a Quillar starting now sees no file or a locked one.
    QFile::remove(takeInfoPathOf(take.journal));
    QFile::remove(take.journal);
    platform::syncFolder(QFileInfo(take.journal).absolutePath());
    if (take.lockFd >= 0) {
        platform::closeFile(take.lockFd);
        take.lockFd = -1;
    }
}

}  // namespace

PendingTakes::~PendingTakes() {
    for (PendingTake& take : m_takes) {
        if (take.lockFd >= 0) {
            platform::closeFile(take.lockFd);
        }
    }
}

bool PendingTakes::add(TakeJournal& journal) {
    journal.finish();
    if (journal.path().isEmpty() || !journal.isProtected()) {
        return false;
    }
    TakeInfo info = journal.info();
    info.pending = true;
    // Should the TakeInfo not be rewritten, the take is still kept in this run, and the next
    // start recovers it beside its folder as a take cut off: never lost either way.
    writeTakeInfo(journal.infoPath(), info);
    const QString path = journal.path();
    const int fd = journal.releaseLock();
    if (fd < 0) {
        return false;
    }
    m_takes.push_back({path, info, fd});
    return true;
}

int PendingTakes::claimLeftOver(const QString& journalFolder) {
    const QDir dir(journalFolder);
    const QStringList names = dir.entryList(
        {QLatin1String(kJournalPrefix) + QStringLiteral("*.wav")}, QDir::Files, QDir::Name);
    int claimed = 0;
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        const std::optional<TakeInfo> info = readTakeInfo(takeInfoPathOf(path));
        if (!info || !info->pending || !info->hasUsableFormat()) {
            continue;
        }
        const int fd = ClaimJournal(path);
        if (fd < 0) {
            continue;  // held by a running Quillar, which saves it itself
        }
        m_takes.push_back({path, *info, fd});
        ++claimed;
    }
    return claimed;
}

std::vector<SavedPendingTake> PendingTakes::saveWhatCan(const QString& unsetFolder) {
    std::vector<SavedPendingTake> saved;
    std::stable_sort(
        m_takes.begin(), m_takes.end(),
        [](const PendingTake& a, const PendingTake& b) { return a.info.started < b.info.started; });
    // Start of the take each item file holds after a save of this round.
    QHash<QString, QDateTime> placed;
    for (auto it = m_takes.begin(); it != m_takes.end();) {
        PendingTake& take = *it;
        const QString folder =
            CleanFolder(take.info.folder).isEmpty() ? unsetFolder : take.info.folder;
        const QString target =
            TakeFilePath(folder, take.info.item, take.info.occurrence, take.info.started);
        if (target.isEmpty() || !platform::folderWritable(QFileInfo(target).absolutePath())) {
            ++it;
            continue;
        }
        bool read = false;
        const QByteArray image = imageOf(take, &read);
        if (image.isEmpty()) {
            // Not a frame of audio in it, or the journal was deleted by hand: nothing to save,
            // ever. A journal that cannot be read just now is tried again.
            if (read || !QFileInfo::exists(take.journal)) {
                forget(take);
                it = m_takes.erase(it);
            } else {
                ++it;
            }
            continue;
        }
        // A take recorded for this item after the pending one stays the item's take.
        const QFileInfo standing(target);
        const bool newerStands =
            standing.exists() &&
            (placed.contains(target) ? placed.value(target) > take.info.started
                                     : standing.lastModified() > take.info.started);
        const QString path = newerStands ? earlierPathFor(target, take.info.started) : target;
        const SaveResult result =
            path.isEmpty()
                ? SaveResult{}
                : replaceTakeFile(path, image.constData(), static_cast<std::size_t>(image.size()),
                                  QDateTime::currentDateTime());
        if (!result) {
            ++it;
            continue;
        }
        if (!newerStands) {
            placed.insert(target, take.info.started);
        }
        saved.push_back({take.info, path, result.replaced});
        forget(take);
        it = m_takes.erase(it);
    }
    return saved;
}

}  // namespace quillar
