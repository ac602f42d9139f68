#include "export/verified_copy.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <atomic>
#include <cerrno>
#include <functional>
#include <utility>

#include "platform/file_io.h"

namespace quillar {

namespace {

std::function<void(const QString&)>& placedHook() {
    static std::function<void(const QString&)> hook;
    return hook;
}

// A hidden name of fixed length beside `to`: a long target name plus a suffix could pass the
// file system's limit.
QString temporaryBeside(const QString& to) {
    static std::atomic<int> counter{0};
    return QFileInfo(to).path() +
           QStringLiteral("/.quillar-%1-%2.part").arg(platform::processId()).arg(counter++);
}

QString errnoText(int e) {
    return qt_error_string(e);
}

QString sha256Of(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

// Puts the finished temporary file at `to` without replacing anything, then reads it back.
// A new temporary file beside `to` filled by `fill` (true when it wrote everything), flushed to
// disk and closed: its path, or empty with the reason, nothing left behind.
QString writeTemporary(const QString& to, QString* error, const std::function<bool(int fd)>& fill) {
    const QString temp = temporaryBeside(to);
    platform::FileHandle out = platform::createNewFile(temp);
    if (!out) {
        *error = QStringLiteral("cannot write %1: %2").arg(to, errnoText(errno));
        return QString();
    }
    bool ok = fill(out.fd()) && platform::syncData(out.fd());
    int e = errno;
    if (!out.close() && ok) {
        ok = false;
        e = errno;
    }
    if (!ok) {
        platform::removeFile(temp);
        *error = QStringLiteral("cannot write %1: %2").arg(to, errnoText(e));
        return QString();
    }
    return temp;
}

bool place(const QString& temp, const QString& to, const QString& sha256, QString* error) {
    if (!platform::renameNoReplace(temp, to)) {
        const int e = errno;
        platform::removeFile(temp);
        *error = e == EEXIST ? QStringLiteral("%1 already exists and is left as it is").arg(to)
                             : QStringLiteral("cannot put %1 in place: %2").arg(to, errnoText(e));
        return false;
    }
    platform::syncFolder(QFileInfo(to).path());
    if (placedHook()) {
        placedHook()(to);
    }
    const QString back = FileSha256(to);
    if (back != sha256) {
        // A copy that is not its source is no copy: it goes, the source stays.
        platform::removeFile(to);
        *error = QStringLiteral("%1 did not read back as written (SHA-256 %2, expected %3)")
                     .arg(to, back.isEmpty() ? QStringLiteral("unreadable") : back, sha256);
        return false;
    }
    return true;
}

}  // namespace

QString FileSha256(const QString& path) {
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file) || file.error() != QFile::NoError) {
        return QString();
    }
    return QString::fromLatin1(hash.result().toHex());
}

bool CopyVerified(const QString& from, const QString& to, const QString& sourceSha256,
                  QString* error) {
    const platform::FileHandle in = platform::openForReading(from);
    const std::optional<std::uint64_t> size =
        in ? platform::regularFileSize(in.fd()) : std::nullopt;
    if (!size) {
        *error = QStringLiteral("cannot read %1: %2").arg(from, errnoText(errno));
        return false;
    }
    const QString temp = writeTemporary(
        to, error, [&](int fd) { return platform::copyAllAt(in.fd(), 0, fd, 0, *size); });
    if (temp.isEmpty()) {
        return false;
    }
    return place(temp, to, sourceSha256, error);
}

bool WriteVerified(const QByteArray& bytes, const QString& to, QString* error) {
    const QString temp = writeTemporary(to, error, [&](int fd) {
        return platform::writeAll(fd, bytes.constData(), static_cast<std::uint64_t>(bytes.size()));
    });
    if (temp.isEmpty()) {
        return false;
    }
    return place(temp, to, sha256Of(bytes), error);
}

PlacedFiles::~PlacedFiles() {
    for (const QString& path : std::as_const(m_paths)) {
        platform::removeFile(path);
    }
}

void SetCopyPlacedHookForTest(std::function<void(const QString& path)> hook) {
    placedHook() = std::move(hook);
}

}  // namespace quillar
