#include "export/deposit.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <cstdint>
#include <vector>

#include "export/verified_copy.h"
#include "platform/file_io.h"
#include "quality/wav_judgement.h"
#include "record/take_log.h"
#include "session/session.h"

namespace quillar {

namespace {

const QString kSheetName = QStringLiteral("metadata.csv");

const QStringList kSheetColumns = {
    QStringLiteral("file"),         QStringLiteral("original name"), QStringLiteral("id"),
    QStringLiteral("item"),         QStringLiteral("gloss"),         QStringLiteral("note"),
    QStringLiteral("speaker code"), QStringLiteral("sex"),           QStringLiteral("birth year"),
    QStringLiteral("languages"),    QStringLiteral("site"),          QStringLiteral("place"),
    QStringLiteral("latitude"),     QStringLiteral("longitude"),     QStringLiteral("date"),
    QStringLiteral("fieldworker"),  QStringLiteral("consent"),       QStringLiteral("seconds"),
    QStringLiteral("rate"),         QStringLiteral("bits"),          QStringLiteral("channels"),
    QStringLiteral("peak_dbfs"),    QStringLiteral("noise_dbfs"),    QStringLiteral("snr_db"),
    QStringLiteral("verdict"),      QStringLiteral("sha256"),
};

// One part of an archive name: letters and digits of any width or accent by their plain ASCII
// form (compatibility decomposition: "é" is "e" and a combining accent, "Ａ" is "A"), "-" and
// "_" kept, everything else dropped; no hyphen at either end, which would double the one
// between parts.
QString archivePart(const QString& text) {
    QString out;
    for (const QChar c : text.normalized(QString::NormalizationForm_KD)) {
        const char16_t u = c.unicode();
        if ((u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') ||
            u == u'-' || u == u'_') {
            out += c.toUpper();
        }
    }
    while (out.startsWith(u'-')) {
        out.remove(0, 1);
    }
    while (out.endsWith(u'-')) {
        out.chop(1);
    }
    return out;
}

// `path` without its extension: where a take's TextGrid lies beside it.
QString stemOf(const QString& path) {
    const qsizetype dot = path.lastIndexOf(u'.');
    return dot > path.lastIndexOf(u'/') ? path.left(dot) : path;
}

// A latitude or longitude as people write it: no exponent, no trailing zeros.
QString degreesText(const std::optional<double>& value) {
    if (!value) {
        return QString();
    }
    QString text = QString::number(*value, 'f', 6);
    while (text.endsWith(u'0')) {
        text.chop(1);
    }
    if (text.endsWith(u'.')) {
        text.chop(1);
    }
    return text;
}

// The date each take in `logFolder` was made, by its name there, from the folder's take log
// (the latest line of a name wins, as the latest take stands at it).
QHash<QString, QDate> loggedDates(const QString& logFolder) {
    QHash<QString, QDate> dates;
    QFile log(logFolder + u'/' + kTakeLogName);
    if (!log.open(QIODevice::ReadOnly)) {
        return dates;
    }
    const std::vector<QStringList> records = ParseCsv(log.readAll());
    if (records.empty()) {
        return dates;
    }
    const qsizetype timeColumn = records.front().indexOf(QStringLiteral("time"));
    const qsizetype fileColumn = records.front().indexOf(QStringLiteral("file"));
    if (timeColumn < 0 || fileColumn < 0) {
        return dates;
    }
    for (std::size_t i = 1; i < records.size(); ++i) {
        const QStringList& r = records[i];
        if (r.size() <= std::max(timeColumn, fileColumn)) {
            continue;
        }
        // The time carries the offset it was made at, so the date is the one where it was made.
        const QDateTime time = QDateTime::fromString(r[timeColumn], Qt::ISODate);
        if (time.isValid()) {
            dates.insert(r[fileColumn], time.date());
        }
    }
    return dates;
}

struct DepositTake {
    const ExportItem* item = nullptr;
    QString id;        // the table's id, or the item's place in the list ("0007")
    QString source;    // absolute
    QString name;      // in the deposit folder
    QString textGrid;  // absolute, or empty when the take has none
    QString textGridName;
};

QByteArray sheetLine(const QStringList& fields) {
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& f : fields) {
        quoted.append(CsvField(f));
    }
    return (quoted.join(u',') + QStringLiteral("\r\n")).toUtf8();
}

QString countText(unsigned value) {
    return value == 0 ? QString() : QString::number(value);
}

QStringList sheetRow(const DepositTake& t, const Session* session, const QDate& date,
                     const quality::WavJudgement& w, const QString& sha256) {
    const ItemEntry& e = t.item->entry;
    const SessionSpeaker speaker = session != nullptr ? session->speaker : SessionSpeaker{};
    const SessionSite site = session != nullptr ? session->site : SessionSite{};
    const quality::Judgement& j = w.judgement;
    return {
        t.name,
        t.item->file,
        t.id,
        e.item,
        e.gloss,
        e.note,
        speaker.code,
        speaker.sex,
        speaker.birthYear ? QString::number(*speaker.birthYear) : QString(),
        speaker.languages.join(u';'),
        site.code,
        site.place,
        degreesText(site.latitude),
        degreesText(site.longitude),
        date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString(),
        session != nullptr ? session->fieldworker : QString(),
        session != nullptr ? session->consent : QString(),
        QString::number(w.seconds, 'f', 3),
        countText(w.rate),
        countText(w.bits),
        countText(w.channels),
        quality::DbText(j.peakDbfs),
        quality::DbText(j.noiseDbfs),
        quality::DbText(j.snrDb),
        quality::VerdictName(j.verdict),
        sha256,
    };
}

// The takes to deposit under their names; false, naming both, when two would share a name.
bool depositTakes(const ExportFolder& folder, const QString& collection,
                  std::vector<DepositTake>* takes, QString* error) {
    const QString speaker = folder.session ? folder.session->speaker.code : QString();
    QHash<QString, const DepositTake*> byName;
    takes->reserve(folder.items.size());
    for (std::size_t i = 0; i < folder.items.size(); ++i) {
        const ExportItem& item = folder.items[i];
        if (!item.hasTake()) {
            continue;
        }
        DepositTake t;
        t.item = &item;
        t.id = folder.table && !item.entry.id.isEmpty()
                   ? item.entry.id
                   : QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0'));
        t.source = folder.folder + u'/' + item.file;
        t.name = DepositName(collection, speaker, t.id);
        const QString textGrid = stemOf(t.source) + QStringLiteral(".TextGrid");
        if (platform::pathInfo(textGrid).isFile) {
            t.textGrid = textGrid;
            t.textGridName = stemOf(t.name) + QStringLiteral(".TextGrid");
        }
        takes->push_back(std::move(t));
    }
    for (const DepositTake& t : *takes) {
        if (const DepositTake* other = byName.value(t.name)) {
            *error = QStringLiteral(
                         "two takes would both be deposited as %1: %2 and %3 (their "
                         "ids differ only in letters an archive name cannot hold)")
                         .arg(t.name, other->item->file, t.item->file);
            return false;
        }
        byName.insert(t.name, &t);
    }
    return true;
}

}  // namespace

QString DepositName(const QString& collection, const QString& speaker, const QString& id) {
    QStringList parts;
    for (const QString& part : {collection, speaker, id}) {
        const QString reduced = archivePart(part);
        if (!reduced.isEmpty()) {
            parts.append(reduced);
        }
    }
    return parts.join(u'-') + QStringLiteral(".wav");
}

namespace {

bool deposit(const ExportFolder& folder, const DepositOptions& options, DepositResult* result,
             QString* error, const ExportProgress& progress) {
    if (options.dir.isEmpty()) {
        *error = QStringLiteral("no deposit folder given");
        return false;
    }
    std::vector<DepositTake> takes;
    if (!depositTakes(folder, options.collection, &takes, error)) {
        return false;
    }
    const QString sessionFile = folder.folder + u'/' + QLatin1String(kSessionFileName);
    const bool withSession = platform::pathInfo(sessionFile).isFile;

    // Every name the deposit will take, checked before the first copy: a deposit that would
    // stop at its tenth file because of an old one leaves nothing behind either.
    QStringList names;
    for (const DepositTake& t : takes) {
        names.append(t.name);
        if (!t.textGrid.isEmpty()) {
            names.append(t.textGridName);
        }
    }
    names.append(kSheetName);
    if (withSession) {
        names.append(QLatin1String(kSessionFileName));
    }
    const QDir dir(options.dir);
    if (!QDir().mkpath(options.dir) || !QFileInfo(options.dir).isDir()) {
        *error = QStringLiteral("cannot make the deposit folder %1").arg(options.dir);
        return false;
    }
    QStringList standing;
    for (const QString& name : std::as_const(names)) {
        if (platform::pathInfo(dir.filePath(name)).exists) {
            standing.append(name);
        }
    }
    if (!standing.isEmpty()) {
        *error = QStringLiteral(
                     "the deposit folder %1 already holds %2; nothing in it is ever "
                     "replaced, so nothing was copied")
                     .arg(options.dir, standing.join(QStringLiteral(", ")));
        return false;
    }

    PlacedFiles placed;
    const auto put = [&](const QString& name, auto&& write) {
        const QString path = dir.filePath(name);
        if (!write(path)) {
            return false;
        }
        placed.add(path);
        result->files.append(name);
        return true;
    };
    const int total = static_cast<int>(takes.size());
    if (progress) {
        progress(0, total);
    }
    QByteArray sheet = QByteArray("\xEF\xBB\xBF") + sheetLine(kSheetColumns);
    QHash<QString, QHash<QString, QDate>> datesByFolder;
    std::vector<std::uint8_t> scratch;
    const Session* session = folder.session ? &*folder.session : nullptr;
    for (const DepositTake& t : takes) {
        const QString sha256 = FileSha256(t.source);
        if (sha256.isEmpty()) {
            *error = QStringLiteral("cannot read %1").arg(t.source);
            return false;
        }
        if (!put(t.name,
                 [&](const QString& to) { return CopyVerified(t.source, to, sha256, error); })) {
            return false;
        }
        if (!t.textGrid.isEmpty()) {
            const QString textGridSha256 = FileSha256(t.textGrid);
            if (textGridSha256.isEmpty() || !put(t.textGridName, [&](const QString& to) {
                    return CopyVerified(t.textGrid, to, textGridSha256, error);
                })) {
                if (error->isEmpty()) {
                    *error = QStringLiteral("cannot read %1").arg(t.textGrid);
                }
                return false;
            }
        }
        const QFileInfo info(t.source);
        auto dates = datesByFolder.find(info.path());
        if (dates == datesByFolder.end()) {
            dates = datesByFolder.insert(info.path(), loggedDates(info.path()));
        }
        QDate date = dates->value(info.fileName());
        if (!date.isValid()) {
            date = info.lastModified().date();
        }
        const quality::WavJudgement judged =
            quality::JudgeWavFile(t.source, quality::Profile::None, scratch);
        sheet += sheetLine(sheetRow(t, session, date, judged, sha256));
        ++result->copied;
        if (progress) {
            progress(result->copied, total);
        }
    }
    if (!put(kSheetName, [&](const QString& to) { return WriteVerified(sheet, to, error); })) {
        return false;
    }
    if (withSession) {
        const QString sha256 = FileSha256(sessionFile);
        if (sha256.isEmpty()) {
            *error = QStringLiteral("cannot read %1").arg(sessionFile);
            return false;
        }
        if (!put(QLatin1String(kSessionFileName),
                 [&](const QString& to) { return CopyVerified(sessionFile, to, sha256, error); })) {
            return false;
        }
    }
    placed.keep();
    return true;
}

}  // namespace

bool ExportDeposit(const ExportFolder& folder, const DepositOptions& options, DepositResult* result,
                   QString* error, const ExportProgress& progress) {
    *result = DepositResult{};
    error->clear();
    if (!deposit(folder, options, result, error, progress)) {
        *result = DepositResult{};  // what it had copied is gone again
        return false;
    }
    return true;
}

}  // namespace quillar
