// Hands-free recording in the window: F9 switches it (only while the input is kept open), a
// notice beside the item says what it waits for without ever taking the keyboard, and after a
// take that need not be redone the list moves on by F3's rule, passing over items set aside.
// The mode itself is record/hands_free.h; the recorder tick feeds it (FeedHandsFree). GUI thread.
#pragma once

namespace quillar {

struct App;

inline constexpr int kKeyF9 = 120;

// Makes the mode's controller with the window's hooks (the event wiring, once).
void MakeHandsFree(App& app);
// F9 on the item list: switches the option 自动录音; without a kept input the notice says why
// and nothing changes.
void ToggleHandsFree(App& app);
// The options were changed (the dialog): the mode follows them now.
void FollowHandsFreeOption(App& app);
// The row of the next item to record after `from`: the next without a recording (F3's rule)
// that is not set aside, never `from` itself; -1 when none is left.
int NextRowToRecord(App& app, int from);

}  // namespace quillar
