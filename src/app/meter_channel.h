// Which channel the input level meter reads. The one place that decides it. GUI thread only.
#pragma once

#include "audio/audio_engine.h"

namespace quillar {

struct App;

// The capture channel the meter shows, or 0 when no input is open (the meter then shows
// nothing): for now the recording channel, which exists while a take runs.
audio::Handle MeterChannel(const App& app);

}  // namespace quillar
