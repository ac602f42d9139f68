// Analysis for the display: level, position and length, format queries, the latest samples and
// the FFT.

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "audio/audio_engine.h"
#include "audio/engine_impl.h"
#include "audio/sample_ring.h"

namespace quillar::audio {

using namespace detail;

std::uint32_t AudioEngine::level(Handle channel) const {
    auto ch = m_impl->find(channel);
    if (!ch) {
        return 0xFFFFFFFFu;
    }
    if (ch->state != kPlaying) {
        return 0;
    }
    // About 20 ms: short enough to follow syllables, long enough to hold a cycle of a low voice.
    const std::uint32_t frames = std::max<std::uint32_t>(1, ch->format.rate / 50);
    const auto toLevel = [](float peak) {
        return static_cast<std::uint32_t>(std::min(32768.0f, std::round(peak * 32768.0f)));
    };
    const std::uint32_t left = toLevel(ch->ring.peak(0, frames));
    const std::uint32_t right = ch->format.channels > 1 ? toLevel(ch->ring.peak(1, frames)) : left;
    return left | (right << 16);
}

std::int64_t AudioEngine::positionBytes(Handle channel) const {
    auto ch = m_impl->find(channel);
    if (!ch) {
        return -1;
    }
    return ch->position;
}

std::int64_t AudioEngine::lengthBytes(Handle channel) const {
    auto ch = m_impl->find(channel);
    if (!ch || !ch->playsData()) {
        return -1;
    }
    std::lock_guard lock(ch->dataMutex);
    return ch->memoryLength;
}

double AudioEngine::bytesToSeconds(Handle channel, std::int64_t bytes) const {
    auto ch = m_impl->find(channel);
    if (!ch) {
        return -1.0;
    }
    return static_cast<double>(bytes) /
           (static_cast<double>(ch->format.rate) * ch->format.bytesPerFrame());
}

std::uint32_t AudioEngine::channelCount(Handle channel) const {
    auto ch = m_impl->find(channel);
    return ch ? ch->format.channels : 0;
}

std::uint32_t AudioEngine::sampleRate(Handle channel) const {
    auto ch = m_impl->find(channel);
    return ch ? ch->format.rate : 0;
}

bool AudioEngine::hasFormat(Handle channel, std::uint32_t rate, std::uint32_t channels,
                            std::uint32_t flags) const {
    auto ch = m_impl->find(channel);
    AudioFormat format;
    return ch && formatFromFlags(rate, channels, flags, &format) && ch->format == format;
}

bool AudioEngine::latestSamples(Handle channel, float* out, std::uint32_t frames) const {
    auto ch = m_impl->find(channel);
    if (!ch || out == nullptr || frames > SampleRing::kFrames) {
        return false;
    }
    ch->ring.latest(out, frames);
    return true;
}

std::uint32_t AudioEngine::samplesSince(Handle channel, std::uint64_t* cursor, float* out,
                                        std::uint32_t maxFrames, std::uint64_t* skipped) const {
    if (skipped != nullptr) {
        *skipped = 0;
    }
    auto ch = m_impl->find(channel);
    if (!ch || cursor == nullptr || out == nullptr) {
        return 0;
    }
    return ch->ring.readSince(cursor, out, maxFrames, skipped);
}

bool AudioEngine::spectrum2048(Handle channel, float* out1024) const {
    Impl& d = *m_impl;
    auto ch = d.find(channel);
    if (!ch || out1024 == nullptr) {
        return false;
    }
    constexpr int kN = Impl::kFftSize;
    std::lock_guard fft(d.fftMutex);
    ch->ring.latestMixed(d.fftIn, kN);
    for (int i = 0; i < kN; ++i) {
        d.fftIn[i] *= d.window[static_cast<std::size_t>(i)];
    }
    fftwf_execute(d.plan);
    // A sine of amplitude A centred on a bin gives |X| = A * sum(window) / 2 = A * kN / 4.
    constexpr float kScale = 4.0f / kN;
    for (int k = 0; k < kN / 2; ++k) {
        out1024[k] = std::hypot(d.fftOut[k][0], d.fftOut[k][1]) * kScale;
    }
    return true;
}

}  // namespace quillar::audio
