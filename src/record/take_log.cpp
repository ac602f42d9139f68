#include "record/take_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace quillar {

namespace {

const QStringList kColumns = {
    QStringLiteral("time"),     QStringLiteral("item"),      QStringLiteral("file"),
    QStringLiteral("seconds"),  QStringLiteral("rate"),      QStringLiteral("bits"),
    QStringLiteral("channels"), QStringLiteral("peak_dbfs"), QStringLiteral("clipped"),
    QStringLiteral("device"),   QStringLiteral("item_file"), QStringLiteral("replaced"),
    QStringLiteral("how"),
};
constexpr int kFileColumn = 2;
constexpr int kClippedColumn = 8;

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

bool writeAll(int fd, const QByteArray& bytes) {
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
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
        e.item,
        relativeTo(folder, e.file),
        QString::number(e.seconds, 'f', 3),
        QString::number(e.rate),
        QString::number(e.bits),
        QString::number(e.channels),
        PeakDbfs(e.peak),
        e.clipped ? QStringLiteral("yes") : QStringLiteral("no"),
        e.device,
        e.itemFile,
        relativeTo(folder, e.replaced),
        e.how,
    });
}

bool AppendTakeLog(const TakeLogEntry& entry) {
    const QString path = QFileInfo(entry.file).absolutePath() + u'/' + kTakeLogName;
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    QByteArray bytes;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_size == 0) {
        bytes = TakeLogHeader();
    } else if (st.st_size > 0) {
        // A line cut short by an earlier crash must not swallow this one.
        char last = '\n';
        if (::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n') {
            bytes = "\r\n";
        }
    }
    bytes += TakeLogLine(entry);
    const bool ok = writeAll(fd, bytes) && ::fdatasync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

std::vector<QStringList> ParseCsv(const QByteArray& data) {
    QString text = QString::fromUtf8(data.startsWith(kSignature) ? data.sliced(3) : data);
    std::vector<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text.at(i + 1) == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
            any = true;
        } else if (c == u',') {
            record.append(field);
            field.clear();
            any = true;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') {
                ++i;
            }
            if (any || !field.isEmpty()) {
                record.append(field);
                records.push_back(record);
            }
            record.clear();
            field.clear();
            any = false;
        } else {
            field += c;
            any = true;
        }
    }
    if (any || !field.isEmpty()) {
        record.append(field);
        records.push_back(record);
    }
    return records;
}

QHash<QString, bool> ClippedTakesOf(const QString& folder) {
    QHash<QString, bool> clipped;
    QFile file(folder + u'/' + kTakeLogName);
    if (!file.open(QIODevice::ReadOnly)) {
        return clipped;
    }
    const std::vector<QStringList> records = ParseCsv(file.readAll());
    for (std::size_t i = 1; i < records.size(); ++i) {
        const QStringList& r = records[i];
        if (r.size() > kClippedColumn) {
            clipped.insert(r[kFileColumn], r[kClippedColumn] == u"yes");
        }
    }
    return clipped;
}

}  // namespace quillar
