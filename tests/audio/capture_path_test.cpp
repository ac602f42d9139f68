// The capture path never waits for the window thread: blocks keep reaching the receiver and the
// monitoring stream while the window thread reads the analysis, re-arms monitoring, or is stuck
// closing a device. Meant to run under ThreadSanitizer too.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/sim_backend.h"

namespace quillar::audio {
namespace {

// What the recorder's block receiver does with the engine: feed and start monitoring.
struct Receiver {
    AudioEngine* engine = nullptr;
    std::atomic<Handle> monitor{0};
    std::atomic<std::int64_t> blocks{0};
    std::atomic<std::int64_t> fed{0};  // blocks the monitoring stream took

    static bool receive(Handle, const void* data, std::uint32_t bytes, void* user) {
        auto* r = static_cast<Receiver*>(user);
        const Handle monitor = r->monitor.load(std::memory_order_acquire);
        if (r->engine->pushData(monitor, data, bytes) >= 0) {
            r->fed.fetch_add(1, std::memory_order_relaxed);
        }
        r->engine->play(monitor, false);
        r->blocks.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
};

class CapturePath : public testing::Test {
  protected:
    CapturePath() : engine(makeBackend()) { receiver.engine = &engine; }

    std::unique_ptr<AudioBackend> makeBackend() {
        auto backend = std::make_unique<SimBackend>();
        sim = backend.get();
        return backend;
    }

    // 8-bit mono at the lowest rate: a block is 100 bytes, so a million of them stay quick.
    Handle start() {
        EXPECT_TRUE(engine.initOutput(-1, 44100));
        EXPECT_TRUE(engine.openCapture(0));
        return engine.startCapture(kRate, 1, kSample8Bit, &Receiver::receive, &receiver);
    }

