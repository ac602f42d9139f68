// The pixels of one spectrum frame, apart from any channel or screen: a 512 x 96 grid of colour
// indexes into a 256-entry palette, bottom-up (row 0 is the bottom line on screen), as the wave
// and bar pictures fill it. Pure functions, callable from any thread.
#pragma once

#include <QImage>
#include <QList>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace quillar::spectrum {

inline constexpr int kFrameWidth = 512;   // pixels
inline constexpr int kFrameHeight = 96;   // pixels
inline constexpr int kBarCount = 28;      // bars of the bar picture
inline constexpr int kWaveFrames = 512;   // sample frames per wave picture, one per column
inline constexpr int kFftBins = 1024;     // magnitudes of a 2048-point FFT
inline constexpr int kBarPitch = 18;      // columns from one bar to the next
inline constexpr int kBarFillWidth = 17;  // columns filled per bar; the 18th is the gap
inline constexpr std::size_t kFramePixels = std::size_t(kFrameWidth) * kFrameHeight;  // 49,152

// One byte per pixel, a colour-table index; row r (0 = bottom) starts at r * kFrameWidth.
using Frame = std::array<std::uint8_t, kFramePixels>;

inline constexpr std::uint8_t kOddChannelColour = 127;  // red: channels 1, 3, ...
inline constexpr std::uint8_t kEvenChannelColour = 1;   // green: channels 2, 4, ...

inline std::uint8_t pixel(const Frame& frame, int row, int column) {
    return frame[std::size_t(row) * kFrameWidth + std::size_t(column)];
}

// Row of sample value s (full scale -1..1): 1 and above on row 0, 0 on row 48, -1 and below on
// row 95. A NaN sample is treated as silence (row 48).
int WaveRow(float s);

// The wave picture of `channels` interleaved channels over kWaveFrames frames: the value of
// channel c (0-based) in frame x is samples[x * channels + c]; values missing from a short span
// count as 0. Each channel is one curve whose samples are joined by vertical runs; later channels
// draw over earlier ones. Overwrites the whole frame; zero channels give an all-black frame.
void FillWaveFrame(std::span<const float> samples, std::uint32_t channels, Frame& frame);

// FFT bins [first, end) summed into one bar.
struct BinBand {
    int first;
    int end;
};
// The band of bar 0..kBarCount-1: bars 0..10 one bin each, then widening logarithmically up to
// bins 624..798 for bar 27; bins 799 and above are never shown.
BinBand BarBand(int bar);

// Rows of a bar (0..96) whose band of `binCount` bins sums to `sum` (FFT magnitudes, 1.0 = full
// scale). A single bin of 1.0 fills the bar, 0.1 gives 46 rows, 0.01 gives 11, 0.001 gives 1.
int BarHeight(float sum, int binCount);

// The bar picture of 1024 FFT magnitudes: bar x fills columns 18x+1 .. 18x+17 from row 0 up to
// its height, every pixel of row r in colour r (so the bottom row of a bar is black). Columns
// 504..511 stay black. Overwrites the whole frame.
void FillBarFrame(std::span<const float, kFftBins> bins, Frame& frame);

// The palette: entry 0 black, 1..127 a ramp from green (entry 1: red 2, green 254) to red
// (entry 127: red 254, green 2), 128..255 black.
const QList<QRgb>& ColourTable();

// Copies a bottom-up frame to a 512 x 96 Format_RGB32 image through `table` (256 entries), row r
// to scan line 95 - r: what the window system does with a palette bitmap, done here so that the
// copy to the board is a plain 32-bit blit. With `shown`, the frame `image` already holds, only
// the rows that differ from it are converted: a live picture changes in a few rows a frame.
void FrameToRgb32(const Frame& frame, const QList<QRgb>& table, QImage& image,
                  const Frame* shown = nullptr);

}  // namespace quillar::spectrum
