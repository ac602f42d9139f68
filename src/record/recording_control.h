// Starting, pausing, resuming and stopping a recording, and the capture callback that collects it.
//
// The window's side of the take: the Recorder (record/recorder.h) holds its life; these handlers
// ask it, and the captions of 按钮1 and 按钮4, 编辑框1 and the enabled states follow its state
// (ProgramState::recording_state).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "audio/audio_engine.h"
#include "quality/take_judge.h"

namespace quillar {

struct App;
class RecordBuffer;

// Click on 按钮1 (GUI thread): starts a take for the item selected now, or stops the one that
// runs. It acts at once, whatever earlier takes still close. Afterwards no take runs (and 编辑框1
// reads "停止中") exactly when a recording has just stopped, or a start failed.
void ToggleRecording(App& app);
// The same for Enter in the item list: a take begun so is saved to its item when it closes, and
// so is any take stopped so.
void ToggleRecording(App& app, bool fromItemList);
// Hands-free (GUI thread): begins a take for the item selected now, the pre-roll before frame
// `onset` of the kept input's stream, saved to its item as an Enter take is and logged as begun
// by the voice; without `onset`, as Enter begins one. False when none began.
bool StartHandsFreeTake(App& app, std::optional<std::uint64_t> onset);
// Stops the running take into its item at frame `end` of the kept input's stream (now, as Enter,
// without one), its post-roll after, and judges what it holds so far.
quality::Judgement StopHandsFreeTake(App& app, std::optional<std::uint64_t> end);
// The recorder tick's part for hands-free recording: the mode follows the option 自动录音 and the
// kept input, and hears what the input captured since the last look (GUI thread).
void FeedHandsFree(App& app);
// Whether a take runs, opening, recording or paused (GUI thread).
bool TakeRunning(const App& app);
// Whether stopped takes are still closing (their post-roll comes in) and none runs.
bool TakeClosing(const App& app);
// The recording the status texts count: the take underway, else record_buffer.
const RecordBuffer& ShownRecording(const App& app);
// The window is going: lets the takes still closing collect their post-roll, waiting at most
// `patience`, then closes them with what came. True when none is left underway (GUI thread; the
// closed takes then wait to be saved).
bool LetClosingTakesFinish(App& app, std::chrono::milliseconds patience);
// Click on 按钮4 (GUI thread).
void PauseOrResume(App& app);
// Makes the recorder (the event wiring, once): its changes reach OnRecorderChange, then `then`.
// A take that reaches the WAV size limit or low memory is stopped as the user would, saying why,
// once the notification is over.
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