    static constexpr std::uint32_t kRate = 1000;
    SimBackend* sim = nullptr;
    AudioEngine engine;
    Receiver receiver;
};

TEST_F(CapturePath, AMillionBlocksBesideAWindowThreadThatReadsAndTogglesMonitoring) {
    const Handle rec = start();
    ASSERT_NE(rec, 0u);
    constexpr std::int64_t kBlocks = 1000000;
    constexpr std::int64_t kBlocksPerPump = 10;
    std::atomic<bool> done{false};
    std::thread capture([&] {
        for (std::int64_t i = 0; i < kBlocks / kBlocksPerPump; ++i) {
            sim->pumpCapture(kBlocksPerPump * kRate / 10);
        }
        done = true;
    });

    std::vector<float> scratch(2048 * 2);
    std::int64_t rounds = 0;
    std::int64_t toggles = 0;
    while (!done.load()) {
        EXPECT_NE(engine.level(rec), 0xFFFFFFFFu);
        engine.spectrum2048(rec, scratch.data());
        engine.latestSamples(rec, scratch.data(), 512);
        EXPECT_GE(engine.positionBytes(rec), 0);
        sim->pumpOutput(64);
        if (++rounds % 3 == 0) {
            // Unticked, then ticked again: the receiver may be holding the old handle.
            engine.freeStream(receiver.monitor.exchange(0));
            if (rounds % 2 == 0) {
                receiver.monitor = engine.createPushStream(kRate, 1, kSample8Bit);
                ++toggles;
            }
        }
    }
    capture.join();
    EXPECT_EQ(receiver.blocks.load(), kBlocks);
    EXPECT_EQ(engine.positionBytes(rec), kBlocks * kRate / 10);
    EXPECT_GT(toggles, 0);
    EXPECT_GT(receiver.fed.load(), 0) << "monitoring was fed between the toggles";
    engine.freeCapture();
    engine.freeOutput();
}

// The level meter's reads beside a capture thread that keeps writing: every frame read is the
// one it claims to be, in order, and what a slow reader missed is counted, never replaced by
// newer audio in its place.
TEST_F(CapturePath, ReadsSinceACursorBesideTheCaptureThreadAreWholeAndInOrder) {
    const auto mark = [](std::int64_t frame) {
        return static_cast<float>(static_cast<double>(frame % 30000) / 30000.0);
    };
    sim->setSignal(
        [&](int channel, std::int64_t frame) { return channel == 0 ? double{mark(frame)} : 0.25; });
    ASSERT_TRUE(engine.openCapture(0));
    const Handle rec = engine.startCapture(48000, 2, kSampleFloat, &Receiver::receive, &receiver);
    ASSERT_NE(rec, 0u);
    constexpr std::int64_t kFrames = 600000;
    std::atomic<bool> done{false};
    std::thread capture([&] {
        for (std::int64_t f = 0; f < kFrames; f += 240) {  // 5 ms periods
            sim->pumpCapture(240);
        }
        done = true;
    });
    std::vector<float> out(2 * 4096);
    std::uint64_t cursor = 0;
    std::int64_t expected = 0;
    std::uint64_t missed = 0;
    for (;;) {
        const bool ended = done.load();  // then everything left is read
        std::uint64_t skipped = 0;
        const std::uint32_t got = engine.samplesSince(rec, &cursor, out.data(), 4096, &skipped);
        expected += static_cast<std::int64_t>(skipped);
        missed += skipped;
        for (std::uint32_t f = 0; f < got; ++f, ++expected) {
            ASSERT_EQ(out[2 * f], mark(expected)) << "frame " << expected;
            ASSERT_EQ(out[2 * f + 1], 0.25f);
        }
        if (ended && got == 0 && skipped == 0) {
            break;
        }
        if (got < 4096) {
            std::this_thread::yield();
        }
    }
    capture.join();
    EXPECT_EQ(expected, kFrames);
    EXPECT_EQ(cursor, static_cast<std::uint64_t>(kFrames));
    RecordProperty("missed", static_cast<int>(missed));
    engine.freeCapture();
}

// The window thread closing the monitoring stream's device (which a sound server can take its
// time over) while holding whatever it holds: the capture thread feeds on regardless.
TEST_F(CapturePath, AWindowThreadStuckClosingMonitoringNeverHoldsUpCapture) {
    std::mutex gate;
    std::condition_variable changed;
    bool closing = false;
    bool release = false;
    sim->setCloseOutputHook([&] {
        std::unique_lock lock(gate);
        closing = true;
        changed.notify_all();
        changed.wait(lock, [&] { return release; });
    });
    const Handle rec = start();
    ASSERT_NE(rec, 0u);
    receiver.monitor = engine.createPushStream(kRate, 1, kSample8Bit);
    sim->pumpCaptureBlock();
    ASSERT_EQ(engine.state(receiver.monitor), 1);

    std::thread window([&] { engine.freeStream(receiver.monitor.load()); });
    {
        std::unique_lock lock(gate);
        changed.wait(lock, [&] { return closing; });
    }
    std::atomic<bool> pumped{false};
    std::thread capture([&] {
        for (int i = 0; i < 50; ++i) {
            sim->pumpCaptureBlock();
        }
        pumped = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!pumped && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(pumped.load()) << "capture waited for the window thread";
    {
        std::lock_guard lock(gate);
        release = true;
    }
    changed.notify_all();
    capture.join();
    window.join();
    EXPECT_EQ(receiver.blocks.load(), 51);
    sim->setCloseOutputHook(nullptr);
    engine.freeCapture();
}

// What the receiver was handed, block by block.
struct Blocks {
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint32_t> sizes;

    static bool receive(Handle, const void* data, std::uint32_t n, void* user) {
        auto* b = static_cast<Blocks*>(user);
        const auto* p = static_cast<const std::uint8_t*>(data);
        b->bytes.insert(b->bytes.end(), p, p + n);
        b->sizes.push_back(n);
        return true;
    }
};

struct MonitorFormat {
    const char* name;
    std::uint32_t channels;
    std::uint32_t flags;
    std::uint32_t frameBytes;
};

class MonitoringFormats : public CapturePath, public testing::WithParamInterface<MonitorFormat> {};

TEST_P(MonitoringFormats, MonitoringHearsEachPeriodAsCapturedAndTheBlocksHoldTheSameBytes) {
    const MonitorFormat& format = GetParam();
    constexpr std::uint32_t kRate8k = 8000;
    constexpr std::int64_t kPeriod = 40;  // 5 ms
    const std::uint32_t kFrame = format.frameBytes;
    sim->setSignal([](int c, std::int64_t f) { return ((f * 7 + c * 3) % 1000) / 1000.0 - 0.5; });
    Blocks blocks;
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    ASSERT_TRUE(engine.openCapture(0));
    ASSERT_NE(
        engine.startCapture(kRate8k, format.channels, format.flags, &Blocks::receive, &blocks), 0u);
    const Handle monitor = engine.createPushStream(kRate8k, format.channels, format.flags);
    ASSERT_TRUE(engine.monitorCapture(monitor));

    // Each period is queued the moment it is captured, long before its block is complete.
    for (int i = 1; i <= 3; ++i) {
        sim->pumpCapture(kPeriod);
        EXPECT_EQ(sim->queuedBytes(monitor), i * kPeriod * kFrame);
    }
    EXPECT_EQ(engine.state(monitor), 1) << "the first period starts the stream";
    EXPECT_TRUE(blocks.sizes.empty());

    // Then a capture thread in 5 ms periods beside a playback thread that drains monitoring.
    constexpr int kPeriods = 2000;  // 10 s
    std::atomic<bool> done{false};
    std::thread capture([&] {
        for (int i = 0; i < kPeriods; ++i) {
            sim->pumpCapture(kPeriod);
            // A device keeps time with the output: each period is played about as it is
            // captured. A capture let run 100 ms ahead (on a slow or loaded machine, under
            // ThreadSanitizer) builds a standing lag that monitoring rightly drops.
            while (sim->queuedBytes(monitor) > 2 * kPeriod * kFrame) {
                std::this_thread::yield();
            }
        }
        done = true;
    });
    while (!done.load()) {
        sim->pumpOutput(kPeriod);
    }
    capture.join();
    engine.freeCapture();
    while (sim->queuedBytes(monitor) > 0) {
        sim->pumpOutput(kPeriod);
    }

    const std::size_t captured = static_cast<std::size_t>(sim->capturedFrames()) * kFrame;
    ASSERT_EQ(blocks.bytes.size(), captured);
    for (std::size_t i = 0; i + 1 < blocks.sizes.size(); ++i) {
        ASSERT_EQ(blocks.sizes[i], kRate8k / 10 * kFrame) << "block " << i;
    }
    EXPECT_TRUE(sim->playedBytes(monitor) == blocks.bytes)
        << "monitoring heard exactly what was recorded, once";
    engine.freeOutput();
}

INSTANTIATE_TEST_SUITE_P(Formats, MonitoringFormats,
                         testing::Values(MonitorFormat{"Stereo16", 2, 0, 4},
                                         MonitorFormat{"Mono24", 1, kSample24Bit, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quillar::audio
