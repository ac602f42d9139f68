// The RIFF/WAVE layout of every recording Quillar writes: the "fmt " chunk, the "data" chunk, the
// samples and, when their byte count is odd, the pad byte RIFF ends a chunk with. PCM takes the
// plain 44-byte header; IEEE float, as the WAV rules ask of data that is not PCM, an 18-byte
// "fmt " (extension size 0) and a "fact" chunk with the frame count: 58 bytes. Little-endian.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quillar {

class RecordBuffer;

// Header bytes of a PCM file and of a float file.
inline constexpr std::size_t kWavHeaderBytes = 44;
inline constexpr std::size_t kFloatWavHeaderBytes = 58;

// One header: its bytes and how many of them there are.
struct WavHeader {
    std::array<std::uint8_t, kFloatWavHeaderBytes> bytes{};
    std::size_t length = 0;

    const std::uint8_t* data() const { return bytes.data(); }
    std::size_t size() const { return length; }
    const std::uint8_t* begin() const { return bytes.data(); }
    const std::uint8_t* end() const { return bytes.data() + length; }
    std::span<const std::uint8_t> view() const { return {bytes.data(), length}; }
};

// The header length for samples of `bits` bits (32 = IEEE float).
std::size_t wavHeaderSize(std::uint16_t bits);
// Bytes after `dataLength` bytes of samples: the pad byte of an odd-sized chunk, or none.
inline std::size_t wavPadBytes(std::uint64_t dataLength) {
    return static_cast<std::size_t>(dataLength & 1u);
}

// The header for `dataLength` bytes of `channels`-channel samples of `bits` bits (32 = IEEE
// float, format tag 3; else PCM, format tag 1, 24 bits packed in 3 bytes) at `rate` Hz, with the
// RIFF size counting the pad byte that follows an odd `dataLength`.
WavHeader wavHeaderBytes(std::uint32_t dataLength, std::uint32_t rate, std::uint16_t bits,
                         std::uint16_t channels);

// Turns the captured data in `buffer` into the WAV image in place, its pad byte included (GUI
// thread, no capture). Does nothing on an empty buffer.
void BuildWavImage(RecordBuffer& buffer, std::uint32_t rate, std::uint16_t bits,
                   std::uint16_t channels);

}  // namespace quillar
