// The pending takes in the window: a take begun with Enter whose auto-save failed is kept in the
// state folder and saved to its own item by itself as soon as its folder takes files again (after
// the next saved take, when a folder is set, every few seconds while any wait, and at start-up);
// a red notice over the spectrum says how many wait and where, and never takes the keyboard.
// GUI thread only.
#pragma once

namespace quillar {

struct App;
class Take;

// Where a take whose auto-save failed waits.
enum class PendingKept {
    No,        // not a take of the Enter loop: the user's to save, in memory as before
    OnDisk,    // in the state folder (its journal, or its image written there now)
    InMemory,  // the state folder refused it too: a copy waits in memory; closing asks
};

// The take could not be auto-saved: it becomes pending, however it began, as long as it was to
// be saved to its item; nothing of it is let go until it is on disk somewhere.
PendingKept KeepTakePending(App& app, Take& take);
// Takes that wait in memory only (neither their folder nor the state folder took them).
int PendingInMemoryCount(const App& app);
// The event wiring: the thread that writes pending takes into their folders, unless a test has
// set one.
void MakePendingWriter(App& app);
// Saves every pending take whose folder can be written now, logs each (how = pending), marks the
// list, and updates the notice and the periodic check. The periodic check (`periodic`) leaves a
// take that failed alone for a while, longer after each failure; any other call tries them all.
// The writing runs on the writer's thread, one take at a time; each is placed, logged and marked
// on the window thread once written. Asked while a write is in flight, the round follows it.
void SavePendingTakes(App& app, bool periodic = false);
// Closing: no more tries, and none waited for; what waits stays on disk for the next start.
void LeavePendingTakes(App& app);
// Start-up: takes up the pending takes an earlier run left and saves what can be saved.
void ResumePendingTakes(App& app);
// How many takes wait.
int PendingTakeCount(const App& app);

}  // namespace quillar
