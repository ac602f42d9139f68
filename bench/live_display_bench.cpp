// Cost of one spectrum frame, from the engine's data to the pixels on the board. A frame is drawn
// every 30 ms while recording, so 50 us is well under one percent of a core.
#include <benchmark/benchmark.h>

#include "bench_application.h"

#include <QApplication>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/sim_backend.h"
#include "kit/drawing_board.h"
#include "spectrum/live_display.h"
#include "spectrum/palette_frame.h"

namespace {

using namespace quillar;

using quillar::bench::Application;

bool KeepCapturing(audio::Handle, const void*, std::uint32_t, void*) {
    return true;
}

// A running recording on the simulated device, a tone plus noise on both channels, with the
// spectrum drawing onto a shown board of the window's size.
struct LiveRecording {
    LiveRecording() {
        Application();
        auto backend = std::make_unique<audio::SimBackend>();
        sim = backend.get();
        engine = std::make_unique<audio::AudioEngine>(std::move(backend));
        sim->setSignal([](int channel, std::int64_t frame) {
            static thread_local std::minstd_rand noise(7);
            const double t = double(frame) / 44100.0;
            return 0.4 * std::sin(2 * std::numbers::pi * (channel ? 880.0 : 440.0) * t) +
                   0.05 * (double(noise() % 2001) / 1000.0 - 1.0);
        });
        engine->openCapture(0);
        channel = engine->startCapture(44100, 2, 0, &KeepCapturing, nullptr);
        for (int i = 0; i < 3; ++i) {
            sim->pumpCaptureBlock();
        }
        board = std::make_unique<DrawingBoard>();
        board->setBackground(QColor(0, 0, 128));
        初始化频谱(*board, *engine);
        board->resize(668, 96);
        board->show();
        QApplication::processEvents();
    }
    ~LiveRecording() { engine->freeCapture(); }

    audio::SimBackend* sim = nullptr;
    std::unique_ptr<audio::AudioEngine> engine;
    audio::Handle channel = 0;
    std::unique_ptr<DrawingBoard> board;
};

// One whole frame in a picture style (0 wave, 1 bar), from the engine's data to the board, with
// no new audio between frames: a picture that stands still.
void BM_Frame(benchmark::State& state, int style) {
    LiveRecording live;
    if (live.channel == 0) {
        state.SkipWithError("no capture channel");
        return;
    }
    for (auto _ : state) {
        开始绘制频谱(live.channel, style);
    }
}
BENCHMARK_CAPTURE(BM_Frame, wave, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Frame, bar, 1)->Unit(benchmark::kMicrosecond);

// The same with the 30 ms of audio a status tick sees come in before each frame: the picture
// changes as it does while recording, and only its changed rows are converted and repainted.
void BM_FrameLive(benchmark::State& state, int style) {
    LiveRecording live;
    if (live.channel == 0) {
        state.SkipWithError("no capture channel");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        live.sim->pumpCapture(44100 * 30 / 1000);
        state.ResumeTiming();
        开始绘制频谱(live.channel, style);
    }
}
BENCHMARK_CAPTURE(BM_FrameLive, wave, 0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_FrameLive, bar, 1)->Unit(benchmark::kMicrosecond);

// The parts of a frame, to see where the time goes.
void BM_EngineFft(benchmark::State& state) {
    LiveRecording live;
    std::vector<float> bins(spectrum::kFftBins);
    for (auto _ : state) {
        live.engine->spectrum2048(live.channel, bins.data());
        benchmark::DoNotOptimize(bins.data());
    }
}
BENCHMARK(BM_EngineFft)->Unit(benchmark::kMicrosecond);

void BM_FillWaveFrame(benchmark::State& state) {
    std::vector<float> samples(2 * spectrum::kWaveFrames);
    std::minstd_rand random(1);
    for (float& s : samples) {
        s = float(random() % 2001) / 1000.0f - 1.0f;  // worst case: long runs in every column
    }
    spectrum::Frame frame;
    for (auto _ : state) {
        spectrum::FillWaveFrame(samples, 2, frame);
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_FillWaveFrame)->Unit(benchmark::kMicrosecond);

void BM_FillBarFrame(benchmark::State& state) {
    std::array<float, spectrum::kFftBins> bins;
    bins.fill(1.0f);  // every bar full height
    spectrum::Frame frame;
    for (auto _ : state) {
        spectrum::FillBarFrame(bins, frame);
        benchmark::DoNotOptimize(frame.data());
    }
}
BENCHMARK(BM_FillBarFrame)->Unit(benchmark::kMicrosecond);

void BM_CopyToBoard(benchmark::State& state) {
    Application();
    DrawingBoard board;
    board.resize(668, 96);
    board.show();
    QApplication::processEvents();
    spectrum::Frame frame{};
    QImage image(spectrum::kFrameWidth, spectrum::kFrameHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        spectrum::FrameToRgb32(frame, spectrum::ColourTable(), image);
        board.blit(0, 0, image);
    }
}
BENCHMARK(BM_CopyToBoard)->Unit(benchmark::kMicrosecond);

}  // namespace
