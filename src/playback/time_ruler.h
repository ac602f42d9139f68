// The time ruler under the waveform: a tick per second, labelled ticks in "hh:mm:ss" where the
// duration leaves room for them.
#pragma once

namespace quillar {

class DrawingBoard;

// Clears `ruler` and draws ticks for a recording of `seconds` seconds spread over `waveWidth`
// pixels (the waveform board's width), in the ruler's own pen and text colour. An undefined
// duration (not finite, or under a millisecond) leaves the ruler cleared. Any number of seconds
// costs at most one tick per pixel. GUI thread.
void DrawTimeRuler(DrawingBoard& ruler, float seconds, int waveWidth);

// Whether second t of a recording of `wholeSeconds` whole seconds gets a labelled tick.
bool IsLabelledSecond(long long wholeSeconds, long long t);

}  // namespace quillar
