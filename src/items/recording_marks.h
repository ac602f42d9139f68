// Progress through the item list: which items have a recording file (and the verdict on its latest
// take) and which were passed over, the "recorded / total" count beside the list's caption (the
// skipped counted apart), F3 / Shift+F3 to the next or previous item without a recording that was
// not skipped and F4 / Shift+F4 to the next or previous one to redo. The
// folder is listed once per refresh, never tested item by item. GUI thread only.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <vector>

#include "naming/item_entry.h"
#include "quality/take_judge.h"

namespace quillar {

struct App;
class TakeCheck;
struct ListNaming;
struct LoggedSkips;

// The names of the plain files in `folder`, read in one listing; empty when it cannot be read.
QSet<QString> FileNamesIn(const QString& folder);
// The recording file of every item in `items` (a plain list's texts, homographs numbered) or, when
// `table` is given, of every row of it, named by `naming` for the folder text `folder`: its path
// inside the folder ("0001多.wav", "老男/单字/0001多.wav"), empty for an item without a name; the
// folder the names lie in goes to `*listedFolder` (empty without a folder, and then there are no
// names).
QStringList RecordingNamesOf(const QString& folder, const QStringList& items,
                             const ItemTable* table, const ListNaming& naming,
                             QString* listedFolder);
// The subfolders `names` (paths inside a folder) lie in, "老男/单字" for "老男/单字/0001多.wav".
QSet<QString> SubfoldersOf(const QStringList& names);
// The plain files below `folder` that `names` (paths inside it) could be: one listing of each
// subfolder they lie in, as paths inside `folder`.
QSet<QString> FileNamesUnder(const QString& folder, const QStringList& names);
// One mark per item (ItemMarks::kRecorded, with the verdict's bit) from the folder's file names
// and the judgements of the latest takes, by file name; a file without one keeps the plain mark.
std::vector<std::uint8_t> MarksOf(const QStringList& names, const QSet<QString>& files,
                                  const QHash<QString, quality::Judgement>& judged);
// The rows of `names` (paths inside a folder) passed over: those whose newest line in the take log
// of their folder is a skip (`logs`: each folder's skips by its path inside the folder, "" for the
// folder itself), with the reason, by row. `keyOf(row)` is the row's SkipKeyOf; it is asked only
// of rows in a folder whose log holds a skip.
QHash<qsizetype, QString> SkippedRowsOf(const QStringList& names,
                                        const QHash<QString, LoggedSkips>& logs,
                                        const std::function<QString(qsizetype)>& keyOf);

// The marks of `items` in the auto-save folder `folderText`: one listing of the folder and its take
// log, with `sessionJudged` (judged_takes) over the log. Touches no widget: any thread.
std::vector<std::uint8_t> ComputeItemMarks(const QString& folderText, const QStringList& items,
                                           const ItemTable* table, const ListNaming& naming,
                                           const QHash<QString, quality::Judgement>& sessionJudged);
// Shows `marks` (from ComputeItemMarks for the items in the list) and the count.
void SetItemMarks(App& app, std::vector<std::uint8_t> marks);
// No item marked, and the count of none recorded: what a freshly loaded list shows until
// RefreshItemMarks has run.
void ClearItemMarks(App& app);
// Marks every item again from one listing of the auto-save folder and the take log there, and
// shows the count. Just after a load (queued, so the first item shows first), a changed folder and
// a save to a chosen file.
void RefreshItemMarks(App& app);
// A take just judged (take_judgement; `clipped` is what the clipping check saw, for a take that
// could not be judged) was written to `path` for the item `item` at `row`: marks it with its
// verdict, updates the count and the quality line without listing the folder again, or marks the
// whole list anew when that row no longer holds the item.
void MarkTakeRecorded(App& app, int row, const QString& item, const QString& path,
                      const TakeCheck& check);
// What is known of the latest take of the file at `path`: this session's takes first, then the
// take log of its folder (read once after each setting of the marks); false when nothing is.
bool LatestJudgementOf(App& app, const QString& path, quality::Judgement* judgement);
// The one rule of what the list passes over: the item at `row` is marked skipped. F3 and the
// hands-free advance (NextUnrecordedRow) never stop at such an item; F4 and the arrow keys do.
bool ItemSkipped(const App& app, int row);
// The item at `row` was just passed over: marks it so and updates the count, without listing the
// folder again.
void MarkItemSkipped(App& app, int row);
// The row of the next item without a recording, and not skipped, after `from` (before it when
// `backwards`), wrapping at the ends, `from` itself last; -1 when every item has one.
int NextUnrecordedRow(App& app, int from, bool backwards);
// F3 (Shift+F3 backwards): selects that item, which runs OnItemSelected; nothing when none is left.
void SelectNextUnrecorded(App& app, bool backwards);
// The same for the items whose latest take is to be redone (F4, Shift+F4).
int NextRedoRow(App& app, int from, bool backwards);
void SelectNextRedo(App& app, bool backwards);

}  // namespace quillar
