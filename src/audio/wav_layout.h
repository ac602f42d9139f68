// Where the audio lies in a WAV file or image, in which format it is stored and in which format a
// device plays it: what a stream needs to play a recording in place, and why one cannot be played.
#pragma once

#include <cstdint>
#include <functional>

#include "audio/audio_backend.h"

namespace quillar::audio {

// How the samples are stored when a device does not play them as they are; the stream converts
// them as it plays.
enum class StoredSample : std::uint8_t {
    AsPlayed,  // played byte for byte in WavLayout::format
    S24,       // signed 24-bit little-endian, played as S32
    F64,       // 64-bit IEEE float little-endian, played as F32
};

// The highest rate a recording is played or written at: a header claiming more is no recording.
inline constexpr std::uint32_t kMaxWavRate = 384000;

enum class WavVerdict : std::uint8_t {
    Playable,
    NotWav,       // no RIFF/WAVE signature
    Damaged,      // a WAV whose "fmt " or "data" chunk is missing or cut short
    Unsupported,  // a sample format, channel count or rate that is not played
};

struct WavLayout {
    AudioFormat format;  // what the device plays
    StoredSample stored = StoredSample::AsPlayed;
    std::uint32_t storedFrameBytes = 0;  // bytes of one frame in the file
    std::uint64_t dataOffset = 0;        // bytes from the start of the file
    std::uint64_t dataBytes = 0;         // of the file, whole stored frames only
    // As the file has them, for telling the user what a file holds (set as far as read).
    std::uint16_t formatTag = 0;  // the sub-format's tag for an extensible "fmt "
    std::uint16_t bits = 0;       // bits per sample (container size)
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint32_t byteRate = 0;           // the "fmt " chunk's bytes per second
    std::uint32_t declaredDataBytes = 0;  // the "data" chunk's size field, whatever the file holds

    // Bytes a device plays for the file's `storedBytes` bytes of data.
    std::uint64_t playedBytes(std::uint64_t storedBytes) const {
        return storedBytes / storedFrameBytes * format.bytesPerFrame();
    }
};

// Reads up to `n` bytes at offset `at` into `out`; returns how many it got (fewer at the end).
using WavReader = std::function<std::uint64_t(std::uint64_t at, void* out, std::uint64_t n)>;

// Reads a RIFF/WAVE file of `length` bytes through `read`: PCM 8/16/24/32-bit or 32/64-bit
// float (plain or extensible "fmt "), 1..8 channels. The "data" chunk is found by walking the
// chunks, so files with extra chunks play too. A data size beyond the file (a recording cut
// short) is clipped to what is there. `layout` is filled as far as the file was read.
WavVerdict readWavLayout(const WavReader& read, std::uint64_t length, WavLayout* layout);

// The same over an image in memory; true when it is playable.
bool parseWavLayout(const void* image, std::uint64_t length, WavLayout* layout);

// Converts `frames` frames of `layout`'s stored samples at `in` into the played format at `out`
// (for AsPlayed a plain copy). GUI or playback thread; touches nothing but the two buffers.
void convertStoredFrames(const WavLayout& layout, const void* in, void* out, std::uint64_t frames);

}  // namespace quillar::audio
