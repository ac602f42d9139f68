// The take's journal as the window sees it: the recorder keeps it (record/recorder.h); the window
// only says when the take is safe in a file or deliberately dropped, and takes the journal's
// notice down with it. GUI thread only.
#pragma once

namespace quillar {

struct App;

// The take is written to a file, or dropped by the user: its journal goes, and with it the notice
// that the take is not protected.
void EndTakeJournal(App& app);
// True while a take exists only in memory: recording, or stopped and not written to a file.
bool TakeOnlyInMemory(const App& app);

}  // namespace quillar
