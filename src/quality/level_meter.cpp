#include "quality/level_meter.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "quality/level_math.h"
#include "quality/quality_limits.h"

namespace quillar::quality {

NoiseClass ClassifyNoise(double dbfs) {
    const double shown = std::round(dbfs * 10.0) / 10.0;
    if (!(shown > kNoiseCheckDbfs)) {
        return NoiseClass::Good;
    }
    return shown <= kNoiseRedoDbfs ? NoiseClass::Check : NoiseClass::Redo;
}

void LevelMeter::restart(std::uint32_t rate, std::uint32_t channels) {
    m_rate = rate;
    m_channels = rate == 0 ? 0 : std::min(channels, kMaxChannels);
    m_stride = channels;
    m_windowFrames = std::max<std::uint32_t>(1, rate * kWindowMs / 1000);
    m_openFrames = 0;
    m_ch = {};
    m_windowDb.clear();
}

void LevelMeter::feed(const float* samples, std::uint32_t frames, std::int64_t nowMs, bool gap) {
    if (m_channels == 0) {
        return;
    }
    if (gap) {
        m_openFrames = 0;
        for (PerChannel& ch : m_ch) {
            ch.sum = ch.squares = 0.0;
        }
    }
    // A wider input than stereo (never opened today) is shown by its first two channels.
    const std::uint32_t stride = m_stride;
    std::array<float, kMaxChannels> peak{};
    for (std::uint32_t f = 0; f < frames; ++f) {
        const float* frame = samples + std::size_t{f} * stride;
        for (std::uint32_t c = 0; c < m_channels; ++c) {
            const float v = std::isfinite(frame[c]) ? frame[c] : 1.0f;
            peak[c] = std::max(peak[c], std::fabs(v));
            m_ch[c].sum += v;
            m_ch[c].squares += double{v} * v;
        }
        if (++m_openFrames == m_windowFrames) {
            closeWindow();
        }
    }
    for (std::uint32_t c = 0; c < m_channels; ++c) {
        m_ch[c].peak = peak[c];
    }
    for (std::uint32_t c = 0; c < m_channels; ++c) {
        PerChannel& ch = m_ch[c];
        if (ch.peak >= ch.hold || nowMs - ch.holdSince >= kPeakHoldMs) {
            ch.hold = ch.peak;
            ch.holdSince = nowMs;
        }
    }
}

// The louder channel stands for the room (a mono microphone may feed only one side), each window
// without its own mean so that a DC offset does not read as noise.
void LevelMeter::closeWindow() {
    double loudest = 0.0;
    const double n = m_openFrames;
    for (std::uint32_t c = 0; c < m_channels; ++c) {
        PerChannel& ch = m_ch[c];
        const double mean = ch.sum / n;
        loudest = std::max(loudest, ch.squares / n - mean * mean);
        ch.sum = ch.squares = 0.0;
    }
    m_openFrames = 0;
    m_windowDb.push_back(toDb(std::sqrt(std::max(0.0, loudest))));
    while (m_windowDb.size() > static_cast<std::size_t>(kNoiseSpanMs / kWindowMs)) {
        m_windowDb.pop_front();
    }
}

double LevelMeter::peakDbfs(std::uint32_t channel) const {
    return channel < m_channels ? toDb(m_ch[channel].peak) : -INFINITY;
}

double LevelMeter::holdDbfs(std::uint32_t channel) const {
    return channel < m_channels ? toDb(m_ch[channel].hold) : -INFINITY;
}

bool LevelMeter::clipping(std::uint32_t channel) const {
    return channel < m_channels && !(m_ch[channel].hold < kFloatFullScale);
}

bool LevelMeter::hasNoiseFloor() const {
    return m_channels > 0 && m_windowDb.size() >= static_cast<std::size_t>(kNoiseMinWindows);
}

double LevelMeter::noiseFloorDbfs() const {
    return percentile(std::vector<double>(m_windowDb.begin(), m_windowDb.end()), kNoisePercentile);
}

}  // namespace quillar::quality
