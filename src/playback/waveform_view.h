// The waveform and time ruler of a recording file.
#pragma once

#include <QString>

namespace quillar {

struct App;

// Draws the waveform of the WAV file at `path` on 画板3 and its ruler on 画板5 (GUI thread).
void ShowWaveform(App& app, const QString& path);

}  // namespace quillar
