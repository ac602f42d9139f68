// Takes begun with Enter whose save to their item failed (the folder was gone, full, read-only,
// or the name refused): each waits in the state folder as its finished journal, with a TakeInfo
// marked pending that says where it belongs, until its folder can be written again; then it is
// saved to its own item's file exactly as the Enter loop would have. Nothing here ever deletes a
// take that is not on disk elsewhere. Plain file work, no widgets.
//
// A save is three steps, so that its slow part can run off the window thread: nextWrite picks a
// take (window thread), write() reads its journal and writes it beside its target (any thread:
// it touches only the PendingWrite), finish() puts it in place (window thread, where the window's
// own saves of the same files run, so neither ever overwrites the other). Everything else is for
// the window thread only.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "record/take_info.h"
#include "record/take_log.h"
#include "record/take_replacement.h"
#include "record/wav_metadata.h"

namespace quillar {

class RecordBuffer;
class TakeJournal;

struct PendingTake {
    QString journal;   // the journal's WAV file in the state folder; empty for one in memory
    TakeInfo info;     // with pending set
    int lockFd = -1;   // held so that no other Quillar recovers it meanwhile
    QByteArray image;  // the WAV image of a take the state folder refused too
    // Tries that failed in a row, and the steady-clock ms before which it is not tried again: a
    // folder that stays full is not rewritten every few seconds.
    int failures = 0;
    std::int64_t nextTryMs = 0;
    std::uint64_t id = 0;  // which take a write that comes back belongs to; never 0
};

// One try of one take on its way to the writer's thread and back, shared by the job and its
// completion. What the write finds is set by write() alone; finish() reads it after. Never
// copied: it owns the temporary file, which goes with it unless finish() put it in place.
struct PendingWrite {
    enum class Outcome {
        NotTried,
        NoFolder,    // no folder, or it cannot be written now: looked at again next time
        Unreadable,  // the journal cannot be read just now
        Empty,       // not a frame of audio in it, or its journal was deleted by hand
        Failed,      // the folder refused the take: the take waits longer before its next try
        Written,     // in `temporary`, flushed, waiting for finish()
    };

    PendingWrite() = default;
    ~PendingWrite();  // removes the temporary file unless it was put in place
    PendingWrite(const PendingWrite&) = delete;
    PendingWrite& operator=(const PendingWrite&) = delete;

    // Set by nextWrite.
    std::uint64_t id = 0;
    QString journal;  // empty for a take in memory, whose image is then `image`
    QByteArray image;
    TakeInfo info;
    QString folder;   // the take's own folder, or the one set for a take recorded without one
    StepCheck check;  // a test's hold on (or refusal of) the write
    // Set by write.
    Outcome outcome = Outcome::NotTried;
    QString target;     // the item's file
    QString temporary;  // the take beside it
    int error = 0;      // errno of the failure
    // What its log line says of the audio, made from the image at hand rather than from a
    // read of the file back from a slow folder.
    std::optional<TakeLogEntry> described;
};

// A pending take that has just been written to its folder.
struct SavedPendingTake {
    TakeInfo info;
    QString path;      // where it went: the item's file, or an earlier take beside it
    QString replaced;  // where the take that stood at the item's file was kept, or empty
    // Its format, length, peak and judgement for its log line, found by the write; none when
    // its image could not be read as a WAV.
    std::optional<TakeLogEntry> described;
};

class PendingTakes {
  public:
    PendingTakes() = default;
    ~PendingTakes();  // releases the locks; the files stay for the next start
    PendingTakes(const PendingTakes&) = delete;
    PendingTakes& operator=(const PendingTakes&) = delete;

