// The items of the list as entries: a table's rows as loaded, or a plain list's own texts. The
// list widget shows each row's text; everything that names, marks or labels a take asks here.
// GUI thread only.
#pragma once

#include <QString>

#include "naming/item_entry.h"

namespace quillar {

struct App;

// Whether the loaded word list is a table.
bool ListIsTable(const App& app);
// The entry at `row` of the list; an empty entry when there is no such row.
ItemEntry ItemEntryOfRow(const App& app, int row);
// The entry of the item selected now.
ItemEntry CurrentItemEntry(const App& app);
// What the list shows for an entry: "0001 多" for a table row with an id, the item otherwise.
QString ItemRowText(const ItemEntry& entry);
// Which occurrence of its text the item at `row` is, for the homograph numbering of a plain list;
// always 1 in a table, whose items are told apart by their ids.
int OccurrenceOfRow(const App& app, int row);

}  // namespace quillar
