// Costs of the audio engine's hot paths: what the capture thread pays per device chunk, what a
// playback callback pays per render, and what the 30 ms display tick pays for level and FFT.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "audio/audio_backend.h"
#include "audio/audio_engine.h"
#include "audio/sample_packing.h"

namespace quillar::audio {
namespace {

// A backend that hands the engine's sink and sources to the benchmark, so that it can drive
// them the way a device thread would, without any simulation cost in the loop.
class DirectBackend : public AudioBackend {
  public:
    CaptureSink* sink = nullptr;
    std::map<std::uint32_t, OutputSource*> sources;

    std::vector<std::string> captureDevices() override { return {"bench"}; }
    bool openCapture(int, const AudioFormat&, CaptureSink* s) override {
        sink = s;
        return true;
    }
    void setCapturePaused(bool) override {}
    void closeCapture() override { sink = nullptr; }
    bool initOutput(int, int, EndListener*) override { return true; }
    void freeOutput() override { sources.clear(); }
    bool openOutput(std::uint32_t id, const AudioFormat&, OutputSource* source) override {
        sources[id] = source;
        return true;
    }
    void setOutputPlaying(std::uint32_t, bool) override {}
    void requestOutputPlaying(std::uint32_t) override {}
    void closeOutput(std::uint32_t id) override { sources.erase(id); }
};

bool keep(Handle, const void* data, std::uint32_t, void*) {
    benchmark::DoNotOptimize(data);
    return true;
}

struct Rig {
    Rig(std::uint32_t rate, std::uint32_t flags, std::uint32_t channels = 2) {
        auto b = std::make_unique<DirectBackend>();
        backend = b.get();
        engine = std::make_unique<AudioEngine>(std::move(b));
        engine->openCapture(0);
        handle = engine->startCapture(rate, channels, flags, &keep, nullptr);
    }
    DirectBackend* backend = nullptr;
    std::unique_ptr<AudioEngine> engine;
    Handle handle = 0;
};

// One 1024-frame device chunk through the capture path (ring, position, block assembly and,
// every few chunks, the delivery of a 100 ms block). Arguments: rate, sample flags, channels.
void BM_CaptureChunk(benchmark::State& state) {
    const auto rate = static_cast<std::uint32_t>(state.range(0));
    const auto flags = static_cast<std::uint32_t>(state.range(1));
    const auto channels = static_cast<std::uint32_t>(state.range(2));
    Rig rig(rate, flags, channels);
    const std::uint32_t bytesPerSample = flags == kSampleFloat   ? 4
                                         : flags == kSample24Bit ? 3
                                         : flags == kSample8Bit  ? 1
                                                                 : 2;
    std::vector<std::uint8_t> chunk(1024 * channels * bytesPerSample, 0x40);
    for (auto _ : state) {
        rig.backend->sink->captured(chunk.data(), static_cast<std::uint32_t>(chunk.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * chunk.size()));
}
BENCHMARK(BM_CaptureChunk)
    ->Args({44100, 0, 2})
    ->Args({48000, 256, 2})
    ->Args({8000, 1, 2})
    ->Args({48000, kSample24Bit, 2})
    ->Args({44100, kSample24Bit, 1})
    ->Args({44100, 0, 1});

// What a 24-bit capture adds on the device thread: SDL hands over 32-bit samples, which the
// backend packs to 3 bytes before the engine sees them. One 1024-frame stereo chunk; the
// baseline copies the same 32-bit chunk to a buffer as large, the least any repacking costs.
void BM_PackChunkTo24Bit(benchmark::State& state) {
    const bool pack = state.range(0) != 0;
    std::vector<std::int32_t> chunk(1024 * 2, 0x12345600);
    std::vector<std::uint8_t> out(chunk.size() * 4);
    for (auto _ : state) {
        if (pack) {
            packS32ToS24(chunk.data(), out.data(), chunk.size());
        } else {
            std::memcpy(out.data(), chunk.data(), chunk.size() * 4);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * chunk.size() * 4));
}
BENCHMARK(BM_PackChunkTo24Bit)->ArgName("pack")->Arg(0)->Arg(1);

// The display tick: level plus a full FFT frame of the recording channel.
void BM_LevelAndSpectrum(benchmark::State& state) {
    Rig rig(44100, 0);
    std::vector<std::int16_t> chunk(2048 * 2);
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        chunk[i] = static_cast<std::int16_t>(10000 * std::sin(0.1 * static_cast<double>(i / 2)));
    }
    rig.backend->sink->captured(chunk.data(), static_cast<std::uint32_t>(chunk.size() * 2));
    float spectrum[1024];
    for (auto _ : state) {
        benchmark::DoNotOptimize(rig.engine->level(rig.handle));
        rig.engine->spectrum2048(rig.handle, spectrum);
        benchmark::DoNotOptimize(spectrum[7]);
    }
}
BENCHMARK(BM_LevelAndSpectrum);

// Monitoring: a 100 ms block pushed from the capture thread, rendered in 1024-frame callbacks.
void BM_PushAndRender(benchmark::State& state) {
    auto b = std::make_unique<DirectBackend>();
    DirectBackend* backend = b.get();
    AudioEngine engine(std::move(b));
    engine.initOutput(-1, 44100);
    const Handle s = engine.createPushStream(44100, 2, 0);
    engine.play(s, false);
    OutputSource* source = backend->sources.at(s);
    std::vector<std::uint8_t> block(4410 * 4, 1);
    std::vector<std::uint8_t> out(1024 * 4);
    for (auto _ : state) {
        engine.pushData(s, block.data(), static_cast<std::uint32_t>(block.size()));
        for (int i = 0; i < 4; ++i) {
            source->render(out.data(), static_cast<std::uint32_t>(out.size()));
        }
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_PushAndRender);

}  // namespace
}  // namespace quillar::audio
