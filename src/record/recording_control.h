// Starting, pausing, resuming and stopping a recording, and the capture callback that collects it.
#pragma once

#include <cstdint>

#include "audio/audio_engine.h"

namespace quillar {

struct App;

// Click on 按钮1 and Enter in the item list (GUI thread). Afterwards 编辑框1 reads "停止中"
// exactly when a recording has just stopped.
void ToggleRecording(App& app);
// Click on 按钮4 (GUI thread).
void PauseOrResume(App& app);
// Capture block receiver (capture thread); `user` is the App.
bool OnRecordData(audio::Handle channel, const void* data, std::uint32_t bytes, void* user);

}  // namespace quillar
