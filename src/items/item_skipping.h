// F8: passing over the selected item, with a reason, for the items a speaker cannot give or that
// do not apply. The skip is a line of the take log in the folder the item's take would go to, so
// it travels with the recordings and the next take of the item ends it (recording_marks: the
// newest line of an item wins). GUI thread only.
#pragma once

namespace quillar {

struct App;

// Between takes only (nothing while a take runs or closes): asks for the reason through the
// dialog seam (kit/skip_item_dialog.h) and, unless cancelled, logs the skip and marks the item
// grey. Nothing for a blank item; without an auto-save folder, or when the log cannot be
// written, a warning says so and the item stays as it was.
void SkipCurrentItem(App& app);

}  // namespace quillar
