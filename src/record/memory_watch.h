// How much memory the system can still give, for stopping a take before the machine runs out.
// The record buffer's region is reserved without committing memory, so running out during a
// very long take would kill the process; the take's journal thread reads this about twice a
// second and has the take stopped first. Any thread.
#pragma once

#include <cstdint>

#include "platform/memory.h"

namespace quillar {

// Memory a take stops short of (bytes): room for the stop, a save and the rest of the desktop.
inline constexpr std::uint64_t kLowMemoryMarginBytes = std::uint64_t{256} << 20;

using platform::availableMemoryBytes;
using platform::parseMemAvailable;

}  // namespace quillar
