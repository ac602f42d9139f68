// Helpers shared by the audio tests.
#pragma once

#include <cstdint>
#include <vector>

namespace quillar::audio::test {

// A canonical 44-byte-header WAV image (PCM tag; float callers patch the tag) around `data`.
inline std::vector<std::uint8_t> wavImage(std::uint32_t rate, std::uint16_t channels,
                                          std::uint16_t bits,
                                          const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out;
    auto put = [&out](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    };
    auto tag = [&out](const char* t) { out.insert(out.end(), t, t + 4); };
    const std::uint32_t align = channels * bits / 8u;
    tag("RIFF");
    put(36 + static_cast<std::uint32_t>(data.size()), 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);
    put(channels, 2);
    put(rate, 4);
    put(rate * align, 4);
    put(align, 2);
    put(bits, 2);
    tag("data");
    put(static_cast<std::uint32_t>(data.size()), 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

}  // namespace quillar::audio::test
