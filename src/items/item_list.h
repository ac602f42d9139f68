// The item list's handlers: selecting an item, and Enter (record / save) and Ctrl (play).
#pragma once

#include <QString>

namespace quillar {

struct App;

inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyControl = 17;

// The recording file of `item` in `folder`.
QString RecordingPathOf(const QString& folder, const QString& item);
// The recording file of the item selected now, in the folder of 编辑框_保存路径.
QString RecordingPathOf(App& app);

void OnItemSelected(App& app);                             // selection changed (GUI thread)
void OnItemListKeyDown(App& app, int keyCode, int shift);  // key down on the list (GUI thread)

}  // namespace quillar
