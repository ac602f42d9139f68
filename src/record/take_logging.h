// Writing the take log line for a take that has just gone to a file: from the WAV image in
// record_buffer (auto-save and 按钮3), from the file itself (a take recovered at start-up), or
// from what the pending takes' writer found in the image it wrote.
// A failing log write never fails the save: it is said once, in a line over the spectrum board
// that takes no keyboard, until a log write works again. GUI thread only.
#pragma once

#include <QByteArray>
#include <QString>

namespace quillar {

struct App;
struct TakeLogEntry;
class RecordBuffer;
class Take;
struct TakeInfo;
struct TakeLabels;

// Logs `take`, whose WAV image `image` was just written to `path` (its own audio, or
// record_buffer for 按钮3), under the item it began on; `replaced` is where the earlier take at
// `path` was kept (empty when none), `how` one of kTakeHowEnter / kTakeHowAuto / kTakeHowSave.
void LogTake(App& app, const Take& take, const RecordBuffer& image, const QString& path,
             const QString& replaced, const QString& how);
// Logs a take that went to the WAV file at `path` from its journal (`how` recovered or pending),
// reading its format, length and peak from the file, with the item, device and labels of `info`
// (the take's when it was made).
void LogTakeFile(App& app, const QString& path, const TakeInfo& info, const QString& replaced,
                 const QString& how);
// The half of LogTakeFile that needs no window, for a thread that holds the take's WAV image
// anyway (any thread): its format, length, peak and judgement set in `e`. False when the image
// is no WAV that can be read.
bool DescribeTakeImage(const QByteArray& image, TakeLogEntry& e);
// The other half: logs the take now at `path` with what DescribeTakeImage set in `e`.
void LogDescribedTake(App& app, TakeLogEntry e, const QString& path, const TakeInfo& info,
                      const QString& replaced, const QString& how);
void LogRecoveredTake(App& app, const QString& path, const TakeInfo& info, const QString& replaced);
// The id, speaker and site columns of a take's labels.
void LabelLogEntry(TakeLogEntry& e, const TakeLabels& labels);
// Appends the entry and reports a failure once (see above). True when the line was written.
bool AppendTakeLogLine(App& app, const TakeLogEntry& entry);

}  // namespace quillar
