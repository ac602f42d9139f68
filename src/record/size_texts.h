// The texts of the status strip: whole seconds as hh:mm:ss and byte counts as short size texts.
#pragma once

#include <QString>
#include <cstdint>

namespace quillar {

// Whole seconds as "hh:mm:ss", whole days dropped; negative gives "00:00:00".
QString FormatHms(std::int32_t seconds);
// A byte count as "532 字节", "1.30 KB", "22.9 KB", "2.28 MB", "2.23 GB".
QString FormatByteSize(std::uint64_t bytes);

}  // namespace quillar
