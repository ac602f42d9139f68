#include "record/pending_takes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cstring>
#include <optional>

#include "audio/wav_layout.h"
#include "kit/record_buffer.h"
#include "naming/recording_names.h"
#include "platform/file_io.h"
#include "record/take_annotation.h"
#include "record/take_journal.h"
#include "record/take_logging.h"
#include "record/take_naming.h"
#include "record/take_replacement.h"
#include "record/wav_image.h"

namespace quillar {

namespace {

// The wait after a take's first failed try, doubled after each further one up to the last.
constexpr std::int64_t kFirstRetryMs = 3000;
constexpr std::int64_t kLongestRetryMs = 60000;
std::uint64_t g_imageSerial = 0;

// The header of `dataLength` bytes of samples in this format: with `chunks` between format and
// samples when there are any and the file can hold them, else the plain one.
QByteArray headerOf(std::uint64_t dataLength, std::uint32_t rate, std::uint16_t bits,
                    std::uint16_t channels, QByteArrayView chunks) {
    if (!chunks.isEmpty()) {
        if (QByteArray header = wavFileHeader(dataLength, rate, bits, channels, chunks);
            !header.isEmpty()) {
            return header;
        }
    }
    const auto plain = wavHeaderBytes(static_cast<std::uint32_t>(dataLength), rate, bits, channels);
    return QByteArray(reinterpret_cast<const char*>(plain.data()),
                      static_cast<qsizetype>(plain.size()));
}

// The journal as a WAV image of its whole frames, its header made anew from the TakeInfo, with
// the metadata `chunks`; empty when it holds no frame (`*read` true) or cannot be read (`*read`
// false). A take kept in memory is its own image, given the chunks when there are any.
QByteArray imageOf(const PendingTake& take, bool* read, QByteArrayView chunks) {
    if (take.journal.isEmpty()) {
        *read = true;
        audio::WavLayout layout;
        if (chunks.isEmpty() ||
            !audio::parseWavLayout(take.image.constData(),
                                   static_cast<std::uint64_t>(take.image.size()), &layout)) {
            return take.image;
        }
        QByteArray image =
            headerOf(layout.declaredDataBytes, layout.rate, layout.bits, layout.channels, chunks);
        image.append(take.image.mid(static_cast<qsizetype>(layout.dataOffset)));
        return image;
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
    QByteArray image =
        headerOf(audio.bytes, take.info.rate, take.info.bits, take.info.channels, chunks);
    image.append(journal.constData() + audio.offset, static_cast<qsizetype>(audio.bytes));
    image.append(static_cast<qsizetype>(wavPadBytes(audio.bytes)), '\0');
    return image;
}

// After a failed try a take waits 3 s, then 6, 12, ... up to a minute.
void backOff(PendingTake& take, std::int64_t nowMs) {
    take.failures = std::min(take.failures + 1, 30);
    take.nextTryMs =
        nowMs + std::min(kLongestRetryMs, kFirstRetryMs << std::min(take.failures - 1, 5));
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
    m_takes.push_back(PendingTake{path, info, fd, {}, 0, 0, m_nextId++});
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
    return PendingTake{path, pending, fd, {}, 0, 0, 0};
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
        written->id = m_nextId++;
        m_takes.push_back(std::move(*written));
        return true;
    }
    TakeInfo pending = info;
    pending.pending = true;
    m_takes.push_back(PendingTake{QString(), pending, -1, std::move(bytes), 0, 0, m_nextId++});
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
        m_takes.push_back(PendingTake{path, *info, fd, {}, 0, 0, m_nextId++});
        ++claimed;
    }
    return claimed;
}

PendingWrite::~PendingWrite() {
    if (!temporary.isEmpty()) {
        platform::removeFile(temporary);
    }
}

void PendingTakes::keepInMemoryOnesIn(const QString& journalFolder) {
    if (journalFolder.isEmpty()) {
        return;
    }
    for (PendingTake& take : m_takes) {
        if (!take.journal.isEmpty()) {
            continue;
        }
        if (std::optional<PendingTake> written =
                writePendingJournal(take.info, take.image, journalFolder)) {
            // Still the same take to a write of it in flight, with its failures.
            written->id = take.id;
            written->failures = take.failures;
            written->nextTryMs = take.nextTryMs;
            take = std::move(*written);
        }
    }
}

void PendingTakes::askRound(bool force) {
    if (m_round) {
        m_again = true;
        m_againForce = m_againForce || force;
        return;
    }
    m_round = Round{force, {}};
}

std::shared_ptr<PendingWrite> PendingTakes::nextWrite(const QString& unsetFolder,
                                                      std::int64_t nowMs) {
    if (m_inFlight != 0) {
        return nullptr;
    }
    const PendingTake* next = nullptr;
    while (m_round) {
        for (const PendingTake& take : m_takes) {
            if (m_round->tried.contains(take.id) || (!m_round->force && nowMs < take.nextTryMs)) {
                continue;
            }
            if (next == nullptr || take.info.started < next->info.started) {
                next = &take;
            }
        }
        if (next != nullptr) {
            break;
        }
        m_round.reset();
        if (m_again) {
            m_round = Round{m_againForce, {}};
            m_again = false;
            m_againForce = false;
        }
    }
    if (next == nullptr) {
        return nullptr;
    }
    m_round->tried.insert(next->id);
    m_inFlight = next->id;
    auto write = std::make_shared<PendingWrite>();
    write->id = next->id;
    write->journal = next->journal;
    write->image = next->image;
    write->info = next->info;
    write->folder = CleanFolder(next->info.folder).isEmpty() ? unsetFolder : next->info.folder;
    write->check = m_writeCheck;
    return write;
}

void PendingTakes::write(PendingWrite& w, const std::optional<WavMetadata>& metadata) {
    using Outcome = PendingWrite::Outcome;
    w.target = TakeFileOf(w.folder, w.info.item, w.info.occurrence, w.info.labels, w.info.started);
    // Cheap enough to look at every time: a stick put back is found at once. A subfolder of a
    // name template that is not there yet is made with the file, when the folder takes files.
    const QString base = CleanFolder(w.folder);
    const QString targetFolder = QFileInfo(w.target).absolutePath();
    if (w.target.isEmpty() ||
        !platform::folderWritable(QFileInfo::exists(targetFolder) ? targetFolder : base)) {
        w.outcome = Outcome::NoFolder;
        return;
    }
    PendingTake take;
    take.journal = w.journal;
    take.image = w.image;
    take.info = w.info;
    bool read = false;
    const QByteArray chunks = metadata ? wavMetadataChunks(*metadata) : QByteArray();
    const QByteArray image = imageOf(take, &read, chunks);
    if (image.isEmpty()) {
        // Not a frame of audio in it, or the journal was deleted by hand: nothing to save,
        // ever. A journal that cannot be read just now is tried again.
        w.outcome = read || !QFileInfo::exists(w.journal) ? Outcome::Empty : Outcome::Unreadable;
        return;
    }
    const TemporaryTake temp = writeTakeTemporary(
        w.target, image.constData(), static_cast<std::size_t>(image.size()), w.check, base);
    if (temp.path.isEmpty()) {
        w.outcome = Outcome::Failed;
        w.error = temp.error;
        return;
    }
    w.temporary = temp.path;
    w.outcome = Outcome::Written;
    TakeLogEntry described;
    if (DescribeTakeImage(image, described)) {
        w.described = std::move(described);
    }
}

bool PendingTakes::newerStands(const QString& target, const QDateTime& started) const {
    const QFileInfo standing(target);
    if (!standing.exists()) {
        return false;
    }
    const QDateTime modified = standing.lastModified();
    const auto placed = m_placed.constFind(target);
    if (placed != m_placed.cend() && placed->modified == modified) {
        return placed->started > started;
    }
    return modified > started;
}

std::optional<SavedPendingTake> PendingTakes::finish(PendingWrite& w, std::int64_t nowMs) {
    using Outcome = PendingWrite::Outcome;
    if (m_inFlight == w.id) {
        m_inFlight = 0;
    }
    const auto it = std::find_if(m_takes.begin(), m_takes.end(),
                                 [&w](const PendingTake& t) { return t.id == w.id; });
    if (it == m_takes.end()) {
        return std::nullopt;  // w's temporary goes with it
    }
    PendingTake& take = *it;
    switch (w.outcome) {
        case Outcome::NotTried:
        case Outcome::NoFolder:
        case Outcome::Unreadable:
            return std::nullopt;
        case Outcome::Empty:
            forget(take);
            m_takes.erase(it);
            return std::nullopt;
        case Outcome::Failed:
            backOff(take, nowMs);
            return std::nullopt;
        case Outcome::Written:
            break;
    }
    // Decided only now, on the thread of the window's own saves: a take of the same item saved
    // while this one was being written is newer, and stays the item's.
    SavedPendingTake saved{take.info, w.target, QString(), w.described};
    if (newerStands(w.target, take.info.started)) {
        saved.path = keepAsEarlierTake(w.temporary, w.target, take.info.started);
        if (saved.path.isEmpty()) {
            backOff(take, nowMs);
            return std::nullopt;
        }
    } else {
        const SaveResult result =
            placeTakeFile(w.temporary, w.target, QDateTime::currentDateTime());
        if (!result) {
            backOff(take, nowMs);
            return std::nullopt;
        }
        saved.replaced = result.replaced;
        m_placed.insert(w.target, Placed{take.info.started, QFileInfo(w.target).lastModified()});
    }
    w.temporary.clear();  // in place now
    // Its TextGrid beside it, placed by this thread like the window's own saves' (an earlier
    // take kept in 早前录音 gets its own there). The write judged the image it wrote, which is
    // what the file holds.
    KeepEarlierTakeAnnotation(saved.path, saved.replaced);
    AnnotateSavedTake(
        saved.path, take.info,
        saved.described && saved.described->judged ? &saved.described->judgement : nullptr);
    forget(take);
    m_takes.erase(it);
    return saved;
}

std::vector<SavedPendingTake> PendingTakes::saveWhatCan(const QString& unsetFolder,
                                                        std::int64_t nowMs, bool force,
                                                        const QString& journalFolder,
                                                        const WavMetadataOf& metadataOf) {
    keepInMemoryOnesIn(journalFolder);
    askRound(force);
    std::vector<SavedPendingTake> saved;
    while (const std::shared_ptr<PendingWrite> w = nextWrite(unsetFolder, nowMs)) {
        write(*w, metadataOf ? metadataOf(w->info) : std::nullopt);
        if (std::optional<SavedPendingTake> one = finish(*w, nowMs)) {
            saved.push_back(std::move(*one));
        }
    }
    return saved;
}

}  // namespace quillar
