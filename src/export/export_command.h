// quillar-export: a folder's takes exported in one command, the same request the window's "导出"
// runs off its thread: a TextGrid beside every take that has none, the session joined into one
// WAV with its TextGrid and ELAN file, a LIFT lexicon and a deposit for an archive. The program
// (quillar_export.cpp) only hands its arguments to RunFolderExport.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>

#include "export/export_folder.h"

namespace quillar {

// Exit codes.
inline constexpr int kExportDone = 0;
inline constexpr int kExportDoneWithReport = 1;  // done, with something to look at
inline constexpr int kExportFailed = 2;          // usage, an unreadable folder or list, a
                                                 // refusal or a failed write

struct ExportRequest {
    ExportSource source;
    bool textGrids = false;
    QString session;  // NAME of the joined session; empty: none
    bool convert = false;
    QString lift;        // LIFT file; empty: none
    QString deposit;     // deposit folder; empty: none
    QString collection;  // the deposit's CODE

    bool anything() const {
        return textGrids || !session.isEmpty() || !lift.isEmpty() || !deposit.isEmpty();
    }
};

// The LIFT and deposit exports, called by RunExport when asked for. Each returns false with the
// reason when it failed, and adds a line of what it wrote to `*report`.
struct ExportSteps {
    std::function<bool(const ExportFolder& folder, const ExportRequest& request, QString* report,
                       QString* error, const ExportProgress& progress)>
        lift;
    std::function<bool(const ExportFolder& folder, const ExportRequest& request, QString* report,
                       QString* error, const ExportProgress& progress)>
        deposit;
};
// The library's own LIFT and deposit exports (export_steps.cpp).
ExportSteps LibraryExportSteps();

struct ExportReport {
    int exitCode = kExportDone;
    QString text;             // what was written, items without a take, what failed
    QStringList withoutTake;  // items without a take in the session, list order

    bool succeeded() const { return exitCode != kExportFailed; }
};

// The request of `args` (without the program's name); false with the reason in `*error`, or with
// an empty reason for --help.
bool ParseExportRequest(const QStringList& args, ExportRequest* request, QString* error);
// What --help prints.
QString ExportUsage();

// Runs `request` on the calling thread: reads the folder, then the TextGrids, the session, the
// LIFT and the deposit, in that order, stopping at the first failure. `progress(done, total)`
// comes from this thread for each step that has work to count. Any thread but the GUI thread for
// a folder of any size; no widget.
ExportReport RunExport(const ExportRequest& request, const ExportProgress& progress = {},
                       const ExportSteps& steps = LibraryExportSteps());

// The whole program over `args` (without the program's name), writing to `out` and `err`;
// returns the exit code. Progress ("\rdone / total") goes to `err`, and only after a second.
int RunFolderExport(const QStringList& args, std::FILE* out, std::FILE* err);

}  // namespace quillar
