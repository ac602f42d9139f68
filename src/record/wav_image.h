// The RIFF/WAVE layout of every recording Quillar writes: a 44-byte header, then the data.
#pragma once

#include <array>
#include <cstdint>

namespace quillar {

class RecordBuffer;

inline constexpr std::size_t kWavHeaderBytes = 44;

// The 44 header bytes for `dataLength` bytes of `channels`-channel samples of `bits` bits
// (32 = IEEE float, else PCM) at `rate` Hz.
std::array<std::uint8_t, kWavHeaderBytes> wavHeaderBytes(std::uint32_t dataLength,
                                                         std::uint32_t rate, std::uint16_t bits,
                                                         std::uint16_t channels);

// Turns the captured data in `buffer` into the WAV image in place (GUI thread, no capture).
void BuildWavImage(RecordBuffer& buffer, std::uint32_t rate, std::uint16_t bits,
                   std::uint16_t channels);

}  // namespace quillar
