#include "spectrum/palette_frame.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quillar::spectrum {

namespace {

// The bands depend on nothing but the bar count, so they are worked out once. Each bar's upper
// bin is 2^(x * 10 / 28), at least one past the previous bar's, so the low bars get a bin each.
std::array<BinBand, kBarCount> MakeBands() {
    std::array<BinBand, kBarCount> bands{};
    int b0 = 0;
    for (int x = 0; x < kBarCount; ++x) {
        int b1 = static_cast<int>(std::pow(2.0, x * 10.0 / kBarCount));
        if (b1 > kFftBins - 1) {
            b1 = kFftBins - 1;
        }
        if (b1 <= b0) {
            b1 = b0 + 1;
        }
        bands[std::size_t(x)] = {b0, b1};
        b0 = b1;
    }
    return bands;
}

QList<QRgb> MakeColourTable() {
    QList<QRgb> table(256, qRgb(0, 0, 0));
    for (int v = 1; v <= 127; ++v) {
        table[v] = qRgb(2 * v, 256 - 2 * v, 0);
    }
    return table;
}

}  // namespace

int WaveRow(float s) {
    if (std::isnan(s)) {
        s = 0.0f;
    }
    // Clamped before the conversion to int: a float recording can carry values far beyond full
    // scale, and converting an out-of-range double to int is undefined.
    double y = (1.0 - double(s)) * kFrameHeight / 2;
    if (y < 0.0) {
        return 0;
    }
    if (y >= kFrameHeight) {
        return kFrameHeight - 1;
    }
    return static_cast<int>(y);
}

void FillWaveFrame(std::span<const float> samples, std::uint32_t channels, Frame& frame) {
    frame.fill(0);
    const std::size_t stride = channels;
    for (std::uint32_t c = 0; c < channels; ++c) {
        const std::uint8_t colour = (c % 2 == 0) ? kOddChannelColour : kEvenChannelColour;
        int p = 0;  // the pen row; carries from column to column, fresh for each channel
        std::uint8_t* column = frame.data();
        for (int x = 0; x < kWaveFrames; ++x, ++column) {
            const std::size_t at = std::size_t(x) * stride + c;
            const int y = WaveRow(at < samples.size() ? samples[at] : 0.0f);
            if (x == 0) {
                p = y;
            }
            // The pen steps from p to y and marks every row it steps onto: the run joins this
            // sample to the previous one without marking the previous one's row again.
            int lo = y;
            int hi = y;
            if (p < y) {
                lo = p + 1;
            } else if (p > y) {
                hi = p - 1;
            }
            for (int r = lo; r <= hi; ++r) {
                column[std::size_t(r) * kFrameWidth] = colour;
            }
            p = y;
        }
    }
}

BinBand BarBand(int bar) {
    static const std::array<BinBand, kBarCount> bands = MakeBands();
    if (bar < 0 || bar >= kBarCount) {
        return {0, 0};
    }
    return bands[std::size_t(bar)];
}

int BarHeight(float sum, int binCount) {
    // The divisor grows with the band's width (log10 of bins + 10), so wide high bands, which
    // collect more energy, are not drawn taller than the narrow low ones for the same level.
    const double count = double(binCount) + 10.0;
    const double h = std::sqrt(double(sum) / (std::log(count) / 2.302585)) * kFrameHeight * 1.7 - 4;
    // NaN (a negative or NaN sum) draws nothing; the cap comes before the conversion to int.
    if (!(h >= 1.0)) {
        return 0;
    }
    if (h >= kFrameHeight) {
        return kFrameHeight;
    }
    return static_cast<int>(h);
}

void FillBarFrame(std::span<const float, kFftBins> bins, Frame& frame) {
    frame.fill(0);
    for (int x = 0; x < kBarCount; ++x) {
        const BinBand band = BarBand(x);
        float sum = 0.0f;
        for (int b = band.first; b < band.end; ++b) {
            sum += bins[std::size_t(b)];
        }
        const int h = BarHeight(sum, band.end - band.first);
        for (int r = 0; r < h; ++r) {
            std::memset(frame.data() + std::size_t(r) * kFrameWidth + kBarPitch * x + 1, r,
                        kBarFillWidth);
        }
    }
}

const QList<QRgb>& ColourTable() {
    static const QList<QRgb> table = MakeColourTable();
    return table;
}

void FrameToRgb32(const Frame& frame, const QList<QRgb>& table, QImage& image, const Frame* shown) {
    std::array<QRgb, 256> colours{};
    std::copy_n(table.cbegin(), std::min<qsizetype>(table.size(), 256), colours.begin());
    for (int r = 0; r < kFrameHeight; ++r) {
        const std::uint8_t* src = frame.data() + std::size_t(r) * kFrameWidth;
        if (shown != nullptr &&
            std::memcmp(src, shown->data() + std::size_t(r) * kFrameWidth, kFrameWidth) == 0) {
            continue;
        }
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(kFrameHeight - 1 - r));
        for (int x = 0; x < kFrameWidth; ++x) {
            dst[x] = colours[src[x]];
        }
    }
}

}  // namespace quillar::spectrum
