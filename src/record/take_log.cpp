#include "record/take_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include "naming/recording_names.h"
#include "platform/descriptor_io.h"
#include "platform/file_io.h"

namespace quillar {

namespace {

const QStringList kColumns = {
    QStringLiteral("time"),
    QStringLiteral("item"),
    QStringLiteral("file"),
    QStringLiteral("seconds"),
    QStringLiteral("rate"),
    QStringLiteral("bits"),
    QStringLiteral("channels"),
    QStringLiteral("peak_dbfs"),
    QStringLiteral("clipped"),
    QStringLiteral("device"),
    QStringLiteral("item_file"),
    QStringLiteral("replaced"),
    QStringLiteral("how"),
    // Added with the judgement of takes: older logs end at "how".
    QStringLiteral("noise_dbfs"),
    QStringLiteral("snr_db"),
    QStringLiteral("verdict"),
    QStringLiteral("problems"),
    // Added with tables and sessions: older logs end at "problems".
    QStringLiteral("id"),
    QStringLiteral("speaker"),
    QStringLiteral("site"),
};
constexpr int kItemColumn = 1;
constexpr int kFileColumn = 2;
constexpr int kPeakColumn = 7;
constexpr int kClippedColumn = 8;
constexpr int kItemFileColumn = 10;
constexpr int kReplacedColumn = 11;
constexpr int kHowColumn = 12;
constexpr int kNoiseColumn = 13;
constexpr int kSnrColumn = 14;
constexpr int kVerdictColumn = 15;
constexpr int kProblemsColumn = 16;
constexpr int kIdColumn = 17;
constexpr int kSpeakerColumn = 18;
constexpr int kSiteColumn = 19;

const QByteArray kSignature("\xEF\xBB\xBF");

QByteArray csvLine(const QStringList& fields) {
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& f : fields) {
        quoted.append(CsvField(f));
    }
    return (quoted.join(u',') + QStringLiteral("\r\n")).toUtf8();
}

// A name inside `folder` as the log shows it, with "/" between folders whatever the platform.
QString relativeTo(const QString& folder, const QString& path) {
    if (path.isEmpty()) {
        return QString();
    }
    return QDir(folder).relativeFilePath(path);
}

}  // namespace

QByteArray TakeLogHeader() {
    return kSignature + csvLine(kColumns);
}

