// The line under the waveform that tells the judgement of the selected item's latest take in
// words: "峰值 -8.2 dBFS · 噪声 -61 dBFS · 信噪比 43 dB · 开头被截断". Hidden when the item has
// no recording or nothing is known of its latest take. GUI thread only.
#pragma once

#include <QString>

#include "quality/take_judge.h"

namespace quillar {

struct App;

// The line for a judgement; figures that are not known (NaN) are left out.
QString TakeQualityText(const quality::Judgement& j);
// Shows the line for the file in 编辑框_当前录音文件, or hides it.
void ShowTakeQuality(App& app);

}  // namespace quillar
