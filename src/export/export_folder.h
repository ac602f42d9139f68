// A folder of takes as the exports see it, read by the window's rules: the word list (plain or a
// table, its names by the name template and the folder's session) and, for each item, its latest
// take, the file standing at the item's name (earlier takes lie in 早前录音 and are never
// exported). Plain data and file work; any thread, no widget.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "naming/item_entry.h"
#include "session/session.h"

namespace quillar {

// What to read: the folder, the word list and how its names are made, as for quillar-check.
struct ExportSource {
    QString folder;
    QString list;          // empty: no list; the items are then the folder's takes in name order
    QString nameTemplate;  // "文件名模板", empty: the list's default
    bool asciiNames = false;
};

struct ExportItem {
    ItemEntry entry;  // id, item, note, gloss (only the item for a plain list)
    QString text;     // how the item is shown and labelled: "0001 多" for a table, else the item
    QString file;  // the latest take, relative to the folder ("老男/单字/0001多.wav"); empty:
                   // the item has no take
    bool hasTake() const { return !file.isEmpty(); }
};

struct ExportFolder {
    QString folder;  // absolute
    QString list;    // as given
    bool table = false;
    std::optional<Session> session;  // the folder's quillar-session.json, when it has one
    std::vector<ExportItem> items;   // list order; blank lines left out
};

// Called now and then with the work done and the work in all.
using ExportProgress = std::function<void(int done, int total)>;

// Reads `source`; false with the reason when the folder cannot be read, the list cannot be read,
// is not text, holds no items or cannot be read as a table, or the session file is not valid.
bool ReadExportFolder(const ExportSource& source, ExportFolder* folder, QString* error);

}  // namespace quillar
