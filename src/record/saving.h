// Writing the recording in memory to disk: under the item's name, or to a chosen file.
#pragma once

#include <QString>

namespace quillar {

struct App;
class RecordBuffer;

// Writes the WAV image in `buffer` whole to `path` through a temporary file in the same folder
// that is flushed to disk and then renamed over the target, so the target is either the old file
// or the complete new one, never a mix. False, leaving any existing file untouched, when the
// buffer holds no finished image (empty, or a recording still running) or anything fails.
// GUI thread.
bool writeWavImageFile(const RecordBuffer& buffer, const QString& path);
// writeWavImageFile of record_buffer. GUI thread.
bool WriteRecordingFile(App& app, const QString& path);
// Click on 按钮3 (GUI thread): asks for a file with 通用对话框1 and reports the outcome.
void SaveRecordingAs(App& app);

}  // namespace quillar
