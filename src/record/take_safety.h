// The take's journal as the handlers see it: begun with every take, finished at its stop, ended
// when the take is safe in a file or deliberately dropped, and the notice in the window when the
// journal cannot be written. GUI thread only.
#pragma once

namespace quillar {

struct App;
struct TakeInfo;

// StartRecording, once capture runs: the new take's journal begins in JournalFolder().
void BeginTakeJournal(App& app, const TakeInfo& info);
// StopRecording, after the capture stopped and before the WAV image is made: the journal takes
// the last of the audio. An empty take has nothing to keep, and its journal goes.
void FinishTakeJournal(App& app);
// The take is written to a file, or dropped by the user or the next recording: its journal goes.
void EndTakeJournal(App& app);
// True while a take exists only in memory: recording, or stopped and not written to a file.
bool TakeOnlyInMemory(const App& app);

}  // namespace quillar