QString CsvField(const QString& text) {
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\r') &&
        !text.contains(u'\n')) {
        return text;
    }
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString IsoLocalTime(const QDateTime& time) {
    const QDateTime local = time.toLocalTime();
    // Written out by hand: Qt writes "Z" at UTC, and the column always carries "+hh:mm".
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString PeakDbfs(double peak) {
    if (!(peak > 0.0)) {
        return QStringLiteral("-inf");
    }
    return QString::number(20.0 * std::log10(peak), 'f', 1);
}

QByteArray TakeLogLine(const TakeLogEntry& e) {
    const QString folder = QFileInfo(e.file).absolutePath();
    return csvLine({
        IsoLocalTime(e.time),
        PrintableText(e.item),
        relativeTo(folder, e.file),
        QString::number(e.seconds, 'f', 3),
        QString::number(e.rate),
        QString::number(e.bits),
        QString::number(e.channels),
        PeakDbfs(e.peak),
        e.clipped ? QStringLiteral("yes") : QStringLiteral("no"),
        PrintableText(e.device),
        PrintableText(e.itemFile),
        relativeTo(folder, e.replaced),
        e.how,
        e.judged ? quality::DbText(e.judgement.noiseDbfs) : QString(),
        e.judged ? quality::DbText(e.judgement.snrDb) : QString(),
        e.judged ? quality::VerdictName(e.judgement.verdict) : QString(),
        ((e.judged ? quality::ProblemNames(e.judgement) : QStringList()) + e.notes).join(u';'),
        PrintableText(e.id),
        PrintableText(e.speaker),
        PrintableText(e.site),
    });
}

namespace {

// Calls `visit` with the fields of each record of `data` (UTF-8, a signature allowed), as bytes
// with their quotes undone; the views hold only during the call. Blank lines are no records. The
// log of a long survey has tens of thousands of lines and is read at every refresh of the marks,
// so fields are sliced from the bytes, not built a character at a time. True when the data ends
// inside a quoted field that was never closed (a line cut short by a crash, or a hand edit).
template <class Visit>
bool scanCsv(QByteArrayView data, Visit&& visit) {
    if (data.startsWith(QByteArrayView(kSignature))) {
        data = data.sliced(kSignature.size());
    }
    const char* p = data.data();
    const char* const end = p + data.size();
    const auto fieldEnd = [end](const char* q) {
        while (q < end && *q != ',' && *q != '\r' && *q != '\n') {
            ++q;
        }
        return q;
    };
    std::vector<QByteArrayView> fields;
    std::vector<QByteArray> unquoted;  // backs the views of quoted fields
    bool any = false;
    bool open = false;
    while (p < end) {
        if (*p == '"') {
            QByteArray field;
            ++p;
            open = true;
            while (p < end) {
                const char* q = static_cast<const char*>(std::memchr(p, '"', end - p));
                if (q == nullptr) {
                    field.append(p, end - p);
                    p = end;
                    break;
                }
                field.append(p, q - p);
                p = q + 1;
                if (p < end && *p == '"') {
                    field.append('"');
                    ++p;
                } else {
                    open = false;
                    break;
                }
            }
            const char* rest = fieldEnd(p);
            field.append(p, rest - p);
            p = rest;
            unquoted.push_back(std::move(field));
            fields.emplace_back(unquoted.back());
            any = true;
        } else {
            const char* rest = fieldEnd(p);
            fields.emplace_back(p, rest - p);
            any = any || rest > p;
            p = rest;
        }
        if (p < end && *p == ',') {
            any = true;
            if (++p < end) {
                continue;
            }
            // A comma last in the data ends its record with an empty field.
            fields.emplace_back();
        }
        if (p < end) {
            p += (*p == '\r' && p + 1 < end && p[1] == '\n') ? 2 : 1;
        }
        if (any) {
            visit(fields);
        }
        fields.clear();
        unquoted.clear();
        any = false;
    }
    return open;
}

// What must go before a new line at the end of the log open at `fd` so that the line is a record
// of its own, for this program and any CSV reader: the header when the log holds no record yet,
// a closing quote for a field that a crash or an edit left open, a line break for a line cut
// short. The whole log is read, as an open quote may lie lines back.
QByteArray leadOf(int fd, std::uint64_t size) {
    if (size == 0) {
        return TakeLogHeader();
    }
    QByteArray old(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (platform::readFullyAt(fd, old.data(), size, 0) != size) {
        return "\r\n";  // cannot tell: a blank line is no record, so it costs nothing
    }
    bool any = false;
    const bool open = scanCsv(old, [&any](const std::vector<QByteArrayView>&) { any = true; });
    if (!any && !open) {
        // Nothing but a signature or blank lines: the header, without a second signature, which
        // would not be at the file's start.
        QByteArray header = TakeLogHeader().sliced(kSignature.size());
        return old == kSignature || old.endsWith('\n') ? header : header.prepend("\r\n");
    }
    QByteArray lead = open ? "\"" : "";
    if (open || !old.endsWith('\n')) {
        lead += "\r\n";
    }
    return lead;
}

// The logs this process appended to, each as its last line left it. A log found so again ends in
// a whole record of ours and is not read: a long survey's log is megabytes, and a save must not
// wait for it.
std::mutex g_leftMutex;
QHash<QString, platform::FileState> g_left;

// Appends `line` to the log at `path`, with the signature and header when the file is new or
// empty; one write, flushed.
bool appendLine(const QString& path, const QByteArray& line) {
    platform::FileHandle log = platform::openForAppending(path);
    if (!log) {
        return false;
    }
    const std::optional<platform::FileState> found = platform::stateOf(log.fd());
    bool asLeft = false;
    {
        const std::lock_guard lock(g_leftMutex);
        const auto left = g_left.constFind(path);
        asLeft = found && left != g_left.cend() && *left == *found;
    }
    QByteArray bytes = asLeft ? QByteArray() : leadOf(log.fd(), found ? found->size : 0);
    bytes += line;
    const bool ok =
        platform::writeAll(log.fd(), bytes.constData(), static_cast<std::uint64_t>(bytes.size())) &&
        platform::syncData(log.fd());
    const std::optional<platform::FileState> now = ok ? platform::stateOf(log.fd()) : std::nullopt;
    {
        const std::lock_guard lock(g_leftMutex);
        if (now) {
            g_left.insert(path, *now);
        } else {
            g_left.remove(path);
        }
    }
    return log.close() && ok;
}

}  // namespace

bool AppendTakeLog(const TakeLogEntry& entry) {
    return appendLine(QFileInfo(entry.file).absolutePath() + u'/' + kTakeLogName,
                      TakeLogLine(entry));
}

QByteArray SkipLogLine(const SkipLogEntry& e) {
    QStringList fields(kColumns.size());
    fields[0] = IsoLocalTime(e.time);
    fields[kItemColumn] = PrintableText(e.item);
    fields[kItemFileColumn] = PrintableText(e.itemFile);
    fields[kHowColumn] = kTakeHowSkipped;
    fields[kProblemsColumn] = PrintableText(e.reason);
    fields[kIdColumn] = PrintableText(e.id);
    fields[kSpeakerColumn] = PrintableText(e.speaker);
    fields[kSiteColumn] = PrintableText(e.site);
    return csvLine(fields);
}

bool AppendSkipLog(const QString& folder, const SkipLogEntry& entry) {
    return appendLine(folder + u'/' + kTakeLogName, SkipLogLine(entry));
}

QString SkipKeyOf(const QString& id, const QString& item) {
    // Two texts that cannot meet: an id and an item that happen to read the same stay apart.
    return id.isEmpty() ? u'i' + PrintableText(item) : u'#' + PrintableText(id);
}

bool LoggedSkips::skipped(const QString& key, const QString& file, QString* reason) const {
    const auto skip = skips.constFind(key);
    if (skip == skips.cend()) {
        return false;
    }
    if (const auto take = takes.constFind(file); take != takes.cend() && *take > skip->line) {
        return false;
    }
    if (reason != nullptr) {
        *reason = skip->reason;
    }
    return true;
}

std::vector<QStringList> ParseCsv(const QByteArray& data) {
    std::vector<QStringList> records;
    scanCsv(data, [&records](const std::vector<QByteArrayView>& fields) {
        QStringList record;
        record.reserve(static_cast<qsizetype>(fields.size()));
        for (const QByteArrayView f : fields) {
            record.append(QString::fromUtf8(f));
        }
        records.push_back(std::move(record));
    });
    return records;
}

namespace {

double dbOf(QByteArrayView text) {
    if (text == "-inf") {
        return -INFINITY;
    }
    if (text == "inf") {
        return INFINITY;
    }
    double v = NAN;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    return error == std::errc() && end == text.data() + text.size() ? v : NAN;
}

}  // namespace

void ReadTakeLog(const QString& folder, QHash<QString, quality::Judgement>* judgements,
                 QHash<QString, QString>* items, LoggedSkips* skips) {
    QFile file(folder + u'/' + kTakeLogName);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    qsizetype line = -1;
    scanCsv(file.readAll(), [&](const std::vector<QByteArrayView>& fields) {
        // The header names the columns; a log that lost it (emptied by hand but for its
        // signature, then written again) still has its first take in its first line.
        if ((++line == 0 && fields.front() == "time") ||
            fields.size() <= std::size_t{kClippedColumn}) {
            return;
        }
        if (fields.size() > std::size_t{kHowColumn} && fields[kHowColumn] == "skipped") {
            if (skips != nullptr) {
                const auto field = [&fields](int column) {
                    return fields.size() > std::size_t(column) ? QString::fromUtf8(fields[column])
                                                               : QString();
                };
                skips->skips.insert(SkipKeyOf(field(kIdColumn), field(kItemColumn)),
                                    LoggedSkips::Skip{line, field(kProblemsColumn)});
            }
            return;
        }
        const QString name = QString::fromUtf8(fields[kFileColumn]);
        if (skips != nullptr) {
            skips->takes.insert(name, line);
        }
        if (items != nullptr) {
            const QString item = QString::fromUtf8(fields[kItemColumn]);
            items->insert(name, item);
            if (fields.size() > std::size_t{kReplacedColumn} && !fields[kReplacedColumn].empty()) {
                items->insert(QString::fromUtf8(fields[kReplacedColumn]), item);
            }
        }
        if (judgements == nullptr) {
            return;
        }
        quality::Judgement j;
        j.peakDbfs = dbOf(fields[kPeakColumn]);
        // A long survey's log has tens of thousands of judged lines, read at every refresh of
        // the marks: the judgement is read from the bytes, no text is built for it.
        if (fields.size() > std::size_t{kProblemsColumn} &&
            quality::ParseVerdict(fields[kVerdictColumn], &j.verdict)) {
            j.noiseDbfs = dbOf(fields[kNoiseColumn]);
            j.snrDb = dbOf(fields[kSnrColumn]);
            j.problems = quality::ProblemsOf(fields[kProblemsColumn]);
            judgements->insert(name, j);
        } else if (fields[kClippedColumn] == "yes") {
            j.noiseDbfs = NAN;
            j.snrDb = NAN;
            j.problems = quality::kClipped;
            quality::SettleVerdict(j);
            judgements->insert(name, j);
        } else {
            judgements->remove(name);  // a later unjudged take: the plain mark
        }
    });
}

}  // namespace quillar
