// Writing the take log line for a take that has just gone to a file: from the WAV image in
// record_buffer (auto-save and 按钮3) or from the file itself (a take recovered at start-up).
// A failing log write never fails the save: it is said once, in a line over the spectrum board
// that takes no keyboard, until a log write works again. GUI thread only.
#pragma once

#include <QString>

namespace quillar {

struct App;
struct TakeLogEntry;
class RecordBuffer;
class Take;

// Logs `take`, whose WAV image `image` was just written to `path` (its own audio, or
// record_buffer for 按钮3), under the item it began on; `replaced` is where the earlier take at
// `path` was kept (empty when none), `how` one of kTakeHowEnter / kTakeHowSave.
void LogTake(App& app, const Take& take, const RecordBuffer& image, const QString& path,
             const QString& replaced, const QString& how);
// Logs a take that went to the WAV file at `path` from its journal (`how` recovered or pending),
// reading its format, length and peak from the file. `item` and `device` are those of the take
// when it was made.
void LogTakeFile(App& app, const QString& path, const QString& item, const QString& device,
                 const QString& replaced, const QString& how);
void LogRecoveredTake(App& app, const QString& path, const QString& item, const QString& device,
                      const QString& replaced);
// Appends the entry and reports a failure once (see above). True when the line was written.
bool AppendTakeLogLine(App& app, const TakeLogEntry& entry);

}  // namespace quillar
