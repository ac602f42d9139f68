#include "audio/sample_packing.h"

namespace quillar::audio {

void packS32ToS24(const void* in, void* out, std::uint64_t samples) {
    const auto* src = static_cast<const std::uint8_t*>(in);
    auto* dst = static_cast<std::uint8_t*>(out);
    for (std::uint64_t i = 0; i < samples; ++i, src += 4, dst += 3) {
        dst[0] = src[1];
        dst[1] = src[2];
        dst[2] = src[3];
    }
}

void widenS24ToS32(const void* in, void* out, std::uint64_t samples) {
    const auto* src = static_cast<const std::uint8_t*>(in);
    auto* dst = static_cast<std::uint8_t*>(out);
    for (std::uint64_t i = 0; i < samples; ++i, src += 3, dst += 4) {
        dst[0] = 0;
        dst[1] = src[0];
        dst[2] = src[1];
        dst[3] = src[2];
    }
}

}  // namespace quillar::audio
