// The input level meter on the spectrum board, in the part right of the 512-pixel spectrum
// picture, which the picture never reaches: a bar per channel (peak in dBFS, with the held peak
// marked), a scale with marks at -18, -12, -6 dBFS and full scale (red), and the room's noise
// floor coloured by the survey limits. It is drawn on the board's canvas, so it never takes the
// keyboard. GUI thread only.
#pragma once

#include <cstdint>

#include "audio/audio_engine.h"

namespace quillar {

struct App;
class DrawingBoard;
namespace quality {
class LevelMeter;
}

// The meter's first column on the board, and how often it looks at the input (ms).
inline constexpr int kMeterLeft = 512;
inline constexpr int kMeterTickMs = 50;

// One look: reads what `channel` captured since the last look (0: no input, and the meter shows
// nothing), feeds the figures at `nowMs` (a steady clock) and draws them on 画板2.
void OnMeterTick(App& app, audio::Handle channel, std::int64_t nowMs);
// Draws `meter` as it stands on `board` right of kMeterLeft; an empty meter leaves the board's
// background there. Also after the board was cleared.
void DrawLevelMeter(DrawingBoard& board, const quality::LevelMeter& meter);

}  // namespace quillar
