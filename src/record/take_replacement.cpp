#include "record/take_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "record/recording_names.h"

namespace quillar {

namespace {

// Names that a busy folder (or a save running twice in one second) can exhaust are not expected;
// this only bounds the search.
constexpr int kMaxAttempts = 1000;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

bool step(const StepCheck& check, TakeStep s) {
    if (check && !check(s)) {
        errno = EIO;
        return false;
    }
    return true;
}

bool writeWhole(int fd, const char* bytes, std::size_t left) {
    while (left > 0) {
        const ssize_t n = ::write(fd, bytes, left);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// Best effort: the file's data is already on disk; this makes the new names last as well.
void syncFolder(const QString& folder) {
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A rename that fails with EEXIST rather than replace anything. File systems without
// RENAME_NOREPLACE (some network and FAT ones) get a check first, which is enough for one user.
bool renameNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    struct stat st {};
    if (::lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.constData(), to.constData()) == 0;
}

// The new take beside the target, flushed; its path, or empty when it could not be written (then
// nothing is left behind).
QString writeTemporary(const QString& path, const void* data, std::size_t bytes, mode_t mode) {
    const QFileInfo target(path);
    const NameRules rules = NameRulesOf(target.absolutePath());
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        const QString random =
            QString::number(QRandomGenerator::global()->generate() & 0xFFFFFFu, 36);
        QString tempName = u'.' + target.fileName() + u'.' + random;
        // A name at the file system's limit has no room for the temporary's additions.
        if (QFile::encodeName(tempName).size() > rules.nameMax) {
            tempName = QStringLiteral(".quillar-save.") + random;
        }
        const QString temp = target.absolutePath() + u'/' + tempName;
        const QByteArray name = native(temp);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return QString();
        }
        const bool ok =
            writeWhole(fd, static_cast<const char*>(data), bytes) && ::fdatasync(fd) == 0;
        const bool closed = ::close(fd) == 0;
        if (ok && closed) {
            return temp;
        }
        const int error = errno;
        ::unlink(name.constData());
        errno = error;
        return QString();
    }
    return QString();
}

// Moves the file at `path` into the earlier-takes folder beside it; its new path, or empty.
QString moveToEarlierTakes(const QString& path, const QDateTime& when) {
    const QFileInfo target(path);
    const QString folder = target.absolutePath() + u'/' + kEarlierTakesFolder;
    if (::mkdir(native(folder).constData(), 0777) != 0 && errno != EEXIST) {
        return QString();
    }
    const int nameMax = NameRulesOf(folder).nameMax;
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        const QString moved =
            folder + u'/' + earlierTakeName(target.fileName(), when, attempt, nameMax);
        if (renameNoReplace(native(path), native(moved))) {
            return moved;
        }
        if (errno != EEXIST) {
            return QString();
        }
    }
    return QString();
}

}  // namespace

QString earlierTakeName(const QString& fileName, const QDateTime& when, int attempt, int nameMax) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    // A leading dot starts a hidden name, not a suffix.
    const bool hasSuffix = dot > 0;
    const QString stem = hasSuffix ? fileName.left(dot) : fileName;
    QString suffix = u'.' + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (attempt > 1) {
        suffix += u'-' + QString::number(attempt);
    }
    if (hasSuffix) {
        suffix += fileName.mid(dot);
    }
    if (QFile::encodeName(stem + suffix).size() <= nameMax) {
        return stem + suffix;
    }
    NameRules rules;
    rules.nameMax = nameMax;
    return FitFileName(stem, suffix, rules, stem);
}

QString SaveErrorText(int error) {
    switch (error) {
        case ENOENT:
            return QStringLiteral("文件夹不存在");
        case ENOTDIR:
            return QStringLiteral("路径不是文件夹");
        case EACCES:
        case EPERM:
            return QStringLiteral("没有写入权限");
        case EROFS:
            return QStringLiteral("文件夹只读");
        case ENOSPC:
        case EDQUOT:
            return QStringLiteral("磁盘空间不足");
        case ENAMETOOLONG:
            return QStringLiteral("文件名过长");
        case EISDIR:
            return QStringLiteral("同名的文件夹已存在");
        case 0:
            return QStringLiteral("未知原因");
        default:
            return QString::fromLocal8Bit(std::strerror(error));
    }
}

SaveResult replaceTakeFile(const QString& path, const void* data, std::size_t bytes,
                           const QDateTime& when, const StepCheck& check) {
    SaveResult result;
    if (path.isEmpty()) {
        return result;
    }
    const QByteArray target = native(path);
    struct stat old {};
    const bool exists = ::lstat(target.constData(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) {
        result.error = EISDIR;
        return result;
    }
    // A replaced file's permissions carry over to its successor.
    const mode_t mode = exists && S_ISREG(old.st_mode) ? (old.st_mode & 07777) : 0666;

    const QString temp =
        step(check, TakeStep::WriteTemporary) ? writeTemporary(path, data, bytes, mode) : QString();
    if (temp.isEmpty()) {
        result.error = errno;
        return result;
    }
    const QByteArray tempName = native(temp);
    if (exists) {
        if (step(check, TakeStep::MoveEarlier)) {
            result.replaced = moveToEarlierTakes(path, when);
        }
        if (result.replaced.isEmpty()) {
            result.error = errno;
            ::unlink(tempName.constData());
            return result;
        }
    }
    if (!step(check, TakeStep::PlaceNew) || !renameNoReplace(tempName, target)) {
        result.error = errno;
        // Put the old take back under the item's name. Should even that fail, the new take stays
        // in its temporary file: both takes are then still on disk.
        if (result.replaced.isEmpty() || renameNoReplace(native(result.replaced), target)) {
            ::unlink(tempName.constData());
            result.replaced.clear();
        }
        return result;
    }
    const QFileInfo placed(path);
    syncFolder(placed.absolutePath());
    if (!result.replaced.isEmpty()) {
        syncFolder(QFileInfo(result.replaced).absolutePath());
    }
    result.written = true;
    return result;
}

}  // namespace quillar
