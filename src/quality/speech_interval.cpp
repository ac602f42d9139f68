#include "quality/speech_interval.h"

#include <algorithm>
#include <cmath>

#include "quality/level_math.h"
#include "quality/quality_limits.h"

namespace quillar::quality {

std::uint32_t SpeechFramesAt(std::uint32_t rate) {
    return std::max<std::uint32_t>(
        1, static_cast<std::uint32_t>(std::lround(rate * kSpeechFrameMs / 1000.0)));
}

SpeechInterval SpeechIntervalOf(std::span<const WindowSums> frames, std::size_t channels,
                                std::size_t channel, double mean, double scale,
                                std::uint64_t totalFrames, std::uint32_t rate, double noiseDbfs) {
    const std::size_t count = channels == 0 ? 0 : frames.size() / channels;
    if (count == 0 || channel >= channels || totalFrames == 0) {
        return {};
    }
    const std::uint64_t frameLength = SpeechFramesAt(rate);
    // A take of digital silence has a noise of -inf: the floor alone decides then.
    const double threshold = std::max(noiseDbfs + kSpeechAboveNoiseDb, kSpeechFloorDbfs);
    const auto loud = [&](std::size_t i) {
        const std::uint64_t start = i * frameLength;
        if (start >= totalFrames) {
            return false;
        }
        const double n = static_cast<double>(std::min(frameLength, totalFrames - start));
        const WindowSums& f = frames[i * channels + channel];
        const double variance = f.squares / n - 2.0 * mean * f.sum / n + mean * mean;
        return toDb(std::sqrt(std::max(0.0, variance)) * scale) >= threshold;
    };
    std::size_t first = 0;
    while (first < count && !loud(first)) {
        ++first;
    }
    if (first == count) {
        return {};
    }
    std::size_t last = count - 1;
    while (!loud(last)) {
        --last;
    }
    const std::uint64_t margin =
        static_cast<std::uint64_t>(std::llround(double(rate) * kSpeechMarginMs / 1000.0));
    const std::uint64_t begin = first * frameLength;
    const std::uint64_t end = std::min(totalFrames, (last + 1) * frameLength);
    return {begin > margin ? begin - margin : 0, std::min(totalFrames, end + margin)};
}

}  // namespace quillar::quality
