#include "spectrum/palette_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace quillar::spectrum {
namespace {

using Bins = std::array<float, kFftBins>;

// Rows of `column` holding `colour`, bottom first.
std::vector<int> RowsWith(const Frame& f, int column, std::uint8_t colour) {
    std::vector<int> rows;
    for (int r = 0; r < kFrameHeight; ++r) {
        if (pixel(f, r, column) == colour) {
            rows.push_back(r);
        }
    }
    return rows;
}

std::vector<int> Range(int first, int last) {
    std::vector<int> v;
    for (int r = first; r <= last; ++r) {
        v.push_back(r);
    }
    return v;
}

int CountNonZero(const Frame& f) {
    int n = 0;
    for (std::uint8_t v : f) {
        n += v != 0;
    }
    return n;
}

TEST(SpectrumColourTable, RampFromGreenToRedThenBlack) {
    struct Row {
        int index;
        QRgb colour;
    };
    const Row rows[] = {
        {0, qRgb(0, 0, 0)},   {1, qRgb(2, 254, 0)}, {64, qRgb(128, 128, 0)}, {127, qRgb(254, 2, 0)},
        {128, qRgb(0, 0, 0)}, {255, qRgb(0, 0, 0)}, {95, qRgb(190, 66, 0)},
    };
    ASSERT_EQ(ColourTable().size(), 256);
    for (const Row& row : rows) {
        EXPECT_EQ(ColourTable()[row.index], row.colour) << "entry " << row.index;
    }
}

TEST(SpectrumWave, SampleToRow) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Row {
        float s;
        int row;
    };
    const Row rows[] = {
        {1.0f, 0},
        {1.5f, 0},
        {1e30f, 0},
        {inf, 0},
        {0.5f, 24},
        {0.0f, 48},
        {-0.5f, 72},
        {-1.0f, 95},
        {-1.25f, 95},
        {-1e30f, 95},
        {-inf, 95},
        {nan, 48},
        // Just inside full scale truncates toward the bottom: (1 - 0.99) * 48 = 0.48.
        {0.99f, 0},
        {0.97f, 1},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(WaveRow(row.s), row.row) << "s = " << row.s;
    }
}

TEST(SpectrumWave, SilenceIsAFlatLineOnRow48) {
    Frame f;
    f.fill(9);  // stale pixels must not survive
    std::vector<float> stereo(2 * kWaveFrames, 0.0f);
    FillWaveFrame(stereo, 2, f);
    for (int x = 0; x < kFrameWidth; ++x) {
        ASSERT_EQ(RowsWith(f, x, kEvenChannelColour), std::vector<int>{48}) << "column " << x;
    }
    EXPECT_EQ(CountNonZero(f), kFrameWidth);
}

TEST(SpectrumWave, SamplesAreJoinedByVerticalRuns) {
    std::vector<float> mono(kWaveFrames, 0.0f);
    mono[0] = 1.0f;   // row 0
    mono[1] = -1.0f;  // row 95
    mono[2] = 1.0f;   // row 0
    mono[3] = 0.5f;   // row 24
    Frame f;
    FillWaveFrame(mono, 1, f);
    // The run starts one step from the pen: the previous column already holds the pen's row.
    EXPECT_EQ(RowsWith(f, 0, kOddChannelColour), std::vector<int>{0});
    EXPECT_EQ(RowsWith(f, 1, kOddChannelColour), Range(1, 95));
    EXPECT_EQ(RowsWith(f, 2, kOddChannelColour), Range(0, 94));
    EXPECT_EQ(RowsWith(f, 3, kOddChannelColour), Range(1, 24));
    EXPECT_EQ(RowsWith(f, 4, kOddChannelColour), Range(25, 48));
    EXPECT_EQ(RowsWith(f, 5, kOddChannelColour), std::vector<int>{48});
}

TEST(SpectrumWave, StereoColoursAndChannelTwoOnTop) {
    // Channel 1 flat at row 48; channel 2 a ramp from the bottom row to the top row that crosses
    // it halfway.
    std::vector<float> stereo(2 * kWaveFrames);
    for (int x = 0; x < kWaveFrames; ++x) {
        stereo[2 * x] = 0.0f;
        stereo[2 * x + 1] = 1.0f - 2.0f * float(x) / (kWaveFrames - 1);
    }
    Frame f;
    FillWaveFrame(stereo, 2, f);
    int crossings = 0;
    for (int x = 0; x < kFrameWidth; ++x) {
        const int ch2 = WaveRow(stereo[2 * x + 1]);
        EXPECT_EQ(pixel(f, ch2, x), kEvenChannelColour) << "column " << x;
        if (ch2 == 48) {
            ++crossings;
        } else {
            EXPECT_EQ(pixel(f, 48, x), kOddChannelColour) << "column " << x;
        }
    }
    EXPECT_GT(crossings, 0);
    EXPECT_EQ(pixel(f, 0, 0), kEvenChannelColour);
    EXPECT_EQ(pixel(f, 95, 511), kEvenChannelColour);
}

