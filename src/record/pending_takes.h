// Takes begun with Enter whose save to their item failed (the folder was gone, full, read-only,
// or the name refused): each waits in the state folder as its finished journal, with a TakeInfo
// marked pending that says where it belongs, until its folder can be written again; then it is
// saved to its own item's file exactly as the Enter loop would have. Nothing here ever deletes a
// take that is not on disk elsewhere. Plain file work, no widgets; GUI thread.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "record/take_info.h"

namespace quillar {

class TakeJournal;

struct PendingTake {
    QString journal;  // the journal's WAV file in the state folder
    TakeInfo info;    // with pending set
    int lockFd = -1;  // held so that no other Quillar recovers it meanwhile
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
    // Start-up: claims the journals in `journalFolder` that a run before left pending and that no
    // running Quillar holds. Returns how many were claimed.
    int claimLeftOver(const QString& journalFolder);

    // Writes, oldest first, every pending take whose folder can be written now; a take recorded
    // without a folder goes to `unsetFolder` when that is not empty. A take whose item file holds
    // a newer take than itself is kept as an earlier take in 早前录音 beside it, never over it.
    // Each one written is removed from the state folder and returned.
    std::vector<SavedPendingTake> saveWhatCan(const QString& unsetFolder);

    std::size_t count() const { return m_takes.size(); }
    const std::vector<PendingTake>& takes() const { return m_takes; }

  private:
    std::vector<PendingTake> m_takes;
};

}  // namespace quillar
