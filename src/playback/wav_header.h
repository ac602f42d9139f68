// The 44-byte WAV header as one record, read field by field from a recording file. Nothing is
// validated here: the waveform view decides what it can draw from what it finds.
#pragma once

#include <QByteArrayView>
#include <array>
#include <cstdint>

class QIODevice;

namespace quillar {

// All fields as stored at their canonical offsets, little-endian, signed. Fields that lie beyond
// the end of a short file are 0 (ids are four zero bytes).
struct WavHeader {
    struct Riff {
        std::array<char, 4> chunk_id{};   // "RIFF" in our files
        std::int32_t chunk_size = 0;      // file length - 8
        std::array<char, 4> form_type{};  // "WAVE"
    };
    struct Fmt {
        std::array<char, 4> chunk_id{};  // "fmt "
        std::int32_t chunk_size = 0;     // 16 in our files, 18 with an extension-size field
        std::int16_t format_tag = 0;     // 1 PCM, 3 IEEE float
        std::int16_t channels = 0;
        std::int32_t sample_rate = 0;  // Hz
        std::int32_t byte_rate = 0;    // bytes per second
        std::int16_t block_align = 0;  // bytes per frame
        std::int16_t bits_per_sample = 0;
    };
    struct Data {
        std::array<char, 4> chunk_id{};  // "data" when the fmt chunk is 16 bytes long
        std::int32_t chunk_size = 0;     // bytes of samples
    };
    Riff riff;
    Fmt fmt;
    Data data;

    bool dataIdAt36() const;  // bytes 36-39 read "data"
};

inline constexpr int kWavHeaderSize = 44;  // bytes

// Fills a header from the first 44 bytes of `bytes` (fewer bytes leave the rest 0). Any thread.
WavHeader ReadWavHeader(QByteArrayView bytes);
// Reads the first 44 bytes of an open file: seeks to 0 and leaves the position behind what was
// read (the caller repositions before reading on). A file that cannot be read gives all zeros.
WavHeader ReadWavHeader(QIODevice& file);

}  // namespace quillar