TEST(SpectrumWave, PenStartsAfreshForEachChannel) {
    // Channel 1 ends on the top row; channel 2 starts on the bottom row. A pen carried over would
    // draw a run up column 0.
    std::vector<float> stereo(2 * kWaveFrames, 0.0f);
    for (int x = 0; x < kWaveFrames; ++x) {
        stereo[2 * x] = -1.0f;
        stereo[2 * x + 1] = 1.0f;
    }
    Frame f;
    FillWaveFrame(stereo, 2, f);
    EXPECT_EQ(RowsWith(f, 0, kOddChannelColour), std::vector<int>{95});
    EXPECT_EQ(RowsWith(f, 0, kEvenChannelColour), std::vector<int>{0});
    EXPECT_EQ(CountNonZero(f), 2 * kFrameWidth);
}

TEST(SpectrumWave, NoChannelsOrShortDataAreSafe) {
    Frame f;
    f.fill(7);
    FillWaveFrame({}, 0, f);
    EXPECT_EQ(CountNonZero(f), 0);

    // Two frames of data for a two-channel picture: the rest reads as silence.
    std::vector<float> few = {1.0f, -1.0f, 1.0f, -1.0f};
    FillWaveFrame(few, 2, f);
    EXPECT_EQ(pixel(f, 0, 1), kOddChannelColour);
    EXPECT_EQ(pixel(f, 95, 1), kEvenChannelColour);
    EXPECT_EQ(RowsWith(f, 100, kEvenChannelColour), std::vector<int>{48});
}

TEST(SpectrumBars, BinBands) {
    struct Row {
        int bar;
        int first;
        int end;
    };
    const Row rows[] = {{0, 0, 1},      {1, 1, 2},      {10, 10, 11}, {11, 11, 15},
                        {20, 110, 141}, {27, 624, 799}, {-1, 0, 0},   {28, 0, 0}};
    for (const Row& row : rows) {
        const BinBand b = BarBand(row.bar);
        EXPECT_EQ(b.first, row.first) << "bar " << row.bar;
        EXPECT_EQ(b.end, row.end) << "bar " << row.bar;
    }
    // Contiguous: every bin below 799 belongs to exactly one bar.
    for (int x = 1; x < kBarCount; ++x) {
        EXPECT_EQ(BarBand(x).first, BarBand(x - 1).end) << "bar " << x;
    }
}

int BarHeightInFrame(const Frame& f, int bar) {
    // Row 0 of a bar is colour 0, so the height shows from row 1 up; a bar of height 1 is
    // invisible and reads 0 here.
    int h = 0;
    for (int r = 1; r < kFrameHeight; ++r) {
        if (pixel(f, r, kBarPitch * bar + 1) == r) {
            h = r + 1;
        }
    }
    return h;
}

TEST(SpectrumBars, SingleBinHeights) {
    struct Row {
        float value;
        int height;
    };
    const Row rows[] = {{1.0f, 96}, {0.1f, 46}, {0.01f, 11}, {0.001f, 1}, {0.0f, 0}};
    for (const Row& row : rows) {
        EXPECT_EQ(BarHeight(row.value, 1), row.height) << "value " << row.value;
        Bins bins{};
        bins[5] = row.value;  // bar 5 is bin 5 alone
        Frame f;
        FillBarFrame(bins, f);
        const int visible = row.height > 1 ? row.height : 0;
        EXPECT_EQ(BarHeightInFrame(f, 5), visible) << "value " << row.value;
        // The whole bar: 17 columns, row r in colour r, nothing above it, nothing elsewhere.
        EXPECT_EQ(CountNonZero(f), visible > 0 ? kBarFillWidth * (visible - 1) : 0);
        for (int c = 91; c <= 107; ++c) {
            for (int r = 0; r < kFrameHeight; ++r) {
                ASSERT_EQ(pixel(f, r, c), r < row.height ? r : 0) << "row " << r << " col " << c;
            }
        }
    }
}