    // The finished journal of a take whose save failed becomes pending: its TakeInfo is rewritten
    // as pending and the lock passes here. False, changing nothing, when the take has no complete
    // journal on disk (it then lives in memory only, as before).
    bool add(TakeJournal& journal);
    // A take with no journal on disk (none could be made) whose save failed: its WAV image is
    // written to `journalFolder` as a pending journal now. When that fails too, a copy waits in
    // memory, tried like the others (and written to `journalFolder` when that takes files);
    // false then.
    bool addImage(const TakeInfo& info, const RecordBuffer& image, const QString& journalFolder);
    // Start-up: claims the journals in `journalFolder` that a run before left pending and that no
    // running Quillar holds. Returns how many were claimed.
    int claimLeftOver(const QString& journalFolder);

    // Writes, oldest first, every pending take whose folder can be written now; a take recorded
    // without a folder goes to `unsetFolder` when that is not empty. A take whose item file holds
    // a newer take than itself is kept as an earlier take in 早前录音 beside it, never over it.
    // Each one written is removed from the state folder and returned. A take that failed waits
    // longer after each failure (up to a minute) unless `force` (its folder was just set, or
    // took a take); `nowMs` is the steady clock's reading. Takes in memory are also written to
    // `journalFolder` when given and that can be done. Each take's file carries the metadata
    // `metadataOf` gives for its TakeInfo (none without it). All on the calling thread: the
    // three steps below, one take after the other.
    std::vector<SavedPendingTake> saveWhatCan(const QString& unsetFolder, std::int64_t nowMs = 0,
                                              bool force = true,
                                              const QString& journalFolder = QString(),
                                              const WavMetadataOf& metadataOf = {});

    // Takes that wait in memory are written to `journalFolder` as pending journals, when it
    // takes files: a crash can no longer lose them.
    void keepInMemoryOnesIn(const QString& journalFolder);
    // Asks for a round: every take waiting is tried once, oldest first; a round not `force`d
    // passes over a take still waiting after a failure. Asks while a round is on are one more
    // round after it, forced when any of them was.
    void askRound(bool force);
    // The next take of the round to write, marked as in flight; nothing while one is in flight
    // or when no round is on. `nowMs` is the steady clock's reading.
    std::shared_ptr<PendingWrite> nextWrite(const QString& unsetFolder, std::int64_t nowMs);
    // Any thread. The slow part, touching only `write` and the file system: the folder's
    // access, the journal read, the temporary file beside the target written and flushed, with
    // `metadata`'s chunks between its format and its samples when given.
    static void write(PendingWrite& write,
                      const std::optional<WavMetadata>& metadata = std::nullopt);
    // Puts a write that came back in place, or counts its failure; the take, if it was saved.
    // `nowMs` is the steady clock's reading.
    std::optional<SavedPendingTake> finish(PendingWrite& write, std::int64_t nowMs);
    // A write is in flight (between nextWrite and finish).
    bool writing() const { return m_inFlight != 0; }
    // A test's hold on, or refusal of, the writes from now on (called on the writing thread).
    void setWriteCheck(StepCheck check) { m_writeCheck = std::move(check); }

    std::size_t count() const { return m_takes.size(); }
    // How many wait in memory only.
    std::size_t inMemory() const;
    const std::vector<PendingTake>& takes() const { return m_takes; }

  private:
    // What a save of this run placed at an item's file: while the file is still as it left it
    // (its time unchanged), it holds the take begun at `started`, however late it was written.
    struct Placed {
        QDateTime started;
        QDateTime modified;
    };
    bool newerStands(const QString& target, const QDateTime& started) const;

    std::vector<PendingTake> m_takes;
    std::uint64_t m_nextId = 1;
    // The round on: whether forced, and the takes it has tried.
    struct Round {
        bool force = false;
        QSet<std::uint64_t> tried;
    };
    std::optional<Round> m_round;
    bool m_again = false;  // another round was asked for while this one was on
    bool m_againForce = false;
    std::uint64_t m_inFlight = 0;  // the take being written, or 0
    QHash<QString, Placed> m_placed;
    StepCheck m_writeCheck;
};

}  // namespace quillar
