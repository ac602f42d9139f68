// Writing the recording in memory to disk: under the item's name, or to a chosen file.
#pragma once

#include <QString>

namespace quillar {

struct App;

// Writes record_buffer whole to `path`; false (writing nothing) when the buffer is empty or the
// write fails. GUI thread.
bool WriteRecordingFile(App& app, const QString& path);
// Click on 按钮3 (GUI thread).
void SaveRecordingAs(App& app);

}  // namespace quillar
