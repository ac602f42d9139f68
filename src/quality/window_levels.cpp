#include "quality/window_levels.h"

#include <algorithm>
#include <cmath>

#include "quality/level_math.h"
#include "quality/quality_limits.h"

namespace quillar::quality {

std::uint32_t WindowFramesAt(std::uint32_t rate) {
    return std::max<std::uint32_t>(
        1, static_cast<std::uint32_t>(std::lround(rate * kWindowMs / 1000.0)));
}

WindowLevels LevelsOfWindows(std::span<const WindowSums> windows, std::size_t channels,
                             std::uint32_t windowFrames, std::uint32_t lastFrames, double scale) {
    WindowLevels out;
    const std::size_t count = channels == 0 ? 0 : windows.size() / channels;
    if (count == 0) {
        return out;
    }
    const auto framesOf = [&](std::size_t w) {
        return static_cast<double>(w + 1 == count ? lastFrames : windowFrames);
    };
    const double frames =
        static_cast<double>(windowFrames) * static_cast<double>(count - 1) + framesOf(count - 1);
    // The louder channel stands for the recording (a mono microphone may feed one side only),
    // and its mean, not each window's, is taken out, so that a DC offset does not read as noise
    // while a rumble slower than a window still does.
    double loudest = -1.0;
    for (std::size_t c = 0; c < channels; ++c) {
        double sum = 0.0;
        double squares = 0.0;
        for (std::size_t w = c; w < count * channels; w += channels) {
            sum += windows[w].sum;
            squares += windows[w].squares;
        }
        const double mean = sum / frames;
        const double variance = squares / frames - mean * mean;
        if (variance > loudest) {
            loudest = variance;
            out.channel = c;
            out.mean = mean;
        }
    }
    out.db.resize(count);
    const double m = out.mean;
    for (std::size_t w = 0; w < count; ++w) {
        const WindowSums& win = windows[w * channels + out.channel];
        const double n = framesOf(w);
        const double variance = win.squares / n - 2.0 * m * win.sum / n + m * m;
        out.db[w] = toDb(std::sqrt(std::max(0.0, variance)) * scale);
    }
    return out;
}

double NoiseDbfsOf(const std::vector<double>& windowDb) {
    return percentile(windowDb, kNoisePercentile);
}

}  // namespace quillar::quality
