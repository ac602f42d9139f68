// The latest frames of a channel as floats (-1..1), for level readings, sample data, the FFT and
// the input level meter. Written by one thread at a time, the one that moves the audio (capture or
// playback), and read by the GUI thread, with no lock: the samples and the count of frames written
// are atomics, so a reader beside the writer sees each sample either old or new (a window a block
// newer at worst), and the writer never waits. A reader of the frames since a cursor checks the
// count again after copying and drops what the writer may have overwritten meanwhile.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/audio_backend.h"

namespace quillar::audio {

// Converts one sample in `type` to -1..1.
float sampleToFloat(const std::uint8_t* p, SampleType type);

class SampleRing {
  public:
    // What the analysis reads at most (latest(), peak()), and a stream's ring.
    static constexpr std::uint32_t kFrames = 2048;
    // A recording channel's ring: about 2.7 s at 48 kHz, so that a window thread held up for a
    // second or two still reads every frame since its last look.
    static constexpr std::uint32_t kCaptureFrames = 1u << 17;

    // `capacity` >= kFrames frames are kept.
    explicit SampleRing(const AudioFormat& format, std::uint32_t capacity = kFrames);

    // Appends raw bytes in the ring's format; a trailing partial frame is ignored.
    void push(const void* data, std::uint32_t bytes);
    // Forgets everything: the ring then reads as silence. Not beside a push().
    void reset();

    // The latest `frames` (<= kFrames) frames, interleaved, oldest first. Frames never written
    // read as silence.
    void latest(float* out, std::uint32_t frames) const;
    // The latest `frames` frames with the channels averaged, oldest first.
    void latestMixed(float* out, std::uint32_t frames) const;
    // Largest magnitude of `channel` over the latest `frames` frames, 0..1 (float data may exceed).
    float peak(std::uint32_t channel, std::uint32_t frames) const;

    // Frames pushed since the ring was made or reset.
    std::uint64_t written() const { return m_written.load(std::memory_order_acquire); }
    // Copies the frames written since `*cursor` (a value of written()), at most `maxFrames`,
    // interleaved, oldest first, into `out`, and moves `*cursor` past them. Frames the ring no
    // longer holds safely are skipped (and counted in `*skipped` when given); a cursor beyond
    // written() (the ring was reset) starts again at written(). Returns the frames copied.
    std::uint32_t readSince(std::uint64_t* cursor, float* out, std::uint32_t maxFrames,
                            std::uint64_t* skipped = nullptr) const;

  private:
    AudioFormat m_format;
    std::uint32_t m_channels;
    std::uint32_t m_capacity;                         // frames
    std::unique_ptr<std::atomic<float>[]> m_samples;  // m_capacity * channels, interleaved
    // Frames pushed so far; frame n sits at n % m_capacity. Stored after the samples it counts.
    std::atomic<std::uint64_t> m_written{0};

    std::uint32_t startOfLatest(std::uint32_t frames) const;
};

}  // namespace quillar::audio
