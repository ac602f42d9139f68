// Takes begun with Enter whose save to their item failed (the folder was gone, full, read-only,
// or the name refused): each waits in the state folder as its finished journal, with a TakeInfo
// marked pending that says where it belongs, until its folder can be written again; then it is
// saved to its own item's file exactly as the Enter loop would have. Nothing here ever deletes a
// take that is not on disk elsewhere. Plain file work, no widgets; GUI thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

#include "record/take_info.h"

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
};

// A pending take that has just been written to its folder.
struct SavedPendingTake {
    TakeInfo info;
    QString path;      // where it went: the item's file, or an earlier take beside it
    QString replaced;  // where the take that stood at the item's file was kept, or empty
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
    // `journalFolder` when given and that can be done.
    std::vector<SavedPendingTake> saveWhatCan(const QString& unsetFolder, std::int64_t nowMs = 0,
                                              bool force = true,
                                              const QString& journalFolder = QString());

    std::size_t count() const { return m_takes.size(); }
    // How many wait in memory only.
    std::size_t inMemory() const;
    const std::vector<PendingTake>& takes() const { return m_takes; }

  private:
    std::vector<PendingTake> m_takes;
};

}  // namespace quillar
