// The waveform of a recording file on 画板3 (grid and trace) and its time ruler on 画板5. The file
// is memory-mapped and only the header and the sampled frames are touched, so an hour-long
// recording draws as fast as a one-second one.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <cstdint>

#include "playback/wav_header.h"

namespace quillar {

struct App;
class DrawingBoard;

// What the view draws from: the header and the sample bytes of one file's bytes (borrowed).
struct WaveformSource {
    WavHeader header;
    const std::uint8_t* samples = nullptr;  // first sample byte
    std::int64_t sampleBytes = 0;           // readable sample bytes; reads beyond give 0
    std::int64_t dataSize = 0;              // bytes of data, never more than the file holds
    double seconds = 0.0;                   // duration; 0 when the byte rate gives none
};

// Never trusts the header: a data size beyond the file (or with the top bit set) is cut to what
// the file holds, and a byte rate <= 0 leaves the duration at 0. Any thread.
WaveformSource waveformSourceOf(QByteArrayView file);

// Clears `board` and draws the grid and trace of `source` in its layout (1 or 2 channels of 8 or
// 16 bits); other formats leave the board cleared. The board's own width and height decide the
// scale. GUI thread.
void drawWaveform(DrawingBoard& board, const WaveformSource& source);

// Draws the waveform of the WAV file at `path` on 画板3 and its ruler on 画板5, and records the
// path and duration in waveform_path and waveform_seconds. Processes no events. GUI thread.
void ShowWaveform(App& app, const QString& path);

}  // namespace quillar
