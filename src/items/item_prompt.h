// An item's prompt: a recorded word played to a speaker who cannot read, so that they hear what
// to say. A table's prompt column (提示音 or prompt) names its file, absolute or relative to the
// word list's folder; else a folder 提示音 beside the word list holds it as <id>.wav (a table's
// id) or <item>.wav. It is found by the list's own fields and place, never by the recordings'
// names, so the same prompt plays whatever the name template.
#pragma once

#include <QString>
#include <functional>

#include "naming/item_entry.h"

namespace quillar {

struct App;

// The folder beside the word list that holds prompts by id or item.
inline constexpr char16_t kPromptFolderName[] = u"提示音";

struct PromptLookup {
    QString path;     // the prompt's file; empty when the item has none
    QString missing;  // the file a prompt cell names that is not there (then `path` is empty)
};

// The prompt of `entry` of the word list at `listPath`. A prompt cell is the item's prompt when
// it names a file and none when it names a missing one (a wrong name is reported, not passed
// over for another file); an empty cell, or a list without the column, leaves the folder. A
// backslash in a cell separates folders, as it does in lists written on Windows. Any thread.
PromptLookup FindPrompt(const QString& listPath, const ItemEntry& entry);

// The prompt file of the list's `row`; empty when it has none or there is no such row. GUI thread.
QString PromptOfRow(const App& app, int row);

// F10 on the item list: plays the current item's prompt between takes (playback/prompt_playback.h).
// While a take runs, is paused or closes it does nothing: the microphone would take the prompt
// into the take. An item without a prompt, or whose prompt does not play, says so in the
// playback notice, never in a box. GUI thread.
void PlayCurrentPrompt(App& app);

// Plays the prompt of `row` and calls `then` on the GUI thread kPromptSettleMs after its end; at
// once, before returning, when the item has no prompt or its prompt does not play (a named file
// missing or unplayable is shown in the playback notice). `then` never runs when the prompt is
// stopped (StopPrompt: Enter, a key that moves the selection, Ctrl's playback, a take's start).
// The hands-free mode's ProgramState::hands_free_prompt. GUI thread.
void PlayPromptThen(App& app, int row, std::function<void()> then);

}  // namespace quillar
