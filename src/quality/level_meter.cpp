#include "quality/level_meter.h"

#include <algorithm>
#include <cmath>

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
    m_windowFrames = WindowFramesAt(rate);
    m_openFrames = 0;
    m_ch = {};
    m_windows.clear();
    m_noiseDbfs = -INFINITY;
}

void LevelMeter::feed(const float* samples, std::uint32_t frames, std::int64_t nowMs, bool gap) {
    if (m_channels == 0) {
        return;
    }
    if (gap) {
        m_openFrames = 0;
        for (PerChannel& ch : m_ch) {
            ch.open = {};
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
            m_ch[c].open.sum += v;
            m_ch[c].open.squares += double{v} * v;
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

void LevelMeter::closeWindow() {
    for (std::uint32_t c = 0; c < m_channels; ++c) {
        m_windows.push_back(m_ch[c].open);
        m_ch[c].open = {};
    }
    m_openFrames = 0;
    const std::size_t kept = static_cast<std::size_t>(kNoiseSpanMs / kWindowMs) * m_channels;
    if (m_windows.size() > kept) {
        m_windows.erase(m_windows.begin(),
                        m_windows.begin() + static_cast<std::ptrdiff_t>(m_windows.size() - kept));
    }
    // 20 times a second over 60 windows: cheap enough to work out whole each time.
    m_noiseDbfs =
        NoiseDbfsOf(LevelsOfWindows(m_windows, m_channels, m_windowFrames, m_windowFrames, 1.0).db);
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
    return m_channels > 0 &&
           m_windows.size() >= static_cast<std::size_t>(kNoiseMinWindows) * m_channels;
}

double LevelMeter::noiseFloorDbfs() const {
    return m_noiseDbfs;
}

}  // namespace quillar::quality
