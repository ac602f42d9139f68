// The take log quillar-log.csv: one line for every take written to a file, in the folder it was
// written to, for the archive, and one for every item passed over without a take (how
// "skipped", in the folder its take would go to). UTF-8 with a signature, a header line,
// comma-separated with standard CSV quoting. Lines are only ever appended, each with one write that
// is flushed to disk. Plain file work, any one thread at a time; the report of a failing write is
// the caller's.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

#include "quality/take_judge.h"

namespace quillar {

inline const QString kTakeLogName = QStringLiteral("quillar-log.csv");

// How a take reached its file.
inline const QString kTakeHowEnter = QStringLiteral("enter");
// Begun by the speaker's voice in hands-free mode, saved as an Enter take is.
inline const QString kTakeHowAuto = QStringLiteral("auto");
inline const QString kTakeHowSave = QStringLiteral("save");
inline const QString kTakeHowRecovered = QStringLiteral("recovered");
// A take whose auto-save failed, saved to its item once the folder took files again.
inline const QString kTakeHowPending = QStringLiteral("pending");
// No take at all: the item was passed over, for the reason in `problems`; its `file` is empty.
inline const QString kTakeHowSkipped = QStringLiteral("skipped");

struct TakeLogEntry {
    QDateTime time;  // when the file was written (shown as local time with its offset)
    QString item;
    QString file;  // the take's path; the log lies in its folder and names it relative to it
    double seconds = 0.0;
    std::uint32_t rate = 0;
    std::uint16_t bits = 0;
    std::uint16_t channels = 0;
    double peak = 0.0;  // largest sample magnitude as a fraction of full scale, 0..1
    bool clipped = false;
    QString device;
    QString itemFile;
    QString replaced;  // where the earlier take now lies, or empty when none was kept
    QString how;  // kTakeHowEnter, kTakeHowAuto, kTakeHowSave, kTakeHowRecovered or
                  // kTakeHowPending (kTakeHowSkipped lines are SkipLogEntry's)
    // The take's judgement (noise_dbfs, snr_db, verdict, problems); those columns stay empty
    // when `judged` is false.
    bool judged = false;
    quality::Judgement judgement;
    // What the take itself knows beyond its judgement, written after the judgement's problems:
    // "short_preroll" (the input had not been open as long as the pre-roll asks), "dropout"
    // (frames the window fell too far behind to collect, filled with silence).
    QStringList notes;
    // The item's id in a table, and the session's speaker and site codes; empty without them.
    QString id;
    QString speaker;
    QString site;
};

// The header line, signature and line break included.
QByteArray TakeLogHeader();
// The entry as one CSV line with its CR LF; control characters in its texts are written as their
// Unicode control pictures, so that no item can break a line or hide a byte.
QByteArray TakeLogLine(const TakeLogEntry& entry);
// One CSV field: quoted (inner quotes doubled) when it holds a comma, a quote, CR or LF.
QString CsvField(const QString& text);
// "2026-12-09T09:15:30+08:00": local time with its offset from UTC.
QString IsoLocalTime(const QDateTime& time);
// Peak in dB of full scale with one decimal; "-inf" for digital silence.
QString PeakDbfs(double peak);

// Appends the entry's line to quillar-log.csv in the folder of entry.file, starting the file with
// the signature and the header when it is new or empty. False when the line could not be written
// whole and flushed; lines already there are never touched.
bool AppendTakeLog(const TakeLogEntry& entry);

// An item passed over without a take, with the reason the fieldworker gave.
struct SkipLogEntry {
    QDateTime time;
    QString item;
    QString itemFile;
    QString reason;
    // As a take's line has them: the table's id, the session's speaker and site codes.
    QString id;
    QString speaker;
    QString site;
};

// The skip as one line of the take log: `how` kTakeHowSkipped, no file and no figures, the
// reason in `problems`.
QByteArray SkipLogLine(const SkipLogEntry& entry);
// Appends it to quillar-log.csv in `folder` (the folder the item's take would be written to), as
// AppendTakeLog does.
bool AppendSkipLog(const QString& folder, const SkipLogEntry& entry);

// What a skip is known by in a log: the table's id when the item has one, else its text as the
// log writes it. A plain list's homographs share it; each still has its own file, so a take of
// one clears the skip of that one only.
QString SkipKeyOf(const QString& id, const QString& item);

// The skips of one folder's log, with what came after them.
struct LoggedSkips {
    struct Skip {
        qsizetype line = 0;  // the record's place in the log; later lines are newer
        QString reason;
    };
    QHash<QString, Skip> skips;       // the newest skip of each SkipKeyOf
    QHash<QString, qsizetype> takes;  // the newest take line of each file, by its name there

    // True, with the reason, when the newest skip of `key` came after the newest take of
    // `file` (a name in the log's folder), or there was no such take.
    bool skipped(const QString& key, const QString& file, QString* reason = nullptr) const;
    bool empty() const { return skips.isEmpty(); }
};

// The records of CSV text (signature skipped), each a list of fields.
std::vector<QStringList> ParseCsv(const QByteArray& text);
// Reads the log of `folder` once. `judgements`: for each file its latest take's judgement; a
// line written before takes were judged gives one only when it clipped (a redo with its peak and
// no noise figures, NaN), so that such files keep the plain recorded mark. `items`: the item of
// each file the log names, as the take's file or as where an earlier take was moved. Either may
// be null. A skip line names no file: it is no take for either, and goes only to `skips` (which
// may be null too).
void ReadTakeLog(const QString& folder, QHash<QString, quality::Judgement>* judgements,
                 QHash<QString, QString>* items, LoggedSkips* skips = nullptr);

}  // namespace quillar
