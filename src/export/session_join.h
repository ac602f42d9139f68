// A session as one recording: the latest take of every item of a folder, in list order, joined
// into NAME.wav in the takes' common format, with NAME.TextGrid (tiers item, gloss and take) and
// an ELAN NAME.eaf (tiers item and gloss) that mark each take's speech in it. Takes stream through
// a fixed buffer, so the session never has to fit in memory. Any thread; one join per name at a
// time.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "annotation/eaf.h"
#include "annotation/textgrid.h"
#include "export/export_folder.h"
#include "quality/speech_interval.h"

namespace quillar {

struct SessionJoinOptions {
    // "NAME" makes <folder>/NAME.wav, .TextGrid and .eaf; a name with a slash is a path of its
    // own (relative to the working directory), for a session kept outside the folder. A final
    // ".wav" is the same name.
    QString name;
    // Takes in another format than the first take's are converted to it (rate through libsoxr,
    // channels mixed down or copied, sample width changed); without it they are refused.
    bool convert = false;
};

// The three files of a session.
struct SessionPaths {
    QString wav;
    QString textGrid;
    QString eaf;
};

struct JoinedTake {
    QString file;                    // relative to the folder
    QString itemText;                // "0001 多" for a table's take, else the item
    std::optional<QString> gloss;    // a table's take only
    std::uint64_t begin = 0;         // its first frame in the session
    std::uint64_t frames = 0;        // as written, at the session's rate
    quality::SpeechInterval speech;  // in the take as written, from its first frame
    bool converted = false;
};

struct SessionJoinResult {
    SessionPaths paths;  // absolute
    std::uint32_t rate = 0;
    std::uint16_t bits = 0;
    std::uint16_t channels = 0;
    bool isFloat = false;
    std::uint64_t frames = 0;       // of the whole session
    std::vector<JoinedTake> takes;  // list order
    QStringList withoutTake;        // the texts of the items without a take, list order
    bool table = false;
};

// Where the session `name` of `folder` (absolute) goes.
SessionPaths SessionPathsOf(const QString& folder, const QString& name);

// Joins the folder's latest takes into the session's files. False, with the reason, when no item
// has a take, a file of the session already exists (nothing is ever overwritten), a take cannot
// be read, the takes differ in format and `convert` is not set (the reason names them), the
// session would be too long for a WAV file, or a file cannot be written; no half-written file is
// left at any of the session's names. `progress` with takes done and in all, on this thread.
bool JoinSession(const ExportFolder& folder, const SessionJoinOptions& options,
                 SessionJoinResult* result, QString* error, const ExportProgress& progress = {});

// The session's TextGrid tiers: "item" over each take's speech (the whole take when it has none),
// "gloss" with the same bounds for a table, "take" over each take with its file name.
std::vector<annotation::IntervalTier> SessionTiers(const SessionJoinResult& joined);
// The session's ELAN document: the WAV beside it, tiers "item" and "gloss" (a table's) in ms.
annotation::EafDocument SessionEaf(const SessionJoinResult& joined, const QString& author);

}  // namespace quillar
