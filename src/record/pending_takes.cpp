#include "record/pending_takes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cstring>
#include <optional>

#include "kit/record_buffer.h"
#include "naming/recording_names.h"
#include "platform/file_io.h"
#include "record/take_journal.h"
#include "record/take_replacement.h"
#include "record/wav_image.h"

namespace quillar {

namespace {

constexpr int kMaxEarlierNames = 999;
// The wait after a take's first failed try, doubled after each further one up to the last.
constexpr std::int64_t kFirstRetryMs = 3000;
constexpr std::int64_t kLongestRetryMs = 60000;
std::uint64_t g_imageSerial = 0;

// The journal as a WAV image of its whole frames, its header made anew from the TakeInfo; empty
// when it holds no frame (`*read` true) or cannot be read (`*read` false). A take kept in memory
// is its own image.
QByteArray imageOf(const PendingTake& take, bool* read) {
    if (take.journal.isEmpty()) {
        *read = true;
        return take.image;
    }
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
    if (take.journal.isEmpty()) {
        return;  // in memory only
    }
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
    m_takes.push_back(PendingTake{path, info, fd, {}, 0, 0});
    return true;
}

std::size_t PendingTakes::inMemory() const {
    return static_cast<std::size_t>(std::count_if(
        m_takes.begin(), m_takes.end(), [](const PendingTake& t) { return t.journal.isEmpty(); }));
}

namespace {

// Writes `image` to `journalFolder` as a pending journal with its TakeInfo, and locks it; the
// take as it now waits, or nothing when the folder cannot take it.
std::optional<PendingTake> writePendingJournal(const TakeInfo& info, const QByteArray& image,
                                               const QString& journalFolder) {
    if (journalFolder.isEmpty() || !QDir().mkpath(journalFolder)) {
        return std::nullopt;
    }
    const QString stem = QStringLiteral("%1/%2%3-%4-p%5")
                             .arg(journalFolder, QLatin1String(kJournalPrefix),
                                  info.started.toString(QStringLiteral("yyyyMMdd-HHmmss")))
                             .arg(platform::processId())
                             .arg(++g_imageSerial);
    const QString path = stem + QStringLiteral(".wav");
    TakeInfo pending = info;
    pending.pending = true;
    // The TakeInfo first: a journal without one would be recovered as a take cut off by a crash.
    if (!writeTakeInfo(takeInfoPathOf(path), pending) ||
        !replaceTakeFile(path, image.constData(), static_cast<std::size_t>(image.size()),
                         QDateTime::currentDateTime())) {
        QFile::remove(takeInfoPathOf(path));
        QFile::remove(path);
        return std::nullopt;
    }
    const int fd = ClaimJournal(path);
    return PendingTake{path, pending, fd, {}, 0, 0};
}

}  // namespace

bool PendingTakes::addImage(const TakeInfo& info, const RecordBuffer& image,
                            const QString& journalFolder) {
    if (image.empty() || !image.isWavImage()) {
        return true;  // nothing to keep
    }
    QByteArray bytes(reinterpret_cast<const char*>(image.data()),
                     static_cast<qsizetype>(image.size()));
    if (std::optional<PendingTake> written = writePendingJournal(info, bytes, journalFolder)) {
        m_takes.push_back(std::move(*written));
        return true;
    }
    TakeInfo pending = info;
    pending.pending = true;
    m_takes.push_back(PendingTake{QString(), pending, -1, std::move(bytes), 0, 0});
    return false;
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
        m_takes.push_back(PendingTake{path, *info, fd, {}, 0, 0});
        ++claimed;
    }
    return claimed;
}

std::vector<SavedPendingTake> PendingTakes::saveWhatCan(const QString& unsetFolder,
                                                        std::int64_t nowMs, bool force,
                                                        const QString& journalFolder) {
    std::vector<SavedPendingTake> saved;
    // A take in memory goes to the state folder as soon as that takes files: a crash can no
    // longer lose it.
    for (PendingTake& take : m_takes) {
        if (take.journal.isEmpty() && !journalFolder.isEmpty()) {
            if (std::optional<PendingTake> written =
                    writePendingJournal(take.info, take.image, journalFolder)) {
                take = std::move(*written);
            }
        }
    }
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
        if (!force && nowMs < take.nextTryMs) {
            ++it;
            continue;
        }
        const auto failed = [&take, nowMs] {
            take.failures = std::min(take.failures + 1, 30);
            take.nextTryMs =
                nowMs + std::min(kLongestRetryMs, kFirstRetryMs << std::min(take.failures - 1, 5));
        };
        // Cheap enough to look at every time: a stick put back is found at once.
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
            failed();
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
