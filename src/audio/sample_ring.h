// The latest frames of a channel as floats (-1..1), for level readings, sample data and the FFT.
// Written by one thread at a time, the one that moves the audio (capture or playback), and read by
// the GUI thread, with no lock: the samples and the write position are atomics, so a reader
// beside the writer sees each sample either old or new (a window a block newer at worst), and the
// writer never waits.
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
    static constexpr std::uint32_t kFrames = 2048;

    explicit SampleRing(const AudioFormat& format);

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

  private:
    AudioFormat m_format;
    std::uint32_t m_channels;
    std::unique_ptr<std::atomic<float>[]> m_samples;  // kFrames * channels, interleaved
    std::atomic<std::uint32_t> m_head{0};             // frame index of the next write
};

}  // namespace quillar::audio
