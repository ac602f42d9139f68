// The one rule for the levels of 50 ms windows, which the take's judgement and the live level
// meter both apply, so that the meter's noise floor and a take's noise figure agree on the same
// audio: each window's RMS taken around the channel's mean, on the channel with the higher RMS,
// and the noise the 10th percentile of those. Any thread; pure arithmetic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillar::quality {

// Frames in one analysis window at `rate` Hz (at least one).
std::uint32_t WindowFramesAt(std::uint32_t rate);

// The sums of one channel's samples over one window, in the caller's sample units.
struct WindowSums {
    double sum = 0.0;
    double squares = 0.0;
};

struct WindowLevels {
    std::size_t channel = 0;  // the channel with the higher RMS around its mean
    double mean = 0.0;        // that channel's mean over all the windows, in sample units
    std::vector<double> db;   // each window's RMS around that mean, dBFS; -inf for silence
};

// `windows`: channel by channel within a window, oldest window first. Every window holds
// `windowFrames` frames but the last, which holds `lastFrames` (a short tail). `scale` turns the
// sample units into fractions of full scale.
WindowLevels LevelsOfWindows(std::span<const WindowSums> windows, std::size_t channels,
                             std::uint32_t windowFrames, std::uint32_t lastFrames, double scale);

// The noise of windows' levels: their 10th percentile, dBFS; -inf without windows.
double NoiseDbfsOf(const std::vector<double>& windowDb);

}  // namespace quillar::quality
