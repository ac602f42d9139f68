// Starting, pausing, resuming and stopping a recording, and the capture callback that collects it.
//
// The window's side of the take: the Recorder (record/recorder.h) holds its life; these handlers
// ask it, and the captions of 按钮1 and 按钮4, 编辑框1 and the enabled states follow its state
// (ProgramState::recording_state).
#pragma once

#include <cstdint>
#include <functional>

#include "audio/audio_engine.h"

namespace quillar {

struct App;

// Click on 按钮1 and Enter in the item list (GUI thread). Afterwards no take runs (and 编辑框1
// reads "停止中") exactly when a recording has just stopped, or a start failed (record_buffer is
// then empty).
void ToggleRecording(App& app);
// Whether a take runs, opening, recording or paused (GUI thread).
bool TakeRunning(const App& app);
// Whether a stopped take is still closing: its post-roll comes in, or its device closes.
bool TakeClosing(const App& app);
// Closes a closing take at once with what it has, and waits for that (the window is going).
void FinishClosingTake(App& app);
// Click on 按钮4 (GUI thread).
void PauseOrResume(App& app);
// Makes the recorder (the event wiring, once): its changes reach OnRecorderChange, and a block
// refused at the WAV size limit stops the take as the user would, saying why.
void MakeRecorder(App& app, std::function<void(int)> then = {});
// Opens the device of 组合框1 in the format of 组合框2, 组合框3 and the channel option and keeps
// it open between takes, when the options say so (else closes it); nothing while a take runs.
// Start-up, a change of those boxes or of the options (GUI thread).
void KeepInputOpen(App& app);
// A device call was handed to the worker outside a take (the device list): the recorder's tick
// looks until it is done, so that a server that does not answer is said (GUI thread).
void WatchDeviceCalls(App& app);
// A change of the recorder (a Recorder::Change, GUI thread): the window follows.
void OnRecorderChange(App& app, int change);
// 按钮1's caption, 编辑框1 and 按钮4 from the recorder's state, and the look at a take that
// opens, closes or waits started (GUI thread).
void FollowRecorder(App& app);
// Tick of 时钟_录音收尾: moves a closing or waiting take on, and says when the sound server does
// not answer (GUI thread).
void OnRecorderTick(App& app);

// The engine said the device of the running recording is lost (GUI thread, from a queued call):
// stops it as the user would, keeping what was captured before the loss. False, doing nothing,
// when that recording is no longer running (the user stopped it, or another one runs).
bool StopAtDeviceLoss(App& app);
// Available memory fell below the safe margin during a take (GUI thread): the recording is
// stopped as at the WAV size limit, kept in memory, and the user is told. Does nothing when no
// recording runs.
void StopAtLowMemory(App& app);

}  // namespace quillar
