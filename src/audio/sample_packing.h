// Packed 24-bit samples and the 32-bit samples devices use in their place: no sound device API
// we use takes 3-byte samples, so 24-bit audio is captured and played as 32-bit and packed or
// widened as it passes; and the reading of one packed sample. Any thread; touches nothing but the
// two buffers (no allocation), so the capture and playback callbacks may call it.
#pragma once

#include <cstdint>

namespace quillar::audio {

// The packed signed 24-bit little-endian sample at `p`: -8388608..8388607. The one reader of a
// 3-byte sample, for everyone who looks at 24-bit audio.
inline std::int32_t readS24(const std::uint8_t* p) {
    // Into the top of an int32, so that the shift back extends the sign.
    const std::uint32_t u =
        std::uint32_t{p[0]} << 8 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 24;
    return static_cast<std::int32_t>(u) >> 8;
}

// `samples` signed 32-bit little-endian samples at `in` to their top 24 bits, 3 bytes each, at
// `out`. The low byte is dropped, not rounded: rounding would carry full scale over the top.
void packS32ToS24(const void* in, void* out, std::uint64_t samples);

// `samples` packed 24-bit samples at `in` to 32-bit at `out`, in the top three bytes: full scale
// stays full scale.
void widenS24ToS32(const void* in, void* out, std::uint64_t samples);

}  // namespace quillar::audio
