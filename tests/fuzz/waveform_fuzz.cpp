// Any bytes as a recording file: the header is read, the waveform and the ruler are drawn from
// memory and again from a file read frame by frame, and both pictures must agree. Nothing may
// crash, read outside the input or take longer than a picture should.
#include <QApplication>
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "kit/drawing_board.h"
#include "playback/time_ruler.h"
#include "playback/wav_header.h"
#include "playback/waveform_view.h"

using namespace quillar;

namespace {

// Smaller than the window's boards (664 x 91 and 672 x 27): every path of the drawing is still
// taken, and the fuzzer runs many times more inputs.
struct Boards {
    Boards() {
        wave.resize(96, 24);
        ruler.resize(104, 27);
    }
    DrawingBoard wave;
    DrawingBoard ruler;
    QTemporaryDir dir;
};

Boards* g_boards = nullptr;

void check(bool ok) {
    if (!ok) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv);
    g_boards = new Boards;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArrayView bytes(data, qsizetype(size));
    const WavHeader fromBytes = ReadWavHeader(bytes);

    QByteArray copy = bytes.toByteArray();
    QBuffer device(&copy);
    device.open(QIODevice::ReadOnly);
    const WavHeader fromDevice = ReadWavHeader(device);
    check(fromBytes.fmt.channels == fromDevice.fmt.channels &&
          fromBytes.data.chunk_size == fromDevice.data.chunk_size &&
          fromBytes.fmt.byte_rate == fromDevice.fmt.byte_rate);

    const WaveformSource src = waveformSourceOf(bytes);
    check(src.dataSize >= 0 && src.dataSize <= std::int64_t(size));
    check(src.sampleBytes >= 0 && src.sampleBytes <= std::int64_t(size));
    check(std::isfinite(src.seconds) && src.seconds >= 0);

    Boards& b = *g_boards;
    drawWaveform(b.wave, src);
    DrawTimeRuler(b.ruler, float(src.seconds), b.wave.width());
    const QImage inMemory = b.wave.canvas();

    const QString path = b.dir.filePath("input.wav");
    QFile out(path);
    check(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(copy);
    out.close();
    QFile in(path);
    check(in.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    const WaveformSource read = waveformSourceOf(in, SampleAccess::Read);
    check(read.dataSize == src.dataSize && read.seconds == src.seconds);
    drawWaveform(b.wave, read);
    check(b.wave.canvas() == inMemory);
    return 0;
}
