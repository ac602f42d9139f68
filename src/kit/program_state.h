// The program-wide variables shared by the handlers of several subsystems. Values written by the
// capture thread are atomics; everything else belongs to the GUI thread.
#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "audio/audio_engine.h"
#include "kit/record_buffer.h"
#include "kit/recording_options.h"
#include "naming/item_entry.h"
#include "quality/level_meter.h"
#include "quality/take_judge.h"
#include "session/session.h"

namespace quillar {

class PendingTakes;  // record/pending_takes.h
class Take;          // record/take.h

// Where a take is in its life. The captions of 按钮1 and 按钮4 and the text of 编辑框1 follow it;
// they are never read to decide anything, so they may be in any language.
enum class RecordingState {
    Idle,       // no take is underway (the latest one filed, if any, is in record_buffer)
    Recording,  // a take captures
    Paused,     // a take runs, its capture paused
    Closing,    // none runs; stopped takes collect their post-roll, then are saved as stopped
};

struct ProgramState {
    // The options of "[录音选项]". The program sets their defaults before the settings are read
    // (tests keep these, the recorder of old). GUI thread only.
    RecordingOptions options = RecordingOptions::withoutMargins();
    // Captured bytes while recording; the complete WAV image after a non-empty recording.
    RecordBuffer record_buffer;
    // Recording channel, stored by the capture callback (capture thread), read by the GUI thread.
    std::atomic<audio::Handle> record_handle{0};
    // Byte count of the latest captured block (capture thread writes, GUI thread reads).
    std::atomic<std::uint32_t> last_block_size{0};
    // The input level meter: the channel it reads (0: none), its cursor in that channel's audio
    // and its figures. GUI thread only.
    audio::Handle meter_channel = 0;
    std::uint64_t meter_cursor = 0;
    quality::LevelMeter level_meter;
    // Hands-free recording's look at the kept input: the channel and its cursor there. GUI
    // thread only.
    audio::Handle hands_free_channel = 0;
    std::uint64_t hands_free_cursor = 0;
    // Where the take is; GUI thread only.
    RecordingState recording_state = RecordingState::Idle;
    // Whether record_buffer is playing as an audition (按钮2's caption follows). GUI thread only.
    bool auditioning = false;
    // 1 while a live signal is shown; while 0 the notice label blinks. GUI thread only.
    int signal_active = 0;
    // Push stream fed by the capture callback while monitoring; 0 or stale when off.
    std::atomic<audio::Handle> monitor_stream{0};
    // Stream that plays record_buffer during an audition; stale after it ends. GUI thread only.
    audio::Handle audition_stream = 0;
    // Status timer ticks, 0..24, wrapping on the 25th. GUI thread only.
    int status_ticks = 0;
    // Consecutive silent status ticks; kept across recordings. GUI thread only.
    int silence_ticks = 0;
    // The judgement of the latest take of each file written in this session, by path, so that
    // its mark is right even when the take log could not be written. GUI thread only.
    QHash<QString, quality::Judgement> judged_takes;
    // The judgements the take log of `logged_folder` held when the quality line last read it,
    // by file name; cleared whenever the marks are set. GUI thread only.
    QHash<QString, quality::Judgement> logged_judgements;
    QString logged_folder;
    // A failing take log write is reported once, until a write works again. GUI thread only.
    bool take_log_failing = false;
    // The device index the kept input was opened for, and the recorder ticks since a lost one
    // was last tried. GUI thread only.
    int input_device = -1;
    int input_retry_ticks = 0;
    // The latest take filed, whose audio record_buffer holds (按钮2 plays it, 按钮3 saves it); its
    // journal, while it is in memory only, goes when the next take begins. GUI thread only.
    std::shared_ptr<Take> latest_take;
    // Takes whose auto-save failed, waiting on disk in the state folder until their folder can be
    // written; made at its first use (items/pending_saving.h). GUI thread only.
    std::shared_ptr<PendingTakes> pending_takes;
    // The latest item-file load, so that a slow read of an earlier one never replaces it, and the
    // thread reading a large item file (joined when dropped). GUI thread only.
    std::uint64_t item_load_generation = 0;
    bool item_file_loading = false;
    std::shared_ptr<std::thread> item_reader;
    // The word list as a table, row for row with the item list; null for a plain list, whose
    // items are the list's own texts. GUI thread only.
    std::shared_ptr<const ItemTable> item_table;
    // The session of the auto-save folder (its quillar-session.json); none when the folder has
    // none. GUI thread only.
    std::optional<Session> session;
    // Plays the prompt of the list's `row` and calls `done` on the GUI thread once it has ended
    // and the room has settled, or at once when the item has none; `done` never runs when a key
    // stopped the prompt. Set at start-up (items/item_prompt.h: PlayPromptThen); the hands-free
    // mode calls it before listening for an item's voice. Empty: listen at once. GUI thread only.
    std::function<void(int row, std::function<void()> done)> hands_free_prompt;
    // The file the waveform view shows and its duration in seconds.
    QString waveform_path;
    float waveform_seconds = 0.0f;
};

}  // namespace quillar
