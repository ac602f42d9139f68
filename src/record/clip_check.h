// The red warning over the spectrum board for a clipping take: the status tick asks the
// recorder's check (record/take_check.h) to read the audio captured since its last look, the
// recorder tells of a clipped block, and the warning shows, held at least two seconds after the
// last one. The list keeps the keyboard: the warning is a label, not a box.
// GUI thread only.
#pragma once

#include <cstdint>

#include "record/take_check.h"

namespace quillar {

struct App;

// How long the warning stays after the last clipped block, in ms.
inline constexpr int kClipWarningHoldMs = 2000;

// Status tick: the recorder's check reads the samples captured since the last call (a clipped
// block comes back as the recorder's Clipped change); then the warning's hold is checked.
// `nowMs` is the steady clock's reading.
void CheckTakeClipping(App& app, std::int64_t nowMs);
// The recorder's Clipped change: the warning shows, if it does not already.
void ShowClipWarning(App& app);
// Hides the warning once kClipWarningHoldMs have passed since the last clipped block; else the
// ms it still has to stay (0 when it is hidden).
int UpdateClipWarning(App& app, std::int64_t nowMs);
// The steady clock in ms, as the functions above take it.
std::int64_t SteadyMs();

}  // namespace quillar
