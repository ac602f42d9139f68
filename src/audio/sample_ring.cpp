#include "audio/sample_ring.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/sample_packing.h"

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
        case SampleType::S24:
            return static_cast<float>(readS24(p)) / 8388608.0f;
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

SampleRing::SampleRing(const AudioFormat& format, std::uint32_t capacity)
    : m_format(format),
      m_channels(std::max<std::uint32_t>(1, format.channels)),
      m_capacity(std::max(capacity, kFrames)),
      m_samples(std::make_unique<std::atomic<float>[]>(std::size_t{m_capacity} * m_channels)) {
    reset();
}

void SampleRing::push(const void* data, std::uint32_t bytes) {
    const std::uint32_t frameBytes = m_format.bytesPerFrame();
    const std::uint32_t sampleBytes = m_format.bytesPerSample();
    if (frameBytes == 0) {
        return;
    }
    const std::uint32_t total = bytes / frameBytes;
    std::uint32_t frames = total;
    const auto* p = static_cast<const std::uint8_t*>(data);
    const std::uint64_t before = m_written.load(std::memory_order_relaxed);
    // Only the last m_capacity frames can survive; skip the rest.
    if (frames > m_capacity) {
        p += std::size_t{frames - m_capacity} * frameBytes;
        frames = m_capacity;
    }
    std::uint32_t head = static_cast<std::uint32_t>((before + (total - frames)) % m_capacity);
    for (std::uint32_t f = 0; f < frames; ++f) {
        std::atomic<float>* dst = &m_samples[std::size_t{head} * m_channels];
        for (std::uint32_t c = 0; c < m_channels; ++c) {
            // Released: a reader that sees this sample also sees the count published before it,
            // which readSince() relies on (a plain store on x86).
            dst[c].store(sampleToFloat(p, m_format.type), std::memory_order_release);
            p += sampleBytes;
        }
        head = head + 1 == m_capacity ? 0 : head + 1;
    }
    m_written.store(before + total, std::memory_order_release);
}

void SampleRing::reset() {
    for (std::size_t i = 0; i < std::size_t{m_capacity} * m_channels; ++i) {
        m_samples[i].store(0.0f, std::memory_order_relaxed);
    }
    m_written.store(0, std::memory_order_release);
}

std::uint32_t SampleRing::startOfLatest(std::uint32_t frames) const {
    const std::uint64_t written = m_written.load(std::memory_order_acquire);
    return static_cast<std::uint32_t>((written + m_capacity - frames) % m_capacity);
}

void SampleRing::latest(float* out, std::uint32_t frames) const {
    frames = std::min(frames, kFrames);
    const std::uint32_t start = startOfLatest(frames);
    for (std::uint32_t f = 0; f < frames; ++f) {
        const std::atomic<float>* src =
            &m_samples[std::size_t{(start + f) % m_capacity} * m_channels];
        for (std::uint32_t c = 0; c < m_channels; ++c) {
            out[std::size_t{f} * m_channels + c] = src[c].load(std::memory_order_relaxed);
        }
    }
}

void SampleRing::latestMixed(float* out, std::uint32_t frames) const {
    frames = std::min(frames, kFrames);
    const std::uint32_t start = startOfLatest(frames);
    const float scale = 1.0f / static_cast<float>(m_channels);
    for (std::uint32_t f = 0; f < frames; ++f) {
        const std::atomic<float>* src =
            &m_samples[std::size_t{(start + f) % m_capacity} * m_channels];
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
    const std::uint32_t start = startOfLatest(frames);
    float peak = 0.0f;
    for (std::uint32_t f = 0; f < frames; ++f) {
        const std::size_t at = std::size_t{(start + f) % m_capacity} * m_channels + channel;
        peak = std::max(peak, std::fabs(m_samples[at].load(std::memory_order_relaxed)));
    }
    return peak;
}

std::uint32_t SampleRing::readSince(std::uint64_t* cursor, float* out, std::uint32_t maxFrames,
                                    std::uint64_t* skipped) const {
    // A push may be overwriting up to its own length beyond the count it has published (a device
    // period, or a 100 ms block): frames within a quarter of the ring of being lapped are not
    // trusted.
    const std::uint64_t safe = m_capacity - m_capacity / 4;
    const std::uint64_t written = m_written.load(std::memory_order_acquire);
    std::uint64_t from = *cursor > written ? written : *cursor;
    std::uint64_t lost = 0;
    if (written - from > safe) {
        lost = written - safe - from;
        from = written - safe;
    }
    const auto frames =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(written - from, maxFrames));
    for (std::uint32_t f = 0; f < frames; ++f) {
        const std::atomic<float>* src = &m_samples[((from + f) % m_capacity) * m_channels];
        for (std::uint32_t c = 0; c < m_channels; ++c) {
            out[std::size_t{f} * m_channels + c] = src[c].load(std::memory_order_acquire);
        }
    }
    // The writer went on meanwhile: whatever it may have reached is dropped from the front. The
    // samples were read with acquire, so the count read here is at least the one published
    // before any sample copied above was overwritten.
    const std::uint64_t after = m_written.load(std::memory_order_acquire);
    std::uint32_t kept = frames;
    if (after - from > safe) {
        const std::uint64_t drop = std::min<std::uint64_t>(after - safe - from, frames);
        kept = frames - static_cast<std::uint32_t>(drop);
        std::memmove(out, out + drop * m_channels, std::size_t{kept} * m_channels * sizeof(float));
        lost += drop;
    }
    *cursor = from + frames;
    if (skipped != nullptr) {
        *skipped = lost;
    }
    return kept;
}

}  // namespace quillar::audio
