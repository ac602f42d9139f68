// The input level meter's figures, before and during a take: the peak of each channel with a
// hold of about 1.5 s, and the room's noise floor, the 10th percentile of the RMS of the 50 ms
// windows of the last 3 s by the judgement's own rule (quality/window_levels.h), so that the
// meter and a take's noise figure agree on the same audio. Fed the audio captured since its last
// look, with the time of the look from any steady clock (tests choose it). No widget; GUI thread
// only (one owner, no lock).
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "quality/window_levels.h"

namespace quillar::quality {

// How long a peak stays marked before the mark falls to the current peak, in ms.
inline constexpr std::int64_t kPeakHoldMs = 1500;
// The span the noise floor is taken over, in ms.
inline constexpr int kNoiseSpanMs = 3000;
// Windows needed before the noise floor is shown: half a second, so that a device's first
// moments alone do not stand for the room.
inline constexpr int kNoiseMinWindows = 10;

// The noise floor against the survey limits: good at or below -60 dBFS, to be checked up to
// -48, too noisy above.
enum class NoiseClass { Good, Check, Redo };
// Judged on the figure as shown (rounded to 0.1 dB), so that the colour and the number agree.
NoiseClass ClassifyNoise(double dbfs);

class LevelMeter {
  public:
    static constexpr std::uint32_t kMaxChannels = 2;

    // Forgets everything and starts on audio of `rate` Hz with `channels` channels; 0 channels
    // (no input) leaves the meter empty.
    void restart(std::uint32_t rate, std::uint32_t channels);
    // Interleaved samples (-1..1) of `frames` frames captured since the last feed, looked at
    // at `nowMs`. `gap`: audio was lost before these, so no noise window spans it.
    void feed(const float* samples, std::uint32_t frames, std::int64_t nowMs, bool gap = false);

    std::uint32_t channels() const { return m_channels; }
    std::uint32_t rate() const { return m_rate; }
    // The peak of the latest feed, dBFS; -infinity for silence, a feed without audio (a paused
    // input) or no input.
    double peakDbfs(std::uint32_t channel) const;
    // The highest peak of the last ~1.5 s, dBFS.
    double holdDbfs(std::uint32_t channel) const;
    // The held peak reached full scale.
    bool clipping(std::uint32_t channel) const;
    // Whether enough windows have passed for a noise floor, and the figure in dBFS (-infinity for
    // digital silence).
    bool hasNoiseFloor() const;
    double noiseFloorDbfs() const;

  private:
    struct PerChannel {
        float peak = 0.0f;
        float hold = 0.0f;
        std::int64_t holdSince = 0;
        WindowSums open;  // the open noise window
    };
    std::uint32_t m_rate = 0;
    std::uint32_t m_channels = 0;  // shown
    std::uint32_t m_stride = 0;    // in the audio fed
    std::uint32_t m_windowFrames = 0;
    std::uint32_t m_openFrames = 0;  // frames in the open noise window
    std::array<PerChannel, kMaxChannels> m_ch{};
    // The last kNoiseSpanMs of closed windows, oldest first, channel by channel within a window.
    std::vector<WindowSums> m_windows;
    double m_noiseDbfs = -INFINITY;  // of m_windows

    void closeWindow();
};

}  // namespace quillar::quality
