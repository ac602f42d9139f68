// quillar-check: every recording of a folder judged in one command, in parallel over the cores,
// with a CSV row per file, the items of a word list that have no recording (missing, or skipped
// with a reason in the take log), a summary and an exit code. The program itself
// (quillar_check.cpp) only hands its arguments to RunFolderCheck. Runs on the thread that calls it,
// with worker threads of its own that touch only their files.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <functional>
#include <vector>

#include "quality/wav_judgement.h"

namespace quillar {

// Exit codes.
inline constexpr int kCheckAllGood = 0;
inline constexpr int kCheckNotAllGood = 1;
inline constexpr int kCheckUsageError = 2;

struct CheckOptions {
    QString folder;
    QString list;  // word list; empty: none
    QString csv;   // CSV path, "-" for standard output; empty: none
    quality::Profile profile = quality::Profile::None;
    bool earlier = false;  // the takes kept in 早前录音 too
    // How the list's items are named, as the window's options have them ("文件名模板", empty:
    // the list's default; "文件名仅ASCII").
    QString nameTemplate;
    bool asciiNames = false;
};

struct CheckRow {
    QString file;  // relative to the folder; empty for an item without a recording
    QString item;
    quality::WavJudgement wav;
    // An item without a recording whose newest take-log line is a skip (F8), and why.
    bool skipped = false;
    QString skipReason;
    bool hasFile() const { return !file.isEmpty(); }
    bool missing() const { return file.isEmpty() && !skipped; }
};

// The options of `args` (without the program's name); false with the reason in `*error`, or
// with an empty reason for --help.
bool ParseCheckOptions(const QStringList& args, CheckOptions* options, QString* error);
// Judges the folder's recordings and adds the list's items without one, missing or skipped;
// rows sorted by file, the items without a file last in list order. `progress(done, total)` is
// called now and then from the calling thread. Blank items of the list name no recording and are
// never missing. False, with the reason, when the folder cannot be read or holds no recordings, or
// the list cannot be read, is not text or holds no item with text.
bool CheckFolder(const CheckOptions& options, std::vector<CheckRow>* rows, QString* error,
                 const std::function<void(int, int)>& progress = {});
// The CSV of the rows: signature, header, a line each.
QByteArray CheckCsv(const std::vector<CheckRow>& rows);
// The summary: counts per verdict and per problem, then every file that is not good and every
// item without one (a skipped one with its reason).
QString CheckSummary(const std::vector<CheckRow>& rows);
// The whole program over `args` (without the program's name), writing to `out` and `err`;
// returns the exit code.
int RunFolderCheck(const QStringList& args, std::FILE* out, std::FILE* err);
// What --help prints.
QString CheckUsage();

}  // namespace quillar
