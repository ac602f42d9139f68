// The status strip while recording or auditioning: recorded or remaining time, block and file
// size, the silence rule that decides whether the live spectrum is shown, and the idle blink.
#pragma once

#include <cstdint>

#include "audio/audio_engine.h"

namespace quillar {

struct App;

// 时钟1, every 30 ms while recording and not paused (GUI thread). Time every tick, sizes on tick 5
// of every 25, then the silence rule and, while a signal is present, one spectrum frame.
void OnStatusTick(App& app);
// 时钟3, every 700 ms from start-up (GUI thread). While no live signal is shown: clears the
// spectrum board and flips the notice label's visibility.
void OnBlinkTick(App& app);
// 时钟2, every 30 ms while auditioning (GUI thread): the audition's spectrum and remaining time.
void OnAuditionTick(App& app);

// 编辑框2 = "录制时间 " and the whole seconds the recording channel has kept (GUI thread): every
// status tick, and a pause once the device has stopped.
void ShowRecordedTime(App& app);

// Channel position and length in seconds; negative on a bad handle (GUI thread).
float PositionSeconds(const audio::AudioEngine& engine, audio::Handle channel);
float LengthSeconds(const audio::AudioEngine& engine, audio::Handle channel);

// Whether a level reading (left peak in the low 16 bits, right in the high, 0xFFFFFFFF when the
// channel is bad) counts as silence. Only the left channel is tested.
bool IsSilentLevel(std::uint32_t level);

// A left-channel peak (0..32768) under this is silence.
inline constexpr std::uint32_t kSilenceLevel = 500;
// Silent ticks in a row (30 ms each) before the spectrum stops and the notice blinks: the 41st.
inline constexpr int kSilentTicksShown = 40;
// Status ticks per size refresh (750 ms), and the tick of the cycle that refreshes.
inline constexpr int kStatusTickCycle = 25;
inline constexpr int kSizeRefreshTick = 5;

}  // namespace quillar
