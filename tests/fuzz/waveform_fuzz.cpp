// Any bytes as a recording file: its chunks are read, the waveform and the ruler are drawn from
// memory and again from a file read frame by frame, and both pictures must agree. Nothing may
// crash, read outside the input or take longer than a picture should.
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "kit/drawing_board.h"
#include "playback/time_ruler.h"
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
    QByteArray copy = bytes.toByteArray();
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
