// A saved take's TextGrid beside its WAV, when the take was recorded with "标注文件", and the
// TextGrid of a take that a later save moved into 早前录音, moved with it. A TextGrid is an extra
// to the take: failing to write or move one never fails the save. Any one thread at a time per
// file; plain file work.
#pragma once

#include <QString>
#include <cstdint>

namespace quillar {

namespace quality {
struct Judgement;
}
struct TakeInfo;
struct TakeLabels;

// The text of the take's item on its TextGrid: a table's take by its id and item ("0001 多"), as
// the list shows it, so that two 磨 are told apart; the item otherwise.
QString TakeItemText(const QString& item, const TakeLabels& labels);

// The TextGrid of the take just saved at `wavPath`, when `info.labels.annotate`: its speech from
// `judgement` (frames at `info.rate`) when given and judged, else from a judgement of the file
// itself. True when written, or when none was asked for; errno's value in `*error` otherwise.
bool AnnotateSavedTake(const QString& wavPath, const TakeInfo& info,
                       const quality::Judgement* judgement = nullptr, int* error = nullptr);

// The take that stood at `path` is now `replaced` (in 早前录音): its TextGrid, if it has one,
// goes beside it, so that it keeps its own and the new take at `path` is never labelled by it.
// Called before the new take's TextGrid is written, whatever the option. Nothing without
// `replaced`; false when a TextGrid was there and could not be moved.
bool KeepEarlierTakeAnnotation(const QString& path, const QString& replaced);

}  // namespace quillar
