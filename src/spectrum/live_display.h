// The live spectrum: a 512 x 96 palette picture of a channel (wave or bar style) copied to the
// top-left corner of the spectrum board every frame. The board keeps the last frame until
// something paints over it. GUI thread only.
#pragma once

#include <QList>
#include <QPointer>
#include <QRgb>
#include <cstdint>

#include "audio/audio_engine.h"
#include "kit/drawing_board.h"

namespace quillar {

// Once at start-up, with the spectrum board and the engine whose channels it will draw. Sizes the
// board to 505 x 96 (start-up widens it again afterwards).
void 初始化频谱(DrawingBoard& board, const audio::AudioEngine& engine);
// One frame of `channel`: style 0 wave picture, 1 bar picture, anything else draws nothing.
// Does nothing before 初始化频谱 or once its board is gone. An invalid channel draws black.
void 开始绘制频谱(audio::Handle channel, int style);

// The latest 512 frames of `channel` as curves, channel 1, 3, ... in red, 2, 4, ... in green.
void DrawWaveFrame(audio::Handle channel);
// 28 bars over the channel's latest 2048-point FFT, low frequencies on the left.
void DrawBarFrame(audio::Handle channel);

// The picture's description: a bottom-up (positive height) 8-bit palette bitmap.
struct SpectrumBitmapInfo {
    std::int32_t width = 0;   // pixels
    std::int32_t height = 0;  // pixels; positive, so row 0 is the bottom line on screen
    std::uint16_t bit_count = 0;
    std::uint32_t colours_used = 0;
    QList<QRgb> colour_table;  // 256 entries once initialised
};

// Module-wide values, written only by 初始化频谱 and read by every frame.
extern int spectrum_bar_count;                   // 28
extern int spectrum_height;                      // 96, pixels
extern int spectrum_width;                       // 512, pixels
extern QPointer<DrawingBoard> spectrum_window;   // the board frames are copied to
extern SpectrumBitmapInfo spectrum_bitmap_info;  // header and colour table

}  // namespace quillar
