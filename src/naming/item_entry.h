// One item of a word list: its text and, when the list is a table, its id, note, gloss, prompt and
// the columns nobody shows but the exports carry. A plain list's items have only their text.
#pragma once

#include <QString>
#include <QStringList>
#include <vector>

namespace quillar {

struct ItemEntry {
    QString id;         // the table's id ("0001"); empty in a plain list
    QString item;       // the text the speaker says, exactly as the file has it
    QString note;       // shown small under the item
    QString gloss;      // shown small under the item; {gloss} in names
    QStringList extra;  // the other columns' values, in ItemTable::extraColumns' order
    QString prompt;     // a sound file to play to the speaker: absolute, or relative to the list's
                        // folder; empty when the table has no prompt column or the cell is empty

    bool operator==(const ItemEntry&) const = default;
};

// What an item file holds: a plain list (one item per line) or a table.
struct ItemTable {
    bool table = false;
    QStringList extraColumns;  // the header names of the columns kept in ItemEntry::extra
    std::vector<ItemEntry> rows;
};

}  // namespace quillar
