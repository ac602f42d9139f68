// Loading the item file into the item list: detect the encoding, decode, cut into lines.
#pragma once

#include <QString>
#include <QStringList>

namespace quillar {

struct App;

// The items of a decoded text: its lines, cut at CR LF and at a lone LF. Empty pieces are dropped
// (so a final line break adds no item); lines of blanks stay items, blanks and all.
QStringList SplitItemLines(const QString& text);
// The items of the file at `path`; an unreadable file has none.
QStringList ReadItemFile(const QString& path);
// Replaces the item list with the items of the file at `path`, selects item `row` (the first
// when the file has no such item) and shows it (OnItemSelected runs once, also for an empty
// list), then marks the items that have a recording. GUI thread.
void LoadItemFile(App& app, const QString& path, int row = 0);

}  // namespace quillar
