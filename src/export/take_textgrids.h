// A TextGrid beside every take of a folder (and of its names' subfolders) that has none, its
// speech marked with its item. Any thread; no widget.
#pragma once

#include <QString>
#include <QStringList>

#include "export/export_folder.h"

namespace quillar {

struct TakeTextGridsResult {
    int written = 0;         // TextGrids made
    int present = 0;         // takes that had one already, left as they were
    QStringList unreadable;  // takes that could not be read as WAV files, given no TextGrid
};

// Writes the missing TextGrids of the takes of `source` (read into `folder`): a list's take gets
// its item's text ("0001 多" for a table, with the gloss), any other take its item from the take
// log, or its file name. False, with the reason, when a TextGrid could not be written (those
// written stay).
bool WriteMissingTextGrids(const ExportSource& source, const ExportFolder& folder,
                           TakeTextGridsResult* result, QString* error,
                           const ExportProgress& progress = {});

}  // namespace quillar
