// Starting, pausing, resuming and stopping a recording, and the capture callback that collects it.
//
// States (ProgramState::recording_state; the captions of 按钮1 and 按钮4 follow it): Idle without
// recording, Idle with recording (the WAV image in record_buffer), Recording, Paused. The device is opened at every start and
// freed at every stop.
#pragma once

#include <cstdint>

#include "audio/audio_engine.h"

namespace quillar {

struct App;

// Click on 按钮1 and Enter in the item list (GUI thread). Afterwards no take runs (and 编辑框1
// reads "停止中") exactly when a recording has just stopped, or a start failed (record_buffer is
// then empty).
void ToggleRecording(App& app);
// Whether a take runs, recording or paused (GUI thread).
bool TakeRunning(const App& app);
// Click on 按钮4 (GUI thread).
void PauseOrResume(App& app);
// Capture block receiver (capture thread; the end of the recording comes on the GUI thread from
// inside the stop's freeCapture, never at the same time as another block); `user` is the App.
// Appends the block to record_buffer and feeds the monitoring stream. Returns false, appending
// nothing, when the block would take the recording past what a WAV header can describe; the
// recording is then stopped on the GUI thread as if the user had stopped it, and the user is told
// why (unless the user had stopped it already).
bool OnRecordData(audio::Handle channel, const void* data, std::uint32_t bytes, void* user);

// The engine said the device of the running recording is lost (GUI thread, from a queued call):
// stops it as the user would, keeping what was captured before the loss. False, doing nothing,
// when that recording is no longer running (the user stopped it, or another one runs).
bool StopAtDeviceLoss(App& app);
// Available memory fell below the safe margin during a take (GUI thread): the recording is
// stopped as at the WAV size limit, kept in memory, and the user is told. Does nothing when no
// recording runs.
void StopAtLowMemory(App& app);

// WAV bits per sample for the sample flags of 组合框3: 8, 16, 24 or 32 (float).
std::uint16_t bitsForSampleFlags(std::uint32_t flags);

}  // namespace quillar
