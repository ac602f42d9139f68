// Catching a clipping take while it is recorded: the status tick reads the audio captured since
// its last look (never the capture callback), keeps the take's peak, and when a sample reaches
// full scale shows the red warning over the spectrum board, held at least two seconds after the
// last clipped block. The list keeps the keyboard: the warning is a label, not a box.
// GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "quality/quality_limits.h"

namespace quillar {

struct App;

// How long the warning stays after the last clipped block, in ms.
inline constexpr int kClipWarningHoldMs = 2000;
// A 32-bit float sample of this magnitude or more counts as full scale: the judgement's own limit.
inline constexpr float kFloatFullScale = static_cast<float>(quality::kFloatFullScale);

struct PeakScan {
    double peak = 0.0;  // largest magnitude, fraction of full scale (0..1, floats may exceed 1)
    bool clipped = false;
};

// The peak of whole samples of width `bits` (8 unsigned, 16 and 24 signed, 32 float) in `bytes`
// bytes. Full scale is the extreme codes for 8, 16 and 24 bits (0 and 255; -32768 and 32767;
// -8388608 and 8388607) and a magnitude of kFloatFullScale for floats (NaN and infinities
// included).
PeakScan ScanSamples(const std::uint8_t* data, std::size_t bytes, std::uint16_t bits);

// A take begins with `bits` per sample on the device of 组合框1, at the rate of 组合框2, with the
// channels of app.state.options: the check and the judgement start from its first byte, and the
// device's name is kept for the take log.
void BeginTakeCheck(App& app, std::uint16_t bits);
// Status tick: reads the samples captured since the last call; at a clipped block shows the
// warning. `nowMs` is the steady clock's reading.
void CheckTakeClipping(App& app, std::int64_t nowMs);
// The take has stopped and record_buffer holds its WAV image: reads what the ticks did not and
// judges the take (take_judgement).
void FinishTakeCheck(App& app);
// Hides the warning once kClipWarningHoldMs have passed since the last clipped block; else the
// ms it still has to stay (0 when it is hidden).
int UpdateClipWarning(App& app, std::int64_t nowMs);
// The steady clock in ms, as the functions above take it.
std::int64_t SteadyMs();

}  // namespace quillar
