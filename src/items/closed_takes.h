// Filing the takes the recorder has closed, in the order they began: each is saved to its own
// item when Enter began or stopped it (or a list load or folder change stopped it), kept pending
// when that fails, and the newest becomes record_buffer for 按钮2 and 按钮3. It runs after the
// recorder's notification, never inside it. GUI thread only.
#pragma once

namespace quillar {

struct App;

// Files every take that has closed; nothing when none waits. The last take filed while no other
// is underway lets the kept input follow the boxes again.
void SaveClosedTakes(App& app);

}  // namespace quillar
