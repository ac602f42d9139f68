// Cost of the input level meter's look at the input, every 50 ms for as long as an input is open:
// reading what the capture channel took in since the last look, the peaks and noise windows, and
// drawing on the spectrum board. At 20 looks a second, 100 us is 0.2 % of a core.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>

#include "bench_application.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "quality/level_meter.h"
#include "spectrum/level_meter_display.h"
#include "support/test_app.h"

namespace {

using namespace quillar;

bool KeepCapturing(audio::Handle, const void*, std::uint32_t, void*) {
    return true;
}

constexpr std::uint32_t kRate = 48000;
constexpr std::int64_t kTickFrames = kRate / 20;

// A whole program for the meter: a capture channel on the simulated device hearing a voice-like
// tone in a quiet room, and the window's spectrum board.
struct OpenInput {
    OpenInput() {
        t.sim.setSignal([](int channel, std::int64_t frame) {
            static thread_local std::minstd_rand noise(7);
            const double s = double(frame) / kRate;
            return 0.3 * std::sin(2 * std::numbers::pi * (channel ? 220.0 : 440.0) * s) +
                   0.001 * (double(noise() % 2001) / 1000.0 - 1.0);
        });
        t.engine.openCapture(0);
        channel = t.engine.startCapture(kRate, 2, 0, &KeepCapturing, nullptr);
        t.form.画板2->resize(668, 104);
        for (int i = 0; i < 60; ++i) {  // three seconds of noise windows already
            t.sim.pumpCapture(kTickFrames);
            OnMeterTick(t.app, channel, i * 50);
        }
    }
    ~OpenInput() { t.engine.freeCapture(); }
    QApplication& application = bench::Application();  // before the window
    test::TestApp t;
    audio::Handle channel = 0;
};

// One look as the timer makes it: the last 50 ms of 48 kHz stereo read, measured and drawn.
void BM_MeterTick(benchmark::State& state) {
    OpenInput input;
    std::int64_t now = 3000;
    for (auto _ : state) {
        state.PauseTiming();
        input.t.sim.pumpCapture(kTickFrames);
        state.ResumeTiming();
        OnMeterTick(input.t.app, input.channel, now += 50);
    }
}
BENCHMARK(BM_MeterTick)->Unit(benchmark::kMicrosecond);

// The parts of a look: the figures alone, and the drawing alone.
void BM_MeterFeed(benchmark::State& state) {
    std::vector<float> samples(2 * kTickFrames);
    std::minstd_rand random(1);
    for (float& s : samples) {
        s = float(random() % 2001) / 4000.0f - 0.25f;
    }
    quality::LevelMeter meter;
    meter.restart(kRate, 2);
    std::int64_t now = 0;
    for (auto _ : state) {
        meter.feed(samples.data(), kTickFrames, now += 50);
        benchmark::DoNotOptimize(meter.noiseFloorDbfs());
    }
}
BENCHMARK(BM_MeterFeed)->Unit(benchmark::kMicrosecond);

void BM_MeterDraw(benchmark::State& state) {
    OpenInput input;
    for (auto _ : state) {
        DrawLevelMeter(*input.t.form.画板2, input.t.app.state.level_meter);
    }
}
BENCHMARK(BM_MeterDraw)->Unit(benchmark::kMicrosecond);

}  // namespace
