#include "record/take_replacement.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "kit/ui_texts.h"
#include "naming/name_template.h"
#include "naming/recording_names.h"
#include "platform/file_io.h"

namespace quillar {

using namespace platform;

namespace {

// Names that a busy folder (or a save running twice in one second) can exhaust are not expected;
// this only bounds the search.
constexpr int kMaxAttempts = 1000;

bool step(const StepCheck& check, TakeStep s) {
    if (check && !check(s)) {
        errno = EIO;
        return false;
    }
    return true;
}

// The new take beside the target, flushed; its path, or empty when it could not be written (then
// nothing is left behind).
QString writeTemporary(const QString& path, std::span<const TakeBytes> pieces, unsigned mode) {
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
        FileHandle file = createNewFile(temp, mode);
        if (!file) {
            if (errno == EEXIST) {
                continue;
            }
            return QString();
        }
        bool ok = true;
        for (const TakeBytes piece : pieces) {
            ok = ok && writeAll(file.fd(), piece.data(), piece.size());
        }
        ok = ok && syncData(file.fd());
        const bool closed = file.close();
        if (ok && closed) {
            return temp;
        }
        const int error = errno;
        removeFile(temp);
        errno = error;
        return QString();
    }
    return QString();
}

// Moves the file at `from` into the earlier-takes folder beside `path`, named after `path`'s file
// and `when`; its new path, or empty.
QString moveToEarlierTakes(const QString& from, const QString& path, const QDateTime& when) {
    const QFileInfo target(path);
    const QString folder = target.absolutePath() + u'/' + kEarlierTakesFolder;
    if (!makeFolder(folder)) {
        return QString();
    }
    const int nameMax = NameRulesOf(folder).nameMax;
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        const QString moved =
            folder + u'/' + earlierTakeName(target.fileName(), when, attempt, nameMax);
        if (renameNoReplace(from, moved)) {
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
            return Texts::tr("文件夹不存在");
        case ENOTDIR:
            return Texts::tr("路径不是文件夹");
        case EACCES:
        case EPERM:
            return Texts::tr("没有写入权限");
        case EROFS:
            return Texts::tr("文件夹只读");
        case ENOSPC:
        case EDQUOT:
            return Texts::tr("磁盘空间不足");
        case ENAMETOOLONG:
            return Texts::tr("文件名过长");
        case EISDIR:
            return Texts::tr("同名的文件夹已存在");
        case 0:
            return Texts::tr("未知原因");
        default:
            return QString::fromLocal8Bit(std::strerror(error));
    }
}

TemporaryTake writeTakeTemporary(const QString& path, const void* data, std::size_t bytes,
                                 const StepCheck& check, const QString& baseFolder) {
    const TakeBytes whole(static_cast<const std::uint8_t*>(data), bytes);
    return writeTakeTemporary(path, std::span(&whole, 1), check, baseFolder);
}

TemporaryTake writeTakeTemporary(const QString& path, std::span<const TakeBytes> pieces,
                                 const StepCheck& check, const QString& baseFolder) {
    TemporaryTake temp;
    const PathInfo old = pathInfo(path);
    if (old.isFolder) {
        temp.error = EISDIR;
        return temp;
    }
    // A replaced file's permissions carry over to its successor.
    const unsigned mode = old.isFile ? old.mode : 0666;
    // The subfolders a naming template puts the take in are made only for a write that goes
    // ahead, and never the auto-save folder itself: a stick taken out is not made again on the
    // disk below its mount point.
    temp.path = step(check, TakeStep::WriteTemporary) &&
                        (baseFolder.isEmpty() || MakeRecordingFolders(baseFolder, path))
                    ? writeTemporary(path, pieces, mode)
                    : QString();
    if (temp.path.isEmpty()) {
        temp.error = errno;
    }
    return temp;
}

SaveResult placeTakeFile(const QString& temporary, const QString& path, const QDateTime& when,
                         const StepCheck& check) {
    SaveResult result;
    const PathInfo old = pathInfo(path);
    if (old.isFolder) {
        result.error = EISDIR;
        removeFile(temporary);
        return result;
    }
    if (old.exists) {
        if (step(check, TakeStep::MoveEarlier)) {
            result.replaced = moveToEarlierTakes(path, path, when);
        }
        if (result.replaced.isEmpty()) {
            result.error = errno;
            removeFile(temporary);
            return result;
        }
    }
    if (!step(check, TakeStep::PlaceNew) || !renameNoReplace(temporary, path)) {
        result.error = errno;
        // Put the old take back under the item's name. Should even that fail, the new take stays
        // in its temporary file: both takes are then still on disk.
        if (result.replaced.isEmpty() || renameNoReplace(result.replaced, path)) {
            removeFile(temporary);
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

QString keepAsEarlierTake(const QString& temporary, const QString& path, const QDateTime& started) {
    const QString kept = moveToEarlierTakes(temporary, path, started);
    if (!kept.isEmpty()) {
        syncFolder(QFileInfo(kept).absolutePath());
        syncFolder(QFileInfo(path).absolutePath());
    }
    return kept;
}

SaveResult replaceTakeFile(const QString& path, const void* data, std::size_t bytes,
                           const QDateTime& when, const StepCheck& check,
                           const QString& baseFolder) {
    const TakeBytes whole(static_cast<const std::uint8_t*>(data), bytes);
    return replaceTakeFile(path, std::span(&whole, 1), when, check, baseFolder);
}

SaveResult replaceTakeFile(const QString& path, std::span<const TakeBytes> pieces,
                           const QDateTime& when, const StepCheck& check,
                           const QString& baseFolder) {
    if (path.isEmpty()) {
        return SaveResult{};
    }
    const TemporaryTake temp = writeTakeTemporary(path, pieces, check, baseFolder);
    if (temp.path.isEmpty()) {
        SaveResult result;
        result.error = temp.error;
        return result;
    }
    return placeTakeFile(temp.path, path, when, check);
}

}  // namespace quillar
