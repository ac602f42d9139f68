// Putting a new take file where an older one stands without destroying the older one: it moves
// into the folder of earlier takes beside it. Used by the saves; any one thread at a time (it only
// touches the file system).
#pragma once

#include <QDateTime>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace quillar {

// The folder, beside an item's file, that receives the takes replaced by later saves. With the
// Enter loop that is inside the auto-save folder.
inline const QString kEarlierTakesFolder = QStringLiteral("早前录音");

// What a save did. `replaced` is the path the file that stood at the target now has (in the
// earlier-takes folder), or empty when the target did not exist.
struct SaveResult {
    bool written = false;
    QString replaced;
    int error = 0;  // errno of the step that failed, for the message; 0 when written
    explicit operator bool() const { return written; }
};

// The steps of a replacement, in their order. A test's StepCheck may refuse one, which then fails
// as if the system had refused it.
enum class TakeStep {
    WriteTemporary,  // the new take written beside the target and flushed to disk
    MoveEarlier,     // the file at the target renamed into the earlier-takes folder
    PlaceNew,        // the new take renamed to the target
};
using StepCheck = std::function<bool(TakeStep)>;

// Writes `bytes` at `data` to `path`: first to a temporary file in the same folder (fdatasync),
// then the file at `path`, if any, is renamed into kEarlierTakesFolder beside it under
// earlierTakeName(file name, `when`), then the temporary file is renamed to `path` and the folders
// are flushed. Whatever fails, the old or the new take stands at `path` and nothing is
// overwritten; a failure before the new take is in place leaves everything as it was, apart from
// subfolders already made. With `baseFolder`, the auto-save folder `path` lies below, the
// subfolders missing between the two are made first (MakeRecordingFolders); without it, the
// file's folder must exist.
SaveResult replaceTakeFile(const QString& path, const void* data, std::size_t bytes,
                           const QDateTime& when, const StepCheck& check = {},
                           const QString& baseFolder = {});
// A run of a take file's bytes. A file written from several runs holds them one after the other,
// so a header made apart from the samples needs no copy of them.
using TakeBytes = std::span<const std::uint8_t>;
// replaceTakeFile of the runs in `pieces`, in their order.
SaveResult replaceTakeFile(const QString& path, std::span<const TakeBytes> pieces,
                           const QDateTime& when, const StepCheck& check = {},
                           const QString& baseFolder = {});

// replaceTakeFile in two halves, for a save whose slow writing runs on one thread and whose
// placing runs on another, where the decision about the file at `path` is made.
// The first: the temporary file beside `path`, written and flushed, with the subfolders below
// `baseFolder` made as replaceTakeFile makes them; `error` set when there is none (nothing but
// those subfolders is left behind then).
struct TemporaryTake {
    QString path;
    int error = 0;
};
TemporaryTake writeTakeTemporary(const QString& path, const void* data, std::size_t bytes,
                                 const StepCheck& check = {}, const QString& baseFolder = {});
TemporaryTake writeTakeTemporary(const QString& path, std::span<const TakeBytes> pieces,
                                 const StepCheck& check = {}, const QString& baseFolder = {});
// The second: the temporary put in place at `path`, the file that stood there moved into the
// earlier takes first. On failure the temporary is gone unless it is the only place the new
// take still is (the old one could not be put back).
SaveResult placeTakeFile(const QString& temporary, const QString& path, const QDateTime& when,
                         const StepCheck& check = {});
// The other way to place it, when the file at `path` holds a newer take: the temporary moves
// into the earlier-takes folder beside `path` under the name of a take begun at `started`, and
// the file at `path` is not touched. Where it went, or empty (errno set; the temporary stays).
QString keepAsEarlierTake(const QString& temporary, const QString& path, const QDateTime& started);

// Name of the earlier take of `fileName` replaced at `when` (local time, to the second):
// "词.wav" -> "词.20261209-011530.wav"; `attempt` > 1 adds "-<attempt>" after the time, for a
// name already taken. A name longer than `nameMax` bytes keeps the longest start of the item's
// name that fits, with a hash of the whole name (naming/recording_names.h).
QString earlierTakeName(const QString& fileName, const QDateTime& when, int attempt,
                        int nameMax = 255);
// Why a save failed, in words for a message: "文件夹不存在", "磁盘空间不足", ...
QString SaveErrorText(int error);

}  // namespace quillar
