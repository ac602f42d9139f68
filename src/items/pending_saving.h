// The pending takes in the window: a take begun with Enter whose auto-save failed is kept in the
// state folder and saved to its own item by itself as soon as its folder takes files again (after
// the next saved take, when a folder is set, every few seconds while any wait, and at start-up);
// a red notice over the spectrum says how many wait and where, and never takes the keyboard.
// GUI thread only.
#pragma once

namespace quillar {

struct App;

// The take in record_buffer could not be auto-saved: its finished journal becomes pending. False
// when it has no journal on disk (it then stays in memory only, and closing asks as before).
bool KeepTakePending(App& app);
// Saves every pending take whose folder can be written now, logs each (how = pending), marks the
// list, and updates the notice and the periodic check.
void SavePendingTakes(App& app);
// Start-up: takes up the pending takes an earlier run left and saves what can be saved.
void ResumePendingTakes(App& app);
// How many takes wait.
int PendingTakeCount(const App& app);

}  // namespace quillar
