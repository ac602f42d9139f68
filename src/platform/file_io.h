// The file-system calls Quillar makes, behind one seam: everything above this layer names files
// by QString and descriptors by FileHandle (or the calls on descriptors of descriptor_io.h), and
// never includes a system header. A port to another
// system is another implementation of this file. A failing call returns false (or an invalid
// handle) and leaves the system's error code in errno, which SaveErrorText and the like turn
// into words. Any thread; nothing here keeps state.
#pragma once

#include <QSet>
#include <QString>
#include <cstdint>
#include <optional>

#include "platform/descriptor_io.h"

namespace quillar::platform {

// An open file that closes itself. Move-only.
class FileHandle {
  public:
    FileHandle() = default;
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept : m_fd(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    bool valid() const { return m_fd >= 0; }
    explicit operator bool() const { return valid(); }
    int fd() const { return m_fd; }
    // The descriptor passes to the caller, who closes it (with FileHandle(fd) or closeFile).
    int release();
    // Closes now; false when the close reported an error (for files just written: a lost write).
    bool close();

  private:
    int m_fd = -1;
};


FileHandle openForReading(const QString& path);
// A new file that must not exist yet (fails with EEXIST otherwise), write-only.
FileHandle createNewFile(const QString& path, unsigned mode = 0666);
// For appending, made when missing.
FileHandle openForAppending(const QString& path, unsigned mode = 0644);

// The names made or removed in `folder` on the disk. Best effort.
void syncFolder(const QString& folder);
// Whether the open file is still the one named `path` (not removed, not replaced).
bool stillNamed(int fd, const QString& path);

// What lstat tells of a path.
struct PathInfo {
    bool exists = false;
    bool isFolder = false;
    bool isFile = false;  // a regular file
    unsigned mode = 0;    // permission bits
};
PathInfo pathInfo(const QString& path);

// Renames without replacing anything: fails with EEXIST when `to` exists. File systems without
// an atomic way get a check first, which is enough for one user.
bool renameNoReplace(const QString& from, const QString& to);
// Renames, replacing what stands at `to`.
bool renameReplacing(const QString& from, const QString& to);
bool removeFile(const QString& path);
// A folder (not its parents); true when it exists afterwards.
bool makeFolder(const QString& path);
// Whether the folder exists and this user may make files in it.
bool folderWritable(const QString& folder);

// What one name in a folder may be.
struct NameLimits {
    int nameMax = 255;         // bytes
    unsigned long fsType = 0;  // the file system's magic number; 0 when unknown
};
NameLimits nameLimitsOf(const QString& folder);

// The names of the plain files (and links) in `folder`, in one listing with no stat per name;
// empty when it cannot be read.
QSet<QString> plainFileNamesIn(const QString& folder);

// This process's id, for names no other running copy makes.
long processId();

}  // namespace quillar::platform
