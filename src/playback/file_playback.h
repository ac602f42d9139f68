// Playing the current item's saved recording with the progress bar and the waveform cursor.
#pragma once

#include <QString>

namespace quillar {

namespace audio {
struct FileVerdict;
}
struct App;

// Click on 按钮_播放录音 and Ctrl in the item list (GUI thread). Plays the file named in
// 编辑框_当前录音文件 and returns at once; a timer polls the player every few milliseconds and
// moves 进度条1, 外形框2 and 标签_指针 in up to 100 steps, keeping 按钮_播放录音 disabled until
// the end. A call while a file plays starts again from the beginning. While a take runs or
// closes nothing plays (the microphone would hear it in the take): the notice says so instead.
void PlayCurrentRecording(App& app);

// 标签_播放提示, "录音中不能播放", shown over the spectrum for kNoPlaybackNoticeMs from now
// (again from now when it shows already): a request to play came during a take (GUI thread).
void ShowNoPlaybackDuringTake(App& app);
inline constexpr int kNoPlaybackNoticeMs = 2000;
// The same notice saying `text` (a few words: the label is 180 pixels wide), with `detail`, the
// whole of it, as its tool tip (GUI thread).
void ShowPlaybackNotice(App& app, const QString& text, const QString& detail = QString());

// Why a file the engine refused does not play, in one sentence (any thread).
QString WhyNotPlayable(const audio::FileVerdict& verdict);

// Whether a playback started by PlayCurrentRecording is still being polled.
bool IsPlayingCurrentRecording(App& app);

// Ends a playback started by PlayCurrentRecording as its own end does: player stopped,
// 进度条1 hidden, 外形框2 and 标签_指针 at their starts, 按钮_播放录音 enabled when
// 编辑框_当前录音文件 names a file. Another item's selection and the start of a recording call it,
// so that a take never outlives its item or plays into the microphone. Nothing when none plays.
// GUI thread.
void EndCurrentRecordingPlayback(App& app);

// One poll of the player, as the timer runs it (tests drive playback with it step by step).
void PollCurrentRecording(App& app);

}  // namespace quillar
