// A room for the hands-free tests: steady noise at a level, and words as tones at theirs, by
// frame, so that a test knows to the frame where each word begins and ends. The noise is a hash
// of the frame, the same on every run.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace quillar::test {

struct SceneWord {
    double at = 0.0;       // s
    double seconds = 0.0;  // its length
    double dbfs = -20.0;   // its RMS
};

struct VoiceScene {
    std::uint32_t rate = 44100;
    double noiseDbfs = -60.0;  // RMS; -inf for digital silence
    std::vector<SceneWord> words;

    std::int64_t frameAt(double seconds) const {
        return static_cast<std::int64_t>(std::llround(seconds * rate));
    }
    double operator()(int channel, std::int64_t frame) const {
        double v = 0.0;
        if (std::isfinite(noiseDbfs)) {
            // splitmix64 of the frame and channel: uniform in [-1, 1], RMS 1/sqrt(3).
            std::uint64_t z = static_cast<std::uint64_t>(frame) * 2 +
                              static_cast<unsigned>(channel) + 0x9E3779B97F4A7C15ULL;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            z ^= z >> 31;
            const double u = static_cast<double>(z >> 11) / static_cast<double>(1ULL << 53);
            v += (2.0 * u - 1.0) * std::sqrt(3.0) * std::pow(10.0, noiseDbfs / 20.0);
        }
        const double t = static_cast<double>(frame) / rate;
        for (const SceneWord& w : words) {
            if (t >= w.at && t < w.at + w.seconds) {
                // A 5 ms ramp at each end, as a voice has, rather than a click.
                const double edge =
                    std::min({1.0, (t - w.at) / 0.005, (w.at + w.seconds - t) / 0.005});
                const double amplitude = std::sqrt(2.0) * std::pow(10.0, w.dbfs / 20.0);
                v += edge * amplitude * std::sin(2.0 * 3.14159265358979323846 * 220.0 * t);
            }
        }
        return v;
    }
};

}  // namespace quillar::test
