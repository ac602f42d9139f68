// Where the speech lies in a take, by one definition that the window's annotations, the exports
// and quillar-check all use, so that a word marked in one is the word marked in the others.
// Pure arithmetic over the sums of 10 ms frames; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "quality/window_levels.h"

namespace quillar::quality {

// Frames [begin, end) of the take; empty when the take holds no speech.
struct SpeechInterval {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;

    bool found() const { return end > begin; }
    double beginSeconds(std::uint32_t rate) const { return rate ? double(begin) / rate : 0.0; }
    double endSeconds(std::uint32_t rate) const { return rate ? double(end) / rate : 0.0; }
    bool operator==(const SpeechInterval&) const = default;
};

// Frames in one speech frame (kSpeechFrameMs) at `rate` Hz (at least one).
std::uint32_t SpeechFramesAt(std::uint32_t rate);

// The speech of a take of `totalFrames` frames at `rate` Hz whose 10 ms frame sums are `frames`
// followed by `tail` (channel by channel within a frame, oldest first; every frame full but the
// last, which holds what is left of `totalFrames`; `tail` is the frame still open, or empty, so
// that a long take's frames need no copy to be judged). `channel` and `mean` are the loudest
// channel and its mean, in the sums' units, which `scale` turns into fractions of full scale;
// `noiseDbfs` is the take's noise. The frames of that channel at least kSpeechAboveNoiseDb above
// the noise and above kSpeechFloorDbfs, first to last, widened by kSpeechMarginMs and bounded by
// the take.
SpeechInterval SpeechIntervalOf(std::span<const WindowSums> frames,
                                std::span<const WindowSums> tail, std::size_t channels,
                                std::size_t channel, double mean, double scale,
                                std::uint64_t totalFrames, std::uint32_t rate, double noiseDbfs);

}  // namespace quillar::quality
