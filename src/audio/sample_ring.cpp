#include "audio/sample_ring.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quillar::audio {

float sampleToFloat(const std::uint8_t* p, SampleType type) {
    switch (type) {
        case SampleType::U8:
            return (static_cast<float>(*p) - 128.0f) / 128.0f;
        case SampleType::S16: {
            std::int16_t v;
            std::memcpy(&v, p, sizeof v);
            return static_cast<float>(v) / 32768.0f;
        }
        case SampleType::S24: {
            // Into the top of an int32, so that the shift back extends the sign.
            const std::uint32_t u =
                std::uint32_t{p[0]} << 8 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 24;
            return static_cast<float>(static_cast<std::int32_t>(u) >> 8) / 8388608.0f;
        }
        case SampleType::S32: {
            std::int32_t v;
            std::memcpy(&v, p, sizeof v);
            return static_cast<float>(static_cast<double>(v) / 2147483648.0);
        }
        case SampleType::F32: {
            float v;
            std::memcpy(&v, p, sizeof v);
            return std::isfinite(v) ? v : 0.0f;
        }
    }
    return 0.0f;
}

SampleRing::SampleRing(const AudioFormat& format)
    : m_format(format),
      m_channels(std::max<std::uint32_t>(1, format.channels)),
      m_samples(std::make_unique<std::atomic<float>[]>(std::size_t{kFrames} * m_channels)) {
    reset();
}

void SampleRing::push(const void* data, std::uint32_t bytes) {
    const std::uint32_t frameBytes = m_format.bytesPerFrame();
    const std::uint32_t sampleBytes = m_format.bytesPerSample();
    if (frameBytes == 0) {
        return;
    }
    std::uint32_t frames = bytes / frameBytes;
    const auto* p = static_cast<const std::uint8_t*>(data);
    // Only the last kFrames frames can survive; skip the rest.
    if (frames > kFrames) {
        p += std::size_t{frames - kFrames} * frameBytes;
        frames = kFrames;
    }
    std::uint32_t head = m_head.load(std::memory_order_relaxed);
    for (std::uint32_t f = 0; f < frames; ++f) {
        std::atomic<float>* dst = &m_samples[std::size_t{head} * m_channels];
        for (std::uint32_t c = 0; c < m_channels; ++c) {
            dst[c].store(sampleToFloat(p, m_format.type), std::memory_order_relaxed);
            p += sampleBytes;
        }
        head = (head + 1) % kFrames;
    }
    m_head.store(head, std::memory_order_release);
}

void SampleRing::reset() {
    for (std::size_t i = 0; i < std::size_t{kFrames} * m_channels; ++i) {
        m_samples[i].store(0.0f, std::memory_order_relaxed);
    }
    m_head.store(0, std::memory_order_release);
}

void SampleRing::latest(float* out, std::uint32_t frames) const {
    frames = std::min(frames, kFrames);
    const std::uint32_t start =
        (m_head.load(std::memory_order_acquire) + kFrames - frames) % kFrames;
    for (std::uint32_t f = 0; f < frames; ++f) {
        const std::atomic<float>* src = &m_samples[std::size_t{(start + f) % kFrames} * m_channels];
        for (std::uint32_t c = 0; c < m_channels; ++c) {
            out[std::size_t{f} * m_channels + c] = src[c].load(std::memory_order_relaxed);
        }
    }
}

void SampleRing::latestMixed(float* out, std::uint32_t frames) const {
    frames = std::min(frames, kFrames);
    const std::uint32_t start =
        (m_head.load(std::memory_order_acquire) + kFrames - frames) % kFrames;
    const float scale = 1.0f / static_cast<float>(m_channels);
    for (std::uint32_t f = 0; f < frames; ++f) {
        const std::atomic<float>* src = &m_samples[std::size_t{(start + f) % kFrames} * m_channels];
        float sum = 0.0f;
        for (std::uint32_t c = 0; c < m_channels; ++c) {
            sum += src[c].load(std::memory_order_relaxed);
        }
        out[f] = sum * scale;
    }
}

float SampleRing::peak(std::uint32_t channel, std::uint32_t frames) const {
    if (channel >= m_channels) {
        return 0.0f;
    }
    frames = std::min(frames, kFrames);
    const std::uint32_t start =
        (m_head.load(std::memory_order_acquire) + kFrames - frames) % kFrames;
    float peak = 0.0f;
    for (std::uint32_t f = 0; f < frames; ++f) {
        const std::size_t at = std::size_t{(start + f) % kFrames} * m_channels + channel;
        peak = std::max(peak, std::fabs(m_samples[at].load(std::memory_order_relaxed)));
    }
    return peak;
}

}  // namespace quillar::audio
