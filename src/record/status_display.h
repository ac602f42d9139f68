// The status strip while recording or auditioning, the silence rule and the idle blink.
#pragma once

#include "audio/audio_engine.h"

namespace quillar {

struct App;

void OnStatusTick(App& app);    // 时钟1, every 30 ms while recording (GUI thread)
void OnBlinkTick(App& app);     // 时钟3, every 700 ms (GUI thread)
void OnAuditionTick(App& app);  // 时钟2, every 30 ms while auditioning (GUI thread)

// Channel position and length in seconds; negative on a bad handle.
float PositionSeconds(const audio::AudioEngine& engine, audio::Handle channel);
float LengthSeconds(const audio::AudioEngine& engine, audio::Handle channel);

}  // namespace quillar
