// The memory calls Quillar makes, behind the same seam as the file calls: reserving a large
// region without committing it, committing pages ahead of their use, giving pages back, and how
// much memory the system can still give. Any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace quillar::platform {

std::size_t pageSize();
// Address space for `bytes`, readable and writable, that takes memory only as pages are touched;
// nullptr when the system will not give it (a 32-bit address space, strict overcommit).
void* reserveRegion(std::size_t bytes);
void releaseRegion(void* base, std::size_t bytes);
// Faults the pages of [at, at + bytes) in now, so that a later writer does not; does nothing on a
// system that cannot.
void commitAhead(void* at, std::size_t bytes);
// The pages of [at, at + bytes) go back to the system; they read as zeros when touched again.
void returnPages(void* at, std::size_t bytes);

// MemAvailable of /proc/meminfo in bytes; nothing when it cannot be read. Allocates nothing.
std::optional<std::uint64_t> availableMemoryBytes();
// The MemAvailable line of a /proc/meminfo text, in bytes.
std::optional<std::uint64_t> parseMemAvailable(std::string_view meminfo);

}  // namespace quillar::platform
