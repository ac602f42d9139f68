// Writing the recording in memory to disk: under the item's name, or to a chosen file.
#pragma once

#include <QString>
#include <optional>

#include "record/take_replacement.h"
#include "record/wav_metadata.h"

namespace quillar {

struct App;
class RecordBuffer;

// Writes the WAV image in `buffer` whole to `path` with replaceTakeFile: a file that stood there
// moves into the earlier-takes folder beside it (SaveResult::replaced), and the target is either
// the old file or the complete new one, never a mix. Not written, leaving any existing file
// untouched, when the buffer holds no finished image (empty, or a recording still running) or
// anything fails. With `metadata`, the file carries its chunks between the format and the
// samples: its header is wavFileHeader's, followed by the image's samples and pad byte, written
// straight from the buffer (the plain image is written instead should the header not fit RIFF's
// sizes). With `baseFolder`, the auto-save folder `path` lies below, the subfolders between the
// two are made first. GUI thread.
SaveResult writeWavImageFile(const RecordBuffer& buffer, const QString& path,
                             const StepCheck& check = {},
                             const std::optional<WavMetadata>& metadata = std::nullopt,
                             const QString& baseFolder = QString());
// writeWavImageFile of record_buffer, replaced now. GUI thread.
SaveResult WriteRecordingFile(App& app, const QString& path,
                              const std::optional<WavMetadata>& metadata = std::nullopt);
// Click on 按钮3 (GUI thread): asks for a file with 通用对话框1 and reports the outcome.
void SaveRecordingAs(App& app);

}  // namespace quillar
