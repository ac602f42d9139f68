#include "playback/time_ruler.h"

#include <cmath>

#include "kit/drawing_board.h"
#include "playback/format_seconds.h"

namespace quillar {

namespace {

constexpr int kMinorTick = 6;   // pixels
constexpr int kMajorTick = 10;  // pixels
constexpr int kLabelTop = 12;   // pixels

}  // namespace

bool IsLabelledSecond(long long wholeSeconds, long long t) {
    const long long s = wholeSeconds;
    // The band bounds are exclusive on both sides: 15, 60 and 120 seconds get no labels.
    if (s < 15) {
        return true;
    }
    if (s > 15 && s < 60) {
        return t % 2 == 0;
    }
    if (s > 60 && s < 120) {
        return t % 5 == 0;
    }
    if (s > 120 && s < 400) {
        return t % 20 == 0;
    }
    return false;
}

void DrawTimeRuler(DrawingBoard& ruler, float seconds, int waveWidth) {
    ruler.setUnit(DrawingBoard::kPixels);
    ruler.clear();
    // Past 1e12 s the tick arithmetic below would leave exact integers; no WAV file gets there.
    if (!std::isfinite(seconds) || seconds <= 0.0f || seconds > 1e12f || waveWidth <= 0) {
        return;
    }
    const double wholeMs = std::trunc(double(seconds) * 1000.0);
    if (wholeMs < 1.0) {
        return;
    }
    const double perSecond = waveWidth * 1000.0 / wholeMs;  // pixels
    const auto wholeSeconds = static_cast<long long>(std::trunc(double(seconds)));

    if (perSecond < 0.5 && wholeSeconds >= 400) {
        // Several seconds share each pixel and none is labelled: the ticks cover every pixel from
        // 0 to the last second's, so draw each of those once instead of once per second.
        const auto last = static_cast<long long>(std::trunc(double(wholeSeconds) * perSecond));
        for (long long x = 0; x <= last; ++x) {
            ruler.line(double(x), 0, double(x), kMinorTick);
        }
        return;
    }
    for (long long t = 0; t <= wholeSeconds; ++t) {
        const auto x = double(static_cast<long long>(std::trunc(double(t) * perSecond)));
        ruler.line(x, 0, x, kMinorTick);
        if (IsLabelledSecond(wholeSeconds, t)) {
            ruler.line(x, 0, x, kMajorTick);
            ruler.text(x, kLabelTop, FormatSeconds(static_cast<std::int32_t>(t)));
        }
    }
}

}  // namespace quillar
