// Cost of drawing a recording's waveform and ruler, from the path to the pixels on the boards.
// The view reads only the header and the sampled frames, so a one-hour recording should cost
// about what a one-second one does (target: under 10 ms each).
#include <benchmark/benchmark.h>

#include "bench_application.h"
#include "bench_recording.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <memory>
#include <random>

#include "audio/audio_engine.h"
#include "audio/sim_backend.h"
#include "kit/app.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "playback/time_ruler.h"
#include "playback/waveform_view.h"
#include "record/wav_image.h"
#include "support/scripted_ui.h"

namespace {

using namespace quillar;

using quillar::bench::Application;

// A shown window on the simulated engine, as the program has it while an item is selected.
struct Window {
    Window() : engine(std::make_unique<audio::SimBackend>()), form(engine), app(engine, ui, form) {
        form.show();
    }
    audio::AudioEngine engine;
    test::ScriptedUi ui;
    MainForm form;
    App app;
};

// A 44100 Hz stereo 16-bit recording of speech-like noise bursts, written once per length.
QString Recording(int seconds) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QString("rec_%1s.wav").arg(seconds));
    if (QFile::exists(path)) {
        return path;
    }
    std::minstd_rand noise(11);
    return bench::writeStereo16Recording(
        path, seconds, [&noise](int s, std::vector<std::int16_t>& second) {
            for (std::size_t i = 0; i < second.size(); i += 2) {
                const double env = std::sin(double(i) / 9000.0 + s);
                const int v = int(env * env * (int(noise() % 20001) - 10000));
                second[i] = std::int16_t(v);
                second[i + 1] = std::int16_t(v / 2);
            }
        });
}

// Arguments: seconds of audio, and how the samples are reached (0 as the program chooses,
// 1 mapped, 2 read frame by frame).
void BM_ShowWaveform(benchmark::State& state) {
    Application();
    const QString path = Recording(int(state.range(0)));
    const auto access = static_cast<SampleAccess>(state.range(1));
    Window w;
    for (auto _ : state) {
        ShowWaveform(w.app, path, access);
    }
    state.SetLabel(QString("%1 MB").arg(QFile(path).size() / 1e6, 0, 'f', 1).toStdString());
}
BENCHMARK(BM_ShowWaveform)
    ->ArgsProduct({{1, 60, 3600}, {0}})
    ->ArgsProduct({{60, 600, 1200, 3600}, {1, 2}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The parts: the trace alone (board already sized) and the ruler alone.
void BM_DrawWaveformOnly(benchmark::State& state) {
    Application();
    QFile f(Recording(int(state.range(0))));
    f.open(QIODevice::ReadOnly);
    const uchar* mapped = f.map(0, f.size());
    const WaveformSource src = waveformSourceOf(QByteArrayView(mapped, f.size()));
    DrawingBoard board;
    board.resize(664, 91);
    board.show();
    for (auto _ : state) {
        drawWaveform(board, src);
    }
}
BENCHMARK(BM_DrawWaveformOnly)->Arg(1)->Arg(3600)->Unit(benchmark::kMillisecond);

// For comparison: the trace of a stereo 16-bit recording drawn as one board line per column
// (21150 lines, each with its own painter), instead of painting the pixels straight.
void BM_OneBoardLinePerColumn(benchmark::State& state) {
    Application();
    DrawingBoard board;
    board.resize(664, 91);
    board.show();
    board.setUnit(DrawingBoard::kFineUnits);
    board.setPenColour(QColor(0, 255, 0));
    for (auto _ : state) {
        for (int j = 1; j <= 21150; ++j) {
            const double x = j / 2;
            board.line(x, 455 - (j % 700), x, 455 + (j % 500));
        }
    }
}
BENCHMARK(BM_OneBoardLinePerColumn)->Unit(benchmark::kMillisecond);

void BM_TimeRuler(benchmark::State& state) {
    Application();
    DrawingBoard ruler;
    ruler.resize(672, 27);
    ruler.show();
    for (auto _ : state) {
        DrawTimeRuler(ruler, float(state.range(0)), 664);
    }
}
BENCHMARK(BM_TimeRuler)->Arg(1)->Arg(30)->Arg(300)->Arg(3600)->Unit(benchmark::kMillisecond);

}  // namespace
