// The program-wide variables shared by the handlers of several subsystems. Values written by the
// capture thread are atomics; everything else belongs to the GUI thread.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>

#include "audio/audio_engine.h"
#include "kit/record_buffer.h"

namespace quillar {

struct ProgramState {
    // Captured bytes while recording; the complete WAV image after a non-empty recording.
    RecordBuffer record_buffer;
    // Recording channel, stored by the capture callback (capture thread), read by the GUI thread.
    std::atomic<audio::Handle> record_handle{0};
    // Byte count of the latest captured block (capture thread writes, GUI thread reads).
    std::atomic<std::uint32_t> last_block_size{0};
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
    // The file the waveform view shows and its duration in seconds.
    QString waveform_path;
    float waveform_seconds = 0.0f;
};

}  // namespace quillar
