// Auditioning the recording in memory before (or without) saving it.
#pragma once

#include "audio/audio_engine.h"

namespace quillar {

struct App;

// Click on 按钮2 (GUI thread): starts an audition of record_buffer, or stops the one running.
// ProgramState::auditioning is the state; 按钮2's caption follows it: "试听录音" idle, "停止试听"
// auditioning.
void ToggleAudition(App& app);
// The end notice of audition stream `stream`, already brought to the GUI thread: stops the
// audition as a click does, unless the notice is stale (the stream was freed or replaced, or the
// audition has already stopped).
void OnAuditionEnd(App& app, audio::Handle stream);
// A recording is starting: if an audition is on, put its display back exactly as its own stop
// does (caption, 时钟2, 按钮1, the saved text of 编辑框2). The caller frees the stream.
void StopAuditionIfRunning(App& app);

}  // namespace quillar