TEST(SpectrumBars, BandEdgesSelectTheBar) {
    struct Row {
        int bin;
        int bar;  // -1: not shown
    };
    const Row rows[] = {{0, 0},    {10, 10},  {11, 11},  {14, 11},  {15, 12},  {110, 20},
                        {140, 20}, {141, 21}, {624, 27}, {798, 27}, {799, -1}, {1023, -1}};
    for (const Row& row : rows) {
        Bins bins{};
        bins[std::size_t(row.bin)] = 1.0f;
        Frame f;
        FillBarFrame(bins, f);
        for (int x = 0; x < kBarCount; ++x) {
            EXPECT_EQ(BarHeightInFrame(f, x) > 0, x == row.bar)
                << "bin " << row.bin << " bar " << x;
        }
    }
}

TEST(SpectrumBars, GapsAndRightEdgeStayBlack) {
    Bins bins;
    bins.fill(1.0f);
    Frame f;
    FillBarFrame(bins, f);
    for (int r = 0; r < kFrameHeight; ++r) {
        for (int c = 504; c < kFrameWidth; ++c) {
            ASSERT_EQ(pixel(f, r, c), 0) << "row " << r << " col " << c;
        }
        for (int x = 0; x < kBarCount; ++x) {
            ASSERT_EQ(pixel(f, r, kBarPitch * x), 0) << "gap before bar " << x;
        }
    }
    // Every bar full height: the top row of the last bar's last column.
    EXPECT_EQ(pixel(f, 95, 503), 95);
}

TEST(SpectrumBars, WideBandSumsItsBins) {
    // Bar 20: 31 bins of 0.01 sum to 0.31 over log10(41): 67 rows. The divisor keeps it well
    // below the 96 rows that 0.31 in one bin would reach.
    Bins bins{};
    for (int b = 110; b <= 140; ++b) {
        bins[std::size_t(b)] = 0.01f;
    }
    Frame f;
    FillBarFrame(bins, f);
    EXPECT_EQ(BarHeightInFrame(f, 20), 67);
}

TEST(SpectrumBars, SilenceAndGarbageDrawNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float v : {0.0f, -1.0f, nan}) {
        Bins bins;
        bins.fill(v);
        Frame f;
        f.fill(3);
        FillBarFrame(bins, f);
        EXPECT_EQ(CountNonZero(f), 0) << "value " << v;
    }
    EXPECT_EQ(BarHeight(std::numeric_limits<float>::infinity(), 1), 96);
}

TEST(SpectrumImage, RowsAreBottomUpThroughThePalette) {
    Frame f{};
    f[0] = 127;                      // row 0, column 0
    f[95 * kFrameWidth + 511] = 1;   // row 95, column 511
    f[48 * kFrameWidth + 256] = 64;  // row 48, column 256
    f[10 * kFrameWidth + 3] = 200;   // outside the ramp
    QImage image(kFrameWidth, kFrameHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    FrameToRgb32(f, ColourTable(), image);
    EXPECT_EQ(image.pixel(0, 95), qRgb(254, 2, 0));
    EXPECT_EQ(image.pixel(511, 0), qRgb(2, 254, 0));
    EXPECT_EQ(image.pixel(256, 47), qRgb(128, 128, 0));
    EXPECT_EQ(image.pixel(3, 85), qRgb(0, 0, 0));
    // Every pixel is written: no white is left.
    int white = 0;
    for (int y = 0; y < kFrameHeight; ++y) {
        for (int x = 0; x < kFrameWidth; ++x) {
            white += image.pixel(x, y) == qRgb(255, 255, 255);
        }
    }
    EXPECT_EQ(white, 0);
}

// The live picture converts only the rows that changed since the frame the image holds: the
// image must end up as a full conversion would leave it, frame after frame.
TEST(SpectrumImage, ConvertingOnlyChangedRowsGivesTheFullPicture) {
    std::minstd_rand random(3);
    std::array<float, kFftBins> bins{};
    std::vector<float> wave(2 * kWaveFrames);
    Frame shown{};
    QImage live(kFrameWidth, kFrameHeight, QImage::Format_RGB32);
    FrameToRgb32(shown, ColourTable(), live);
    for (int i = 0; i < 12; ++i) {
        Frame next{};
        if (i % 3 == 2) {
            for (float& v : wave) {
                v = float(random() % 2001) / 1000.0f - 1.0f;
            }
            FillWaveFrame(wave, 2, next);
        } else if (i % 3 == 1) {
            next = shown;  // a picture that stands still
        } else {
            for (float& b : bins) {
                b = float(random() % 1000) / 20000.0f;
            }
            FillBarFrame(bins, next);
        }
        QImage full(kFrameWidth, kFrameHeight, QImage::Format_RGB32);
        FrameToRgb32(next, ColourTable(), full);
        FrameToRgb32(next, ColourTable(), live, &shown);
        ASSERT_EQ(live, full) << "frame " << i;
        shown = next;
    }
}

}  // namespace
}  // namespace quillar::spectrum
