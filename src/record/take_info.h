// What recovery needs to know of a take besides its audio, kept in a small UTF-8 file beside the
// take's journal, and the folder where journals live. Any thread; plain file work, no widgets.
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include "session/session.h"

namespace quillar {

// What a take says of itself beyond its item's text, fixed at its key like the rest of its
// target: the table's id, note and gloss, where the name template put it, the word list and the
// session. A plain list's take without a session has none of it.
struct TakeLabels {
    QString id;
    QString note;
    QString gloss;
    // The name template the take's path is composed by, as the options had it at the key, and
    // how: archive-safe, a table's items (never numbered as homographs). Empty: the item's own
    // name, its text with homographs numbered, as a plain list always had.
    QString nameTemplate;
    bool asciiNames = false;
    bool table = false;
    QString list;  // the word list's path
    std::optional<Session> session;
    // A TextGrid goes beside the take's file ("标注文件" at the key), wherever and whenever it
    // is saved: at once, later as a pending take, or recovered.
    bool annotate = false;

    bool operator==(const TakeLabels&) const = default;
};

struct TakeInfo {
    QString item;                // the item selected when the take began
    QString folder;              // the auto-save folder then
    std::uint32_t rate = 0;      // Hz
    std::uint16_t bits = 0;      // 8, 16, 24 or 32 (float)
    std::uint16_t channels = 0;  // 1 or 2 for the takes Quillar makes
    QString device;              // capture device name
    QDateTime started;           // local time the take began
    int occurrence = 1;          // which item of that text in the list (homographs), from 1
    // The take's save to its item failed and it waits in the state folder to be saved there;
    // a journal without it is a take cut off by a crash.
    bool pending = false;
    TakeLabels labels;

    std::uint32_t blockAlign() const { return std::uint32_t{channels} * bits / 8; }
    // A format a WAV header can carry for the recorder's widths.
    bool hasUsableFormat() const;
};

// $XDG_STATE_HOME/quillar, or ~/.local/state/quillar when that is unset or not absolute: on the
// local disk whatever the auto-save folder is on.
QString JournalFolder();

// Writes `info` to `path` through a temporary file that is flushed and renamed into place.
bool writeTakeInfo(const QString& path, const TakeInfo& info);
// Reads what writeTakeInfo wrote; nothing when the file is missing or unreadable.
std::optional<TakeInfo> readTakeInfo(const QString& path);

}  // namespace quillar
