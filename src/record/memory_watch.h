// How much memory the system can still give, for stopping a take before the machine runs out.
// The record buffer's region is reserved without committing memory, so running out during a
// very long take would kill the process; the take's journal thread reads this about twice a
// second and has the take stopped first. Any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace quillar {

// Memory a take stops short of (bytes): room for the stop, a save and the rest of the desktop.
inline constexpr std::uint64_t kLowMemoryMarginBytes = std::uint64_t{256} << 20;

// MemAvailable of /proc/meminfo in bytes; nothing when it cannot be read.
std::optional<std::uint64_t> availableMemoryBytes();
// The MemAvailable line of a /proc/meminfo text, in bytes.
std::optional<std::uint64_t> parseMemAvailable(std::string_view meminfo);

}  // namespace quillar
