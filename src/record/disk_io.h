// Small POSIX file helpers for the take's journal and its recovery: whole writes and copies that
// retry short transfers, and flushing a folder so that a new name in it survives a power loss.
// Any thread.
#pragma once

#include <QString>
#include <cstdint>

namespace quillar {

// Writes all `count` bytes at `offset`; false on any error.
bool writeAllAt(int fd, const std::uint8_t* bytes, std::uint64_t count, std::uint64_t offset);
// Copies `count` bytes from `in` at `inOffset` to `out` at `outOffset`, in the kernel where it
// can; false on any error or when `in` ends early.
bool copyAllAt(int in, std::uint64_t inOffset, int out, std::uint64_t outOffset,
               std::uint64_t count);
// fsync of the folder itself, for the names made or removed in it.
void syncFolder(const QString& folder);

}  // namespace quillar
