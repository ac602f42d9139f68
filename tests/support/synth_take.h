// Synthetic takes for the judgement's tests and benchmarks: a word (a 440 Hz tone) between
// pauses, with optional background noise, DC offset and a dead channel, encoded in any width and
// written as a WAV image.
#pragma once

#include <QByteArray>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "quality/take_judge.h"

namespace quillar::test {

struct SynthTake {
    double leadSeconds = 0.3;  // pause before the word
    double wordSeconds = 0.5;
    double tailSeconds = 0.3;  // pause after it
    double amplitude = 0.3;    // of the word, fraction of full scale (beyond 1.0 clips)
    double noise = 0.0;        // amplitude of a 3 kHz hum under everything
    double offset = 0.0;       // DC, fraction of full scale
    bool deadRight = false;    // the right channel carries nothing
    int channels = 2;
    std::uint32_t rate = 44100;
};

// Frames as doubles, channel by channel interleaved.
inline std::vector<double> SynthSamples(const SynthTake& s) {
    const auto frames = static_cast<std::size_t>(
        std::lround((s.leadSeconds + s.wordSeconds + s.tailSeconds) * s.rate));
    const auto wordFrom = static_cast<std::size_t>(std::lround(s.leadSeconds * s.rate));
    const auto wordTo = wordFrom + static_cast<std::size_t>(std::lround(s.wordSeconds * s.rate));
    std::vector<double> out;
    out.reserve(frames * static_cast<std::size_t>(s.channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / s.rate;
        double v = s.offset + s.noise * std::sin(2 * M_PI * 3000 * t);
        if (i >= wordFrom && i < wordTo) {
            v += s.amplitude * std::sin(2 * M_PI * 440 * t);
        }
        for (int c = 0; c < s.channels; ++c) {
            out.push_back(c == 1 && s.deadRight ? 0.0 : v);
        }
    }
    return out;
}

inline QByteArray EncodeSamples(const std::vector<double>& samples, quality::SampleFormat f) {
    QByteArray out;
    const auto put = [&out](const void* p, int n) { out.append(static_cast<const char*>(p), n); };
    for (const double v : samples) {
        switch (f) {
            case quality::SampleFormat::U8: {
                const auto b =
                    static_cast<std::uint8_t>(std::clamp(std::lround(v * 128) + 128, 0L, 255L));
                put(&b, 1);
                break;
            }
            case quality::SampleFormat::S16: {
                const auto s =
                    static_cast<std::int16_t>(std::clamp(std::lround(v * 32768), -32768L, 32767L));
                put(&s, 2);
                break;
            }
            case quality::SampleFormat::S24: {
                const auto s = static_cast<std::int32_t>(
                    std::clamp(std::lround(v * 8388608), -8388608L, 8388607L));
                put(&s, 3);  // little-endian: the low three bytes
                break;
            }
            case quality::SampleFormat::S32: {
                const auto s = static_cast<std::int32_t>(
                    std::clamp(std::llround(v * 2147483648.0), -2147483648LL, 2147483647LL));
                put(&s, 4);
                break;
            }
            case quality::SampleFormat::F32: {
                const auto s = static_cast<float>(std::clamp(v, -1.0, 1.0));
                put(&s, 4);
                break;
            }
            case quality::SampleFormat::F64: {
                const double s = std::clamp(v, -1.0, 1.0);
                put(&s, 8);
                break;
            }
        }
    }
    return out;
}

// A canonical 44-byte-header WAV image of the samples.
inline QByteArray WavImage(const QByteArray& data, quality::SampleFormat f, int channels,
                           std::uint32_t rate) {
    const auto width = static_cast<std::uint16_t>(quality::BytesPerSample(f));
    const bool isFloat = f == quality::SampleFormat::F32 || f == quality::SampleFormat::F64;
    QByteArray h(44, '\0');
    const auto le = [&h](int at, std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) {
            h[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        }
    };
    std::memcpy(h.data(), "RIFF", 4);
    le(4, static_cast<std::uint32_t>(36 + data.size()), 4);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    le(16, 16, 4);
    le(20, isFloat ? 3 : 1, 2);
    le(22, static_cast<std::uint32_t>(channels), 2);
    le(24, rate, 4);
    le(28, rate * channels * width, 4);
    le(32, static_cast<std::uint32_t>(channels * width), 2);
    le(34, width * 8u, 2);
    std::memcpy(h.data() + 36, "data", 4);
    le(40, static_cast<std::uint32_t>(data.size()), 4);
    return h + data;
}

inline QByteArray SynthWav(const SynthTake& s, quality::SampleFormat f) {
    return WavImage(EncodeSamples(SynthSamples(s), f), f, s.channels, s.rate);
}

}  // namespace quillar::test
