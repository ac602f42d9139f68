// A folder of takes and the word list they were recorded from, read as the window reads them, for
// the commands that work on a folder without the window (quillar-check, quillar-export): the
// list's items and their file names by the name template and the folder's session, the folder's
// take files and the items its take logs name. Touches no widget; any thread.
#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>

#include "naming/item_entry.h"
#include "session/session.h"

namespace quillar {

struct ListedFolder {
    QString folder;                          // absolute
    QString list;                            // as given; empty: no list
    QStringList items;                       // the list's texts, blank ones too; empty: no list
    std::shared_ptr<const ItemTable> table;  // when the list is a table
    SessionRead session;                     // the folder's quillar-session.json; none: no file
    QStringList names;         // each item's take, a path inside the folder; empty for a blank item
    QSet<QString> subfolders;  // the subfolders the names lie in ("老男/单字")

    bool isTable() const { return table != nullptr && table->table; }
    // The item at `i` as an entry: the table's row, or a plain list's text alone.
    ItemEntry entry(qsizetype i) const;
};

// Reads `folder` and the word list at `list` (empty: none), naming the items by `nameTemplate`
// (empty: the list's default) and `asciiNames` with the speaker of the folder's session. False,
// with the reason in English, when the folder cannot be read, or the list cannot be read, is not
// text, is refused as a table or holds no item with text. A session file that cannot be read is
// no failure here: its error is in `session` for the caller to weigh.
bool ReadListedFolder(const QString& folder, const QString& list, const QString& nameTemplate,
                      bool asciiNames, ListedFolder* listed, QString* error);

// The .wav files directly in the folder and in the subfolders of its names, as paths inside the
// folder, sorted; `earlier` adds those kept in each one's 早前录音.
QStringList TakeFilesOf(const ListedFolder& listed, bool earlier);

// The item of every file the take logs of the folder and of its names' subfolders name, by path
// inside the folder.
QHash<QString, QString> LoggedItemsOf(const ListedFolder& listed);

// The items of the list passed over: those whose newest line in the take log of their folder is a
// skip, with the reason, by their place in the list.
QHash<qsizetype, QString> SkippedItemsOf(const ListedFolder& listed);

}  // namespace quillar
