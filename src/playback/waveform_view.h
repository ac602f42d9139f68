// The waveform of a recording file on 画板3 (grid and trace) and its time ruler on 画板5. Only the
// header and the sampled frames are read, so an hour-long recording draws about as fast as a
// one-second one.
#pragma once

#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <cstdint>

#include "audio/wav_layout.h"

namespace quillar {

struct App;
class DrawingBoard;

// What the view draws from: a file's layout, read by the engine's WAV reader, and where its sample
// bytes are. The samples are either in memory (borrowed) or read a few bytes at a time from an
// open file descriptor.
struct WaveformSource {
    audio::WavLayout layout;
    bool wav = false;                       // the layout is a WAV the engine reads
    std::int64_t dataSize = 0;              // bytes of data, never more than the file holds
    double seconds = 0.0;                   // duration; 0 when the byte rate gives none
    std::int64_t sampleBytes = 0;           // readable sample bytes; reads beyond give 0
    const std::uint8_t* samples = nullptr;  // first sample byte, when in memory
    int fd = -1;                            // else: the file, read with pread
    std::int64_t fileOffset = 0;            // file offset of the first sample byte
};

// Never trusts the header: the "data" chunk is found by walking the chunks, a data size beyond the
// file is cut to what the file holds, and a byte rate of 0 or beyond 2^31 - 1 leaves the duration
// at 0. The sample bytes run from the data to the end of the file. Any thread.
WaveformSource waveformSourceOf(QByteArrayView file);

// How ShowWaveform reaches the samples. Mapping costs a page fault per 64 KiB window touched,
// reading costs a system call per sampled frame: the first is cheaper for short files, the
// second for long ones, where every frame the trace samples lies on a page of its own.
enum class SampleAccess { Automatic, Map, Read };

// The source of an open file. With Map, `file` stays mapped until it is closed or unmapped; with
// Read, the source reads from the file's descriptor, which must stay open while it is used.
WaveformSource waveformSourceOf(QFile& file, SampleAccess access = SampleAccess::Automatic);

// Clears `board` and draws the grid and trace of `source` in its layout (1 or 2 channels of 8 or
// 16-bit PCM; 24-bit PCM and 32-bit float with the geometry of 16 bits); other formats leave the
// board cleared. The board's own height decides the scale: full scale just reaches the edge of
// its band. GUI thread.
void drawWaveform(DrawingBoard& board, const WaveformSource& source);

// Draws the waveform of the WAV file at `path` on 画板3 and its ruler on 画板5, and records the
// path and duration in waveform_path and waveform_seconds. Processes no events. GUI thread.
void ShowWaveform(App& app, const QString& path);
void ShowWaveform(App& app, const QString& path, SampleAccess access);

}  // namespace quillar
