// The RIFF/WAVE layout of every recording Quillar writes: a 44-byte header (one 16-byte "fmt "
// chunk, then the "data" chunk), then the samples, with nothing after them. Little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillar {

class RecordBuffer;

inline constexpr std::size_t kWavHeaderBytes = 44;

// The 44 header bytes for `dataLength` bytes of `channels`-channel samples of `bits` bits
// (32 = IEEE float, format tag 3; else PCM, format tag 1, 24 bits packed in 3 bytes) at `rate` Hz.
std::array<std::uint8_t, kWavHeaderBytes> wavHeaderBytes(std::uint32_t dataLength,
                                                         std::uint32_t rate, std::uint16_t bits,
                                                         std::uint16_t channels);

// Turns the captured data in `buffer` into the WAV image in place (GUI thread, no capture). Does
// nothing on an empty buffer.
void BuildWavImage(RecordBuffer& buffer, std::uint32_t rate, std::uint16_t bits,
                   std::uint16_t channels);

}  // namespace quillar
