// Playing an item's prompt (a recorded word for a speaker who cannot read) on the output, the way
// saved recordings play (a file stream read where it lies), and saying when it has ended and the
// room has had kPromptSettleMs to fall quiet, so that listening after it never takes the prompt
// for the speaker's voice. GUI thread only.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "audio/audio_engine.h"

namespace quillar {

struct App;

// From the end of a prompt to its `ended` call, ms: the last of its sound leaves the output
// device (a few tens of ms behind the stream) and the room's echo dies down.
inline constexpr int kPromptSettleMs = 300;
// How often a playing prompt is looked at, ms: its end is seen within this much.
inline constexpr int kPromptPollMs = 10;

// Plays the WAV file at `path` from its start, stopping a recording's playback, an audition or
// a prompt already playing. `ended` runs on the GUI thread once the file has played out (or its
// output went) and kPromptSettleMs more have passed. Given no `ended`, a prompt restarted while
// one with an `ended` plays or settles keeps that one, which then waits for the new end (F10
// during the hands-free mode's wait plays the prompt again, and the wait goes on). False when the
// file does not play (missing, not a WAV file the engine plays, no output): then nothing plays,
// `ended` is not called (one carried over settles as from now) and *why (if given) says why in
// one sentence.
bool PlayPromptFile(App& app, const QString& path, std::function<void()> ended,
                    QString* why = nullptr);
// Stops the prompt playing or settling: its `ended` is never called. Enter, a key that moves the
// selection, Ctrl's playback and the start of a take call it. Nothing when none plays.
void StopPrompt(App& app);
// Whether a prompt plays or settles (its `ended` still to come).
bool PromptActive(App& app);
// The engine's stream of the prompt playing now; 0 when none plays (also while it settles).
audio::Handle PromptStream(App& app);

// One look at the prompt, as its timer takes it (tests step it by hand).
void PollPrompt(App& app);
// The clock the settling is measured on, ms; the steady clock unless a test sets its own (an
// empty function goes back to the steady clock).
void SetPromptClock(App& app, std::function<std::int64_t()> clockMs);

}  // namespace quillar
