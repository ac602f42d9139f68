// Loading the item file into the item list: detect the encoding, decode, cut into lines, or read
// the table it is (delimited text, .xlsx, .xls). A file that is not text, or a table that cannot
// be a word list, is refused with a message and the list stays; a very large one is read on a
// thread of its own and put into the list in slices, so the window never stops answering.
#pragma once

#include <QString>
#include <QStringList>

#include "naming/item_entry.h"

namespace quillar {

struct App;

// Files up to this size are read and shown at once, as every word list ever is; larger ones are
// read on a thread.
inline constexpr qint64 kItemFileReadInPlaceBytes = 4 * 1024 * 1024;
// Items put into the list per turn of the event loop (about 15 ms of work each).
inline constexpr int kItemSliceSize = 20000;

// What reading an item file gave.
struct ItemFileContent {
    QStringList items;     // the items' texts, table.rows' items in their order
    bool notText = false;  // NUL bytes outside UTF-16, or mostly characters that decode to nothing
    ItemTable table;       // empty for a plain list, whose items are `items`
    // Why the file, a table, cannot be the word list (no item column, duplicate ids, ids without
    // an item, a damaged spreadsheet), in the interface's language; then there are no items.
    QString refusal;
};

// The items of a decoded text: its lines, cut at CR LF and at a lone LF. Empty pieces are dropped
// (so a final line break adds no item); lines of blanks stay items, blanks and all.
QStringList SplitItemLines(const QString& text);
// Whether decoded `text` of `bytes`, read as `encodingClass`, is text a person wrote: no NUL byte
// in an 8-bit file, and no more than one character in fifty undecodable or a control character
// other than tab, line and page breaks.
bool LooksLikeText(const QByteArray& bytes, int encodingClass, const QString& text);
// The items of the file at `path`; an unreadable file has none. A file is a table when its first
// line names its columns with an item column among them, or its name ends in .csv, .tsv, .xlsx or
// .xls; otherwise it is a plain list, one item per line. Any thread.
ItemFileContent ReadItemFileContent(const QString& path);
QStringList ReadItemFile(const QString& path);
// Replaces the item list with the items of the file at `path`, selects item `row` (the first
// when the file has no such item) and shows it (OnItemSelected runs once, also for an empty
// list), then marks the items that have a recording; 编辑框_录音文本源路径 names the file. A file
// that is not text, or a table with a refusal, is refused with one message and nothing changes. A
// file larger than kItemFileReadInPlaceBytes is read on a thread: the list changes when it has been
// read (a later load wins over one still being read). In a table, the row whose id is `id`, when
// one has it, is selected instead of `row`. GUI thread.
void LoadItemFile(App& app, const QString& path, int row = 0, const QString& id = QString());
// Whether a large item file is still being read or put into the list.
bool ItemFileLoading(const App& app);

}  // namespace quillar
