// The live spectrum: a 512 x 96 palette picture of a channel (wave or bar style) copied to the
// top-left corner of the spectrum board every frame. GUI thread only.
#pragma once

#include "audio/audio_engine.h"

namespace quillar {

class DrawingBoard;

// Once at start-up, with the spectrum board and the engine whose channels it will draw.
void 初始化频谱(DrawingBoard& board, const audio::AudioEngine& engine);
// One frame of `channel`: style 0 wave picture, 1 bar picture, anything else draws nothing.
void 开始绘制频谱(audio::Handle channel, int style);

}  // namespace quillar
