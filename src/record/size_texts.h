// The texts of the status strip: whole seconds as hh:mm:ss and byte counts as short size texts.
#pragma once

#include <QString>
#include <cstdint>

namespace quillar {

// Whole seconds as "hh:mm:ss", whole days dropped; negative gives "00:00:00". Any thread.
QString FormatHms(std::int32_t seconds);
// A byte count as the desktop's short size text: below 1024 "N 字节"; otherwise three
// significant digits, truncated, in KB, MB, GB, TB, PB or EB of 1024 ("1.30 KB", "22.9 KB",
// "2.28 MB", "2.23 GB"). A value that would need four digits moves to the next unit
// (1048575 -> "0.99 MB"). Any thread.
QString FormatByteSize(std::uint64_t bytes);

}  // namespace quillar
