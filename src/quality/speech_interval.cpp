#include "quality/speech_interval.h"

#include <algorithm>
#include <cmath>

#include "quality/quality_limits.h"

namespace quillar::quality {

std::uint32_t SpeechFramesAt(std::uint32_t rate) {
    return std::max<std::uint32_t>(
        1, static_cast<std::uint32_t>(std::lround(rate * kSpeechFrameMs / 1000.0)));
}

SpeechInterval SpeechIntervalOf(std::span<const WindowSums> frames,
                                std::span<const WindowSums> tail, std::size_t channels,
                                std::size_t channel, double mean, double scale,
                                std::uint64_t totalFrames, std::uint32_t rate, double noiseDbfs) {
    const std::size_t closed = channels == 0 ? 0 : frames.size() / channels;
    const std::size_t count = closed + (channels == 0 ? 0 : tail.size() / channels);
    if (count == 0 || channel >= channels || totalFrames == 0) {
        return {};
    }
    const std::uint64_t frameLength = SpeechFramesAt(rate);
    // A take of digital silence has a noise of -inf: the floor alone decides then.
    const double threshold = std::max(noiseDbfs + kSpeechAboveNoiseDb, kSpeechFloorDbfs);
    // Compared as power in the sums' units, so that an hour of frames needs no logarithm each.
    const double power = std::pow(10.0, threshold / 10.0) / (scale * scale);
    const auto loud = [&](std::size_t i) {
        const std::uint64_t start = i * frameLength;
        if (start >= totalFrames) {
            return false;
        }
        const double n = static_cast<double>(std::min(frameLength, totalFrames - start));
        const WindowSums& f =
            i < closed ? frames[i * channels + channel] : tail[(i - closed) * channels + channel];
        const double variance = f.squares / n - 2.0 * mean * f.sum / n + mean * mean;
        return variance >= power;
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
