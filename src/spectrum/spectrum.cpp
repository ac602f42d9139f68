#include "spectrum/spectrum.h"

#include "app/drawing_board.h"

namespace quillar {

void 初始化频谱(DrawingBoard&, const audio::AudioEngine&) {}
void 开始绘制频谱(audio::Handle, int) {}

}  // namespace quillar
