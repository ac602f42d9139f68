// Bringing back the takes of a run that did not end cleanly: every journal in the state folder
// that no running Quillar holds is written out as a WAV file of the whole frames it holds, into
// the auto-save folder it was recorded for, and removed only once that file is on disk. GUI
// thread, at start-up.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "record/take_info.h"
#include "record/wav_metadata.h"

namespace quillar {

struct App;

struct RecoveredTake {
    TakeInfo info;                // from the journal's TakeInfo, or made up from its header
    QString path;                 // the WAV file written
    std::uint64_t dataBytes = 0;  // audio bytes in it
};

struct RecoveryOutcome {
    std::vector<RecoveredTake> recovered;
    QStringList leftOver;  // journals that could not be written anywhere; tried again next start
};

// Recovers the journals in `journalFolder`. Each goes to the first folder that takes it: its own
// auto-save folder, then `fallbackFolders` in order. The name, "<item>.恢复-<start time>.wav",
// never replaces an existing file ("-2", "-3" are added). Each file carries the metadata
// `metadataOf` gives for its journal's TakeInfo (none without it). Journals without a whole
// frame go without a trace; journals held by a running Quillar are left alone.
RecoveryOutcome recoverJournals(const QString& journalFolder, const QStringList& fallbackFolders,
                                const WavMetadataOf& metadataOf = {});

// Start-up: recoverJournals with the current auto-save folder and the home folder as fallbacks,
// then one message box (title "系统提示") listing what was recovered and where. Asks nothing.
void RecoverUnfinishedTakes(App& app);

}  // namespace quillar
