// The item list's handlers: selecting an item shows it and its recording; Enter records and saves
// it under its own name; Ctrl plays its recording; F3 and Shift+F3 go to the next and previous
// item without a recording; F4 and Shift+F4 to the next and previous item to record again.
#pragma once

#include <QString>

namespace quillar {

struct App;

inline constexpr int kKeyEnter = 13;
inline constexpr int kKeyControl = 17;
inline constexpr int kKeyF3 = 114;
inline constexpr int kKeyF4 = 115;
// Bits of the shift-key state of a key-down.
inline constexpr int kShiftDown = 1;
inline constexpr int kControlDown = 2;
inline constexpr int kAltDown = 4;

// The recording file of `item` in `folder`: folder, "/", item, ".wav", with the two ends of the
// whole path trimmed and every TAB removed. A "/" or a control character inside the item becomes
// "_", so the file always lies directly in `folder`; a name longer than the folder's file system
// allows, or with characters a FAT or NTFS stick refuses, is made to fit
// (naming/recording_names.h). Empty when the folder is empty (or only blanks), there being no
// recording path then, never one at the file-system root, and for an item without text. The same
// rule serves the lookup and the auto-save.
QString RecordingPathOf(const QString& folder, const QString& item);
// The same for the `occurrence`-th item of that text in the list (1 for the first): from the
// second on, homographs get files of their own, "<item> (2).wav", "<item> (3).wav".
QString RecordingPathOf(const QString& folder, const QString& item, int occurrence);
// The recording file of the item selected now, in the folder of 编辑框_保存路径; a later
// occurrence of an earlier item's text gets its own file, as above.
QString RecordingPathOf(App& app);

// Shows `path` as the selected item's recording: the path, its waveform, 按钮_播放录音.
void ShowItemRecording(App& app, const QString& path);
// Shows the recording of the item selected now when it exists and none is shown yet: a take
// saved while the list stood elsewhere (GUI thread).
void ShowCurrentItemRecording(App& app);

void OnItemSelected(App& app);                             // selection changed (GUI thread)
void OnItemListKeyDown(App& app, int keyCode, int shift);  // key down on the list (GUI thread)
// The engine lost the recording device (GUI thread, from a queued call): the take stops, is
// auto-saved when Enter began it, and the user is told.
void OnRecordingDeviceLost(App& app);
// A list load or a new auto-save folder is coming while a take runs: the take stops and is saved
// to its own item, as the stopping Enter would, once its post-roll is in; takes still closing
// keep the folder they began in. Nothing when no take runs (GUI thread).
void StopAndSaveRunningTake(App& app);

}  // namespace quillar
