// "[录音选项]" in sys.ini: read with a default for every missing, unreadable or out-of-range
// value (a broken value is never fatal), and written in one go by the options dialog.
// GUI thread only.
#pragma once

#include <QString>

#include "kit/recording_options.h"

namespace quillar {

// Each value missing or broken in the file is taken from `defaults`.
RecordingOptions ReadRecordingOptions(const QString& iniPath,
                                      const RecordingOptions& defaults = RecordingOptions());
// False when the file cannot be written; the file is then left as it was.
bool WriteRecordingOptions(const QString& iniPath, const RecordingOptions& options);

}  // namespace quillar
