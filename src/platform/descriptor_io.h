// Calls on open descriptors, behind the platform seam and free of Qt, so that the audio engine can
// use them too. A failing call returns false (or -1) and leaves the system's error code in errno.
// Any thread; nothing here keeps state.
#pragma once

#include <cstdint>
#include <optional>

namespace quillar::platform {

bool closeFile(int fd);
// A file opened for reading by its name in the system's encoding; -1 when it cannot be.
int openReadOnly(const char* nativePath);

// Writes all `count` bytes at the file's position; retries short writes and interruptions.
bool writeAll(int fd, const void* bytes, std::uint64_t count);
// Writes all `count` bytes at `offset`.
bool writeAllAt(int fd, const void* bytes, std::uint64_t count, std::uint64_t offset);
// Reads up to `count` bytes at `offset` in one call; how many it got (fewer at the end), or -1.
std::int64_t readAt(int fd, void* out, std::uint64_t count, std::uint64_t offset);
// Reads `count` bytes at `offset`, going on after short reads; fewer only at the end of the file
// or on an error.
std::uint64_t readFullyAt(int fd, void* out, std::uint64_t count, std::uint64_t offset);
// Copies `count` bytes between two files at their offsets, in the kernel where it can; false on
// any error or when `in` ends early.
bool copyAllAt(int in, std::uint64_t inOffset, int out, std::uint64_t outOffset,
               std::uint64_t count);
// The file's data (not every piece of its metadata) on the disk.
bool syncData(int fd);
// The reads will go front to back: a hint for the kernel's read-ahead.
void adviseSequential(int fd);
// An exclusive lock on the whole file, without waiting; false when another holds it.
bool lockExclusive(int fd);
// Bytes in the open file, or nothing.
std::optional<std::uint64_t> sizeOf(int fd);
// Which file an open descriptor is, how long and when it last changed: equal states mean the file
// was not written in between, whoever might have written it.
struct FileState {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileState&) const = default;
};
std::optional<FileState> stateOf(int fd);
// Bytes in the open file when it is a regular file (not a folder, device or pipe), or nothing.
std::optional<std::uint64_t> regularFileSize(int fd);

}  // namespace quillar::platform
