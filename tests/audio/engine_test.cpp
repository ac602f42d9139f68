// The audio engine over the simulated backend: capture blocks, streams, end notices, analysis and
// handle safety, all pumped deterministically.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>
#include <thread>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/sim_backend.h"
#include "audio_test_util.h"

namespace quillar::audio {
namespace {

using test::wavImage;

struct Blocks {
    std::vector<std::uint32_t> sizes;
    std::vector<Handle> handles;
    std::vector<std::thread::id> threads;
    std::vector<std::uint8_t> bytes;
    bool keepGoing = true;
};

bool collect(Handle channel, const void* data, std::uint32_t bytes, void* user) {
    auto* b = static_cast<Blocks*>(user);
    b->sizes.push_back(bytes);
    b->handles.push_back(channel);
    b->threads.push_back(std::this_thread::get_id());
    const auto* p = static_cast<const std::uint8_t*>(data);
    b->bytes.insert(b->bytes.end(), p, p + bytes);
    return b->keepGoing;
}

class EngineTest : public ::testing::Test {
  protected:
    EngineTest() : sim(*new SimBackend), engine(std::unique_ptr<AudioBackend>(&sim)) {}

    Handle startCapture(std::uint32_t rate, std::uint32_t flags, std::uint32_t channels = 2) {
        EXPECT_TRUE(engine.openCapture(0));
        return engine.startCapture(rate, channels, flags, &collect, &blocks);
    }

    SimBackend& sim;
    AudioEngine engine;
    Blocks blocks;
};

struct FormatCase {
    std::uint32_t rate;
    std::uint32_t flags;
    std::uint32_t bytesPerSample;
    std::uint32_t channels = 2;
};

class CaptureFormatTest : public EngineTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(CaptureFormatTest, DeliversWholeTenthSecondBlocks) {
    const auto [rate, flags, bps, channels] = GetParam();
    const Handle h = startCapture(rate, flags, channels);
    ASSERT_NE(h, 0u);
    const std::uint32_t blockBytes = rate / 10 * channels * bps;

    sim.pumpCapture(rate / 10 * 3 + rate / 20);  // three and a half blocks
    ASSERT_EQ(blocks.sizes.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(blocks.sizes[i], blockBytes);
        EXPECT_EQ(blocks.handles[i], h);
    }
    sim.pumpCapture(rate / 10 - rate / 20);  // completes the fourth
    EXPECT_EQ(blocks.sizes.size(), 4u);

    // The position counts every byte captured, the partial block included.
    EXPECT_EQ(engine.positionBytes(h), 4 * std::int64_t{blockBytes});
    EXPECT_DOUBLE_EQ(engine.bytesToSeconds(h, engine.positionBytes(h)), 4.0 * (rate / 10) / rate);
    EXPECT_EQ(engine.channelCount(h), channels);
    EXPECT_EQ(engine.sampleRate(h), rate);
    EXPECT_TRUE(engine.hasFormat(h, rate, channels, flags));
    EXPECT_TRUE(engine.hasFormat(h, rate, channels, flags | 0x10000))
        << "only the width bits count";
    EXPECT_FALSE(engine.hasFormat(h, rate, channels, flags ^ 256));
    EXPECT_FALSE(engine.hasFormat(h, rate + 1, channels, flags));
    EXPECT_FALSE(engine.hasFormat(h, rate, 3 - channels, flags));
    EXPECT_EQ(engine.state(h), 1);

    const auto opens = sim.captureOpens();
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].rate, rate);
    EXPECT_EQ(opens[0].channels, channels);
    EXPECT_EQ(opens[0].flags, flags);
}

INSTANTIATE_TEST_SUITE_P(Formats, CaptureFormatTest,
                         ::testing::Values(FormatCase{8000, 1, 1}, FormatCase{11025, 0, 2},
                                           FormatCase{22050, 256, 4}, FormatCase{44100, 0, 2},
                                           FormatCase{44100, 1, 1}, FormatCase{48000, 256, 4},
                                           FormatCase{48000, 0, 2}, FormatCase{44100, 1024, 3},
                                           FormatCase{48000, 1024, 3, 1},
                                           FormatCase{44100, 0, 2, 1}));

TEST_F(EngineTest, CapturedBytesFollowTheSampleFormat) {
    // Left +0.5, right -0.25: the exact bytes each width must carry.
    sim.setSignal([](int channel, std::int64_t) { return channel == 0 ? 0.5 : -0.25; });
    struct Case {
        std::uint32_t flags;
        std::uint32_t channels;
        std::vector<std::uint8_t> frame;
    };
    const float fl = 0.5f, fr = -0.25f;
    std::vector<std::uint8_t> floatFrame(8);
    std::memcpy(floatFrame.data(), &fl, 4);
    std::memcpy(floatFrame.data() + 4, &fr, 4);
    const Case cases[] = {
        {kSample8Bit, 2, {192, 96}},
        {0, 2, {0x00, 0x40, 0x00, 0xE0}},  // 16384, -8192 little-endian
        {kSampleFloat, 2, floatFrame},
        {kSample24Bit, 2, {0x00, 0x00, 0x40, 0x00, 0x00, 0xE0}},  // 4194304, -2097152
        {kSample24Bit, 1, {0x00, 0x00, 0x40}},                    // the left channel alone
        {0, 1, {0x00, 0x40}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.flags << " " << c.channels);
        blocks = {};
        const Handle h = startCapture(8000, c.flags, c.channels);
        sim.pumpCaptureBlock();
        ASSERT_EQ(blocks.sizes.size(), 1u);
        ASSERT_EQ(blocks.sizes[0], 800 * c.frame.size());
        EXPECT_TRUE(std::equal(c.frame.begin(), c.frame.end(), blocks.bytes.begin()));
        // One channel reads as both in the level, as a mono input sounds on both sides.
        EXPECT_EQ(engine.level(h),
                  c.channels == 2 ? 16384u | (8192u << 16) : 16384u | (16384u << 16));
        float latest[4];
        ASSERT_TRUE(engine.latestSamples(h, latest, 2));
        EXPECT_FLOAT_EQ(latest[0], 0.5f);
        EXPECT_FLOAT_EQ(latest[c.channels == 2 ? 3 : 1], c.channels == 2 ? -0.25f : 0.5f);
        engine.freeCapture();
    }
}

TEST_F(EngineTest, LevelFollowsTheLatestTwentyMilliseconds) {
    // A loud first half-block, then silence: 50 ms later the level must read silent.
    sim.setSignal([](int, std::int64_t frame) { return frame < 400 ? 0.9 : 0.0; });
    const Handle h = startCapture(8000, 0);
    sim.pumpCapture(400);
    EXPECT_NEAR(engine.level(h) & 0xFFFF, 0.9 * 32768, 1);
    sim.pumpCapture(400);
    EXPECT_EQ(engine.level(h), 0u);
}

TEST_F(EngineTest, PauseStopsDeliveryAndPosition) {
    const Handle h = startCapture(8000, 0);
    sim.pumpCaptureBlock();
    const auto pos = engine.positionBytes(h);
    ASSERT_TRUE(engine.pause(h));
    EXPECT_EQ(engine.state(h), 3);
    sim.pumpCaptureBlock();
    sim.pumpCapture(12345);
    EXPECT_EQ(blocks.sizes.size(), 1u);
    EXPECT_EQ(engine.positionBytes(h), pos);

    ASSERT_TRUE(engine.play(h, false));
    EXPECT_EQ(engine.state(h), 1);
    sim.pumpCaptureBlock();
    EXPECT_EQ(blocks.sizes.size(), 2u);
    EXPECT_EQ(engine.positionBytes(h), 2 * pos);
}

// 16-bit left samples that count the frames, so a lost or repeated stretch shows.
double countingSignal(int channel, std::int64_t frame) {
    return channel == 0 ? static_cast<double>(frame % 30000 - 15000) / 32768.0 : 0.0;
}

// True when `bytes` holds stereo 16-bit frames 0, 1, 2, ... of countingSignal, none missing.
::testing::AssertionResult holdsFramesInOrder(const std::vector<std::uint8_t>& bytes,
                                              std::int64_t frames) {
    if (static_cast<std::int64_t>(bytes.size()) != frames * 4) {
        return ::testing::AssertionFailure()
               << bytes.size() / 4 << " frames kept, " << frames << " captured";
    }
    for (std::int64_t f = 0; f < frames; ++f) {
        std::int16_t left = 0;
        std::memcpy(&left, bytes.data() + f * 4, 2);
        if (left != f % 30000 - 15000) {
            return ::testing::AssertionFailure() << "frame " << f << " reads " << left;
        }
    }
    return ::testing::AssertionSuccess();
}

// The device holds a chunk in flight at every pause: it was captured before the click, and
// pausing keeps it, so the take is exactly what was captured between the clicks.
TEST_F(EngineTest, PausesKeepTheChunkInFlight) {
    sim.setSignal(countingSignal);
    sim.setHoldsChunkInFlight(true);
    const Handle h = startCapture(44100, 0);
    for (int i = 0; i < 5; ++i) {
        sim.pumpCapture(3000 + 1777 * i);
        ASSERT_TRUE(sim.chunkInFlight());
        ASSERT_TRUE(engine.pause(h));
        EXPECT_FALSE(sim.chunkInFlight());
        EXPECT_EQ(engine.positionBytes(h), sim.capturedFrames() * 4) << "pause " << i;
        sim.pumpCapture(5000);  // while paused: never captured
        ASSERT_TRUE(engine.play(h, false));
    }
    sim.setHoldsChunkInFlight(false);
    sim.pumpCapture(2500);
    EXPECT_EQ(engine.positionBytes(h), sim.capturedFrames() * 4);
    engine.freeCapture();
    EXPECT_TRUE(holdsFramesInOrder(blocks.bytes, sim.capturedFrames()));
}

// A receiver that pauses inside its block: the rest of that chunk was counted already, and is
// kept for the next block instead of vanishing.
TEST_F(EngineTest, PauseFromInsideABlockKeepsTheRestOfTheChunk) {
    struct Pauser {
        AudioEngine* engine;
        Blocks blocks;
    } pauser{&engine, {}};
    sim.setSignal(countingSignal);
    ASSERT_TRUE(engine.openCapture(0));
    const Handle h = engine.startCapture(
        8000, 2, 0,
        [](Handle channel, const void* data, std::uint32_t bytes, void* user) {
            auto* p = static_cast<Pauser*>(user);
            p->engine->pause(channel);
            return collect(channel, data, bytes, &p->blocks);
        },
        &pauser);
    sim.pumpCapture(900);  // one block of 800 frames ends inside the first 1024-frame chunk
    EXPECT_EQ(engine.state(h), 3);
    EXPECT_EQ(engine.positionBytes(h), 900 * 4);
    engine.freeCapture();
    EXPECT_TRUE(holdsFramesInOrder(pauser.blocks.bytes, 900));
}

TEST_F(EngineTest, ReceiverReturningFalseStopsDelivery) {
    const Handle h = startCapture(8000, 0);
    blocks.keepGoing = false;
    sim.pumpCapture(8000);  // ten blocks' worth
    EXPECT_EQ(blocks.sizes.size(), 1u);
    EXPECT_EQ(engine.state(h), 0);
}

TEST_F(EngineTest, FreeCaptureEndsDeliveryAndClosesTheDevice) {
    const Handle h = startCapture(8000, 0);
    sim.pumpCaptureBlock();
    engine.freeCapture();
    sim.pumpCaptureBlock();
    EXPECT_EQ(blocks.sizes.size(), 1u);
    EXPECT_EQ(sim.captureOpenCount(), 0);
    EXPECT_EQ(engine.state(h), -1);
    EXPECT_EQ(engine.level(h), 0xFFFFFFFFu);
    // The device can be opened again for the next recording.
    EXPECT_NE(startCapture(8000, 0), 0u);
}

// A distinct value for every frame (and both channels) at each width, so a misplaced, repeated
// or stale byte in the last block shows.
double rampSignal(int channel, std::int64_t frame) {
    return static_cast<double>((frame * 7 + channel * 3) % 200) / 100.0 - 1.0;
}

struct RestCase {
    std::uint32_t flags;
    std::int64_t frames;      // pumped at 8000 Hz, block = 800 frames
    bool pauseBeforeFree;     // paused after pumping; frames pumped while paused must not count
    std::uint32_t restBytes;  // expected size of the delivery made by freeCapture, 0 = none
};

TEST_F(EngineTest, FreeCaptureDeliversThePartialBlockOnce) {
    sim.setSignal(&rampSignal);
    const RestCase cases[] = {
        {1, 2 * 800 + 137, false, 137 * 2},  // 8-bit
        {0, 2 * 800 + 1, false, 1 * 4},      // 16-bit, a single frame
        {256, 799, false, 799 * 8},          // float, one frame short of a block
        {0, 3 * 800, false, 0},              // ends on a block: nothing more, never empty
        {256, 0, false, 0},                  // nothing captured
        {1, 800 + 300, true, 300 * 2},       // paused: what came before the pause
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "flags " << c.flags << ", frames " << c.frames);
        blocks = {};
        const Handle h = startCapture(8000, c.flags);
        ASSERT_NE(h, 0u);
        sim.pumpCapture(c.frames);
        if (c.pauseBeforeFree) {
            ASSERT_TRUE(engine.pause(h));
            sim.pumpCapture(555);
        }
        const std::size_t fullBlocks = blocks.sizes.size();
        const std::uint32_t frameBytes = 2 * (c.flags == 1 ? 1 : c.flags == 256 ? 4 : 2);
        ASSERT_EQ(fullBlocks, static_cast<std::size_t>(c.frames / 800));

        engine.freeCapture();
        ASSERT_EQ(blocks.sizes.size(), fullBlocks + (c.restBytes > 0 ? 1 : 0));
        if (c.restBytes > 0) {
            EXPECT_EQ(blocks.sizes.back(), c.restBytes);
            EXPECT_EQ(blocks.sizes.back() % frameBytes, 0u);
            EXPECT_EQ(blocks.handles.back(), h);
            EXPECT_EQ(blocks.threads.back(), std::this_thread::get_id());
        }
        // Nothing after freeCapture returns, and a second free has nothing left to give.
        const std::size_t delivered = blocks.sizes.size();
        sim.pumpCapture(1234);
        engine.freeCapture();
        EXPECT_EQ(blocks.sizes.size(), delivered);

        // Everything the device captured arrived, in order: the same bytes as one uninterrupted
        // capture of the same signal.
        const std::int64_t captured = sim.capturedFrames();
        EXPECT_EQ(static_cast<std::int64_t>(blocks.bytes.size()), captured * frameBytes);
        const std::vector<std::uint8_t> got = blocks.bytes;
        blocks = {};
        ASSERT_NE(startCapture(8000, c.flags), 0u);
        sim.pumpCapture(captured + 800);
        ASSERT_GE(blocks.bytes.size(), got.size());
        EXPECT_TRUE(std::equal(got.begin(), got.end(), blocks.bytes.begin()));
        engine.freeCapture();
    }
}

TEST_F(EngineTest, ReceiverThatSaidStopGetsNoPartialBlock) {
    const Handle h = startCapture(8000, 0);
    blocks.keepGoing = false;
    sim.pumpCapture(800 + 400);
    ASSERT_EQ(blocks.sizes.size(), 1u);
    EXPECT_EQ(engine.state(h), 0);
    sim.pumpCapture(200);
    engine.freeCapture();
    EXPECT_EQ(blocks.sizes.size(), 1u);
}

TEST_F(EngineTest, DestroyingTheEngineHandsNothingOver) {
    // The receiver's owner usually goes before the engine: the destructor must not call it.
    auto backend = std::make_unique<SimBackend>();
    SimBackend& other = *backend;
    Blocks late;
    {
        AudioEngine doomed(std::move(backend));
        ASSERT_TRUE(doomed.openCapture(0));
        ASSERT_NE(doomed.startCapture(8000, 2, 0, &collect, &late), 0u);
        other.pumpCapture(500);
    }
    EXPECT_TRUE(late.sizes.empty());
}

// What the lost-device notice saw, on which thread.
struct LostNotices {
    std::atomic<int> count{0};
    std::atomic<Handle> channel{0};
};

TEST_F(EngineTest, LostDeviceKeepsTheAudioBeforeItAndNothingAfter) {
    LostNotices lost;
    engine.setCaptureLostNotice([&](Handle h) {
        lost.channel = h;
        ++lost.count;
    });
    sim.setSignal([](int, std::int64_t) { return 0.5; });
    const Handle h = startCapture(8000, 0);
    sim.pumpCapture(800 + 300);  // a block and 300 frames
    EXPECT_FALSE(engine.captureLost(h));

    sim.loseCapture();
    sim.loseCapture();         // told once
    sim.pumpCapture(800 * 3);  // the silence a dead server's driver goes on giving
    EXPECT_EQ(lost.count, 1);
    EXPECT_EQ(lost.channel, h);
    EXPECT_TRUE(engine.captureLost(h));
    EXPECT_EQ(blocks.sizes.size(), 1u) << "no block made of padding";

    engine.freeCapture();
    ASSERT_EQ(blocks.sizes.size(), 2u);
    EXPECT_EQ(blocks.sizes[1], 300u * 4) << "the frames before the loss, no padding";
    EXPECT_EQ(blocks.bytes.size(), 1100u * 4);
    EXPECT_FALSE(engine.captureLost(h)) << "a freed channel is no channel";

    // The next recording is a fresh one.
    const Handle next = startCapture(8000, 0);
    sim.pumpCapture(800);
    EXPECT_FALSE(engine.captureLost(next));
    EXPECT_EQ(blocks.sizes.size(), 3u);
    EXPECT_EQ(lost.count, 1);
}

TEST_F(EngineTest, CaptureThatStallsIsStalledNotLostAndGoesOnWhenItComesBack) {
    LostNotices lost;
    engine.setCaptureLostNotice([&](Handle) { ++lost.count; });
    const Handle h = startCapture(8000, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(kCaptureStallMs + 400));
    EXPECT_FALSE(engine.captureStalled(h)) << "a device yet to deliver its first audio waits";
    sim.pumpCapture(800);
    ASSERT_TRUE(engine.pause(h));
    std::this_thread::sleep_for(std::chrono::milliseconds(kCaptureStallMs + 400));
    EXPECT_FALSE(engine.captureStalled(h)) << "paused is not stalled";

    ASSERT_TRUE(engine.play(h, false));
    sim.pumpCapture(400);
    const auto since = std::chrono::steady_clock::now();
    while (!engine.captureStalled(h) &&
           std::chrono::steady_clock::now() - since < std::chrono::milliseconds(5000)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(engine.captureStalled(h));
    EXPECT_GE(std::chrono::steady_clock::now() - since,
              std::chrono::milliseconds(kCaptureStallMs - 100));
    EXPECT_EQ(lost.count, 0) << "a server that hangs may come back";
    EXPECT_FALSE(engine.captureLost(h));

    sim.pumpCapture(800);  // it came back
    EXPECT_FALSE(engine.captureStalled(h));
    engine.freeCapture();
    EXPECT_EQ(blocks.bytes.size(), 2000u * 4) << "before and after the stall, in one take";
}

TEST_F(EngineTest, DeviceListingAndOpening) {
    sim.setDevices({"Default", "USB microphone", "Monitor of speakers"});
    std::string name;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(engine.captureDeviceName(i, &name));
    }
    EXPECT_EQ(name, "Monitor of speakers");
    EXPECT_FALSE(engine.captureDeviceName(3, &name));
    EXPECT_FALSE(engine.captureDeviceName(-1, &name));

    EXPECT_FALSE(engine.openCapture(3));
    EXPECT_EQ(engine.startCapture(8000, 2, 0, &collect, &blocks), 0u) << "nothing opened";
    EXPECT_TRUE(engine.openCapture(2));
    EXPECT_FALSE(engine.openCapture(1)) << "one device at a time";
    EXPECT_NE(engine.startCapture(8000, 2, 0, &collect, &blocks), 0u);
    EXPECT_EQ(engine.startCapture(8000, 2, 0, &collect, &blocks), 0u) << "one channel at a time";
    EXPECT_EQ(sim.captureOpens().at(0).device, 2);
}

TEST_F(EngineTest, FailingDeviceYieldsNoChannel) {
    sim.setCaptureFails(true);
    EXPECT_EQ(startCapture(44100, 0), 0u);
    sim.pumpCaptureBlock();
    EXPECT_TRUE(blocks.sizes.empty());
    engine.freeCapture();
    EXPECT_EQ(sim.captureOpenCount(), 0);
}

TEST_F(EngineTest, NoDevicesNoOutput) {
    sim.setDevices({});
    sim.setOutputAvailable(false);
    EXPECT_FALSE(engine.captureDeviceName(0, nullptr));
    EXPECT_FALSE(engine.openCapture(0));
    EXPECT_FALSE(engine.initOutput(-1, 44100));
    EXPECT_EQ(engine.createPushStream(44100, 2, 0), 0u);
    const auto image = wavImage(44100, 2, 16, std::vector<std::uint8_t>(400));
    EXPECT_EQ(engine.createMemoryStream(image.data(), image.size()), 0u);
    engine.freeOutput();
    engine.freeCapture();
}

TEST_F(EngineTest, PushStreamPlaysWhatItHoldsAndWaitsWhenDry) {
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    const Handle s = engine.createPushStream(8000, 2, 0);
    ASSERT_NE(s, 0u);
    EXPECT_EQ(engine.state(s), 0);
    std::vector<std::uint8_t> data(400 * 4);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7);
    }
    EXPECT_EQ(engine.pushData(s, data.data(), 1000), 1000);
    EXPECT_EQ(engine.pushData(s, data.data() + 1000, 600), 1600);
    sim.pumpOutput(100);
    EXPECT_TRUE(sim.playedBytes(s).empty()) << "not playing before play()";

    ASSERT_TRUE(engine.play(s, false));
    sim.pumpOutput(150);
    EXPECT_EQ(sim.queuedBytes(s), 1000);
    sim.pumpOutput(1000);  // runs dry
    EXPECT_EQ(sim.playedBytes(s), data);
    EXPECT_EQ(engine.state(s), 1) << "a dry push stream waits, it does not end";
    EXPECT_EQ(engine.positionBytes(s), 1600);

    // Fed again, it resumes on its own; play() on a playing stream changes nothing.
    engine.pushData(s, data.data(), 8);
    EXPECT_TRUE(engine.play(s, false));
    sim.pumpOutput(10);
    EXPECT_EQ(sim.playedBytes(s).size(), 1608u);

    // Restart drops what is queued.
    engine.pushData(s, data.data(), 400);
    ASSERT_TRUE(engine.play(s, true));
    EXPECT_EQ(sim.queuedBytes(s), 0);
    EXPECT_EQ(engine.positionBytes(s), 0);
}

TEST_F(EngineTest, PushStreamBacklogIsBounded) {
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    const std::uint32_t rate = 8000;
    const Handle s = engine.createPushStream(rate, 2, 0);
    const std::int64_t limit = rate * kPushQueueLimitMs / 1000 * 4;
    // One second of audio whose frames are numbered, pushed in 100 ms blocks without playing.
    std::vector<std::int16_t> second(rate * 2);
    for (std::size_t f = 0; f < rate; ++f) {
        second[2 * f] = second[2 * f + 1] = static_cast<std::int16_t>(f);
    }
    std::int64_t queued = 0;
    for (std::size_t b = 0; b < 10; ++b) {
        queued = engine.pushData(s, second.data() + b * rate / 10 * 2, rate / 10 * 4);
        EXPECT_LE(queued, limit);
    }
    EXPECT_EQ(queued, limit);
    engine.play(s, false);
    sim.pumpOutput(rate);
    // What survives is the newest audio, whole frames, in order.
    const auto played = sim.playedBytes(s);
    ASSERT_EQ(static_cast<std::int64_t>(played.size()), limit);
    std::int16_t first, last;
    std::memcpy(&first, played.data(), 2);
    std::memcpy(&last, played.data() + played.size() - 2, 2);
    EXPECT_EQ(last, static_cast<std::int16_t>(rate - 1));
    EXPECT_EQ(first, static_cast<std::int16_t>(rate - limit / 4));
}

TEST_F(EngineTest, MemoryStreamPlaysInPlaceAndNotifiesOnce) {
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    std::vector<std::uint8_t> data(8000 * 4 / 2);  // half a second, 8 kHz 16-bit stereo
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i % 251);
    }
    const auto image = wavImage(8000, 2, 16, data);
    const Handle s = engine.createMemoryStream(image.data(), image.size());
    ASSERT_NE(s, 0u);
    std::atomic<int> notices = 0;
    Handle notified = 0;
    EXPECT_NE(engine.setEndNotice(s,
                                  [&](Handle h) {
                                      ++notices;
                                      notified = h;
                                  }),
              0u);
    EXPECT_EQ(engine.lengthBytes(s), static_cast<std::int64_t>(data.size()));
    EXPECT_DOUBLE_EQ(engine.bytesToSeconds(s, engine.lengthBytes(s)), 0.5);
    EXPECT_EQ(engine.channelCount(s), 2u);

    ASSERT_TRUE(engine.play(s, true));
    sim.pumpOutput(1000);
    EXPECT_EQ(engine.positionBytes(s), 4000);
    EXPECT_EQ(notices, 0);
    sim.pumpOutput(3000);  // 4000 frames is exactly the end
    sim.pumpOutput(3000);
    sim.pumpOutput(3000);
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(notified, s);
    EXPECT_EQ(sim.playedBytes(s), data);
    EXPECT_EQ(engine.state(s), 0);
    EXPECT_EQ(engine.positionBytes(s), engine.lengthBytes(s));
    EXPECT_EQ(sim.playingStreamCount(), 0);

    // Played again from the start, it ends again.
    ASSERT_TRUE(engine.play(s, false));
    sim.pumpOutput(8000);
    EXPECT_EQ(notices, 2);
}

TEST_F(EngineTest, PausedMemoryStreamHoldsItsPlace) {
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    const auto image = wavImage(8000, 2, 16, std::vector<std::uint8_t>(8000));
    const Handle s = engine.createMemoryStream(image.data(), image.size());
    engine.play(s, true);
    sim.pumpOutput(500);
    ASSERT_TRUE(engine.pause(s));
    EXPECT_EQ(engine.state(s), 3);
    EXPECT_EQ(engine.level(s), 0u);
    sim.pumpOutput(500);
    EXPECT_EQ(engine.positionBytes(s), 2000);
    engine.play(s, false);
    sim.pumpOutput(500);
    EXPECT_EQ(engine.positionBytes(s), 4000);
}

TEST_F(EngineTest, FreedStreamNeverNotifies) {
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    const auto image = wavImage(8000, 2, 16, std::vector<std::uint8_t>(400));
    int notices = 0;
    const Handle s = engine.createMemoryStream(image.data(), image.size());
    engine.setEndNotice(s, [&](Handle) { ++notices; });
    engine.play(s, true);
    EXPECT_TRUE(engine.freeStream(s));
    EXPECT_FALSE(engine.freeStream(s));
    sim.pumpOutput(1000);
    EXPECT_EQ(notices, 0);
    EXPECT_EQ(sim.openStreamCount(), 0);
}

TEST_F(EngineTest, NoticeMayFreeItsOwnStream) {
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    const auto image = wavImage(8000, 2, 8, std::vector<std::uint8_t>(100, 128));
    const Handle s = engine.createMemoryStream(image.data(), image.size());
    bool freed = false;
    engine.setEndNotice(s, [&](Handle h) { freed = engine.freeStream(h); });
    engine.play(s, true);
    sim.pumpOutput(1000);
    EXPECT_TRUE(freed);
    EXPECT_EQ(engine.state(s), -1);
}

TEST_F(EngineTest, FreeOutputFreesEveryStream) {
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    const Handle push = engine.createPushStream(44100, 2, 256);
    const auto image = wavImage(8000, 1, 8, std::vector<std::uint8_t>(100, 128));
    const Handle mem = engine.createMemoryStream(image.data(), image.size());
    const Handle rec = startCapture(8000, 0);
    engine.freeOutput();
    EXPECT_FALSE(sim.outputOpen());
    EXPECT_EQ(engine.state(push), -1);
    EXPECT_EQ(engine.state(mem), -1);
    EXPECT_EQ(engine.state(rec), 1) << "recording is freed by freeCapture only";
    EXPECT_EQ(engine.createPushStream(44100, 2, 0), 0u);
}

TEST_F(EngineTest, BadHandlesFailWithoutEffect) {
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    const Handle freedStream = engine.createPushStream(8000, 2, 0);
    engine.freeStream(freedStream);
    const Handle freedRecording = startCapture(8000, 0);
    engine.freeCapture();
    const Handle live = engine.createPushStream(8000, 2, 0);
    const auto image = wavImage(8000, 2, 16, std::vector<std::uint8_t>(400));
    const Handle mem = engine.createMemoryStream(image.data(), image.size());
    const Handle sync = engine.setEndNotice(mem, [](Handle) {});

    for (const Handle h : {Handle{0}, freedStream, freedRecording, sync, Handle{0xDEADBEEF}}) {
        SCOPED_TRACE(h);
        float buf[1024] = {7.0f};
        std::uint8_t bytes[16] = {};
        EXPECT_FALSE(engine.play(h, true));
        EXPECT_FALSE(engine.pause(h));
        EXPECT_EQ(engine.state(h), -1);
        EXPECT_EQ(engine.pushData(h, bytes, sizeof bytes), -1);
        EXPECT_EQ(engine.setEndNotice(h, [](Handle) {}), 0u);
        EXPECT_FALSE(engine.freeStream(h));
        EXPECT_EQ(engine.level(h), 0xFFFFFFFFu);
        EXPECT_EQ(engine.positionBytes(h), -1);
        EXPECT_EQ(engine.lengthBytes(h), -1);
        EXPECT_LT(engine.bytesToSeconds(h, 1000), 0.0);
        EXPECT_EQ(engine.channelCount(h), 0u);
        EXPECT_EQ(engine.sampleRate(h), 0u);
        EXPECT_FALSE(engine.hasFormat(h, 44100, 2, 0));
        EXPECT_FALSE(engine.latestSamples(h, buf, 512));
        EXPECT_FALSE(engine.spectrum2048(h, buf));
        EXPECT_EQ(buf[0], 7.0f) << "output untouched";
    }
    // Nothing above disturbed the live streams.
    EXPECT_EQ(engine.state(live), 0);
    EXPECT_EQ(engine.pushData(live, image.data(), 8), 8);
    EXPECT_EQ(engine.state(mem), 0);
    // Wrong kinds: a memory stream takes no pushed data, a recording is no stream to free.
    EXPECT_EQ(engine.pushData(mem, image.data(), 8), -1);
    const Handle rec = startCapture(8000, 0);
    EXPECT_FALSE(engine.freeStream(rec));
    EXPECT_EQ(engine.lengthBytes(rec), -1);
}

TEST_F(EngineTest, MemoryStreamImages) {
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    const std::vector<std::uint8_t> pcm(400, 1);
    const auto good = wavImage(8000, 2, 16, pcm);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> image;
        std::int64_t length;  // -1: rejected
    };
    auto withList = good;  // a LIST chunk between "fmt " and "data"
    const std::uint8_t list[] = {'L', 'I', 'S', 'T', 3, 0, 0, 0, 'a', 'b', 'c', 0};
    withList.insert(withList.begin() + 36, std::begin(list), std::end(list));
    withList[4] += sizeof list;
    auto cutShort = good;  // data size says more than the image holds
    cutShort.resize(44 + 101);
    auto notRiff = good;
    notRiff[0] = 'X';
    auto dataFirst = good;  // no format before the data
    std::copy_n("data", 4, dataFirst.begin() + 12);
    struct Fmt {
        int tag, bits;
    };
    auto withFmt = [&](int tag, int bits) {
        auto image = wavImage(8000, 2, bits, pcm);
        image[20] = static_cast<std::uint8_t>(tag);
        return image;
    };
    const Case cases[] = {
        {"canonical 16-bit", good, 400},
        {"8-bit", wavImage(8000, 2, 8, pcm), 400},
        {"float", withFmt(3, 32), 400},
        {"32-bit integer", withFmt(1, 32), 400},
        {"mono", wavImage(8000, 1, 16, pcm), 400},
        {"extra chunk before data", withList, 400},
        {"data cut short, whole frames kept", cutShort, 100},
        {"header only", wavImage(8000, 2, 16, {}), 0},
        {"not RIFF", notRiff, -1},
        {"data before fmt", dataFirst, -1},
        {"24-bit, played as 32-bit", wavImage(8000, 2, 24, std::vector<std::uint8_t>(600)), 800},
        {"24-bit mono", wavImage(8000, 1, 24, std::vector<std::uint8_t>(600)), 800},
        {"compressed", withFmt(2, 16), -1},
        {"truncated header", std::vector<std::uint8_t>(good.begin(), good.begin() + 30), -1},
        {"empty", {}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Handle s = engine.createMemoryStream(c.image.data(), c.image.size());
        if (c.length < 0) {
            EXPECT_EQ(s, 0u);
        } else {
            ASSERT_NE(s, 0u);
            EXPECT_EQ(engine.lengthBytes(s), c.length);
            engine.freeStream(s);
        }
    }
    EXPECT_EQ(engine.createMemoryStream(nullptr, 100), 0u);
}

TEST_F(EngineTest, SpectrumOfABinCentredSineReadsOne) {
    constexpr int kBin = 93;
    const std::uint32_t rate = 44100;
    const double freq = kBin * static_cast<double>(rate) / 2048;
    for (const std::uint32_t flags : {0u, kSampleFloat, kSample24Bit}) {
        SCOPED_TRACE(flags);
        sim.setSignal([&](int, std::int64_t f) {
            return 0.999 * std::sin(2 * std::numbers::pi * freq * f / rate);
        });
        const Handle h = startCapture(rate, flags);
        sim.pumpCapture(4096);
        float spectrum[1024];
        ASSERT_TRUE(engine.spectrum2048(h, spectrum));
        EXPECT_NEAR(spectrum[kBin], 1.0, 0.01);
        // Hann leaks into the two neighbours only.
        EXPECT_NEAR(spectrum[kBin + 1], 0.5, 0.01);
        EXPECT_LT(spectrum[kBin + 3], 0.01);
        EXPECT_LT(spectrum[10], 0.01);
        engine.freeCapture();
    }
    // One channel of two carries the tone: mixing halves it.
    sim.setSignal([&](int c, std::int64_t f) {
        return c == 0 ? std::sin(2 * std::numbers::pi * freq * f / rate) : 0.0;
    });
    const Handle h = startCapture(rate, 256);
    sim.pumpCapture(2048);
    float spectrum[1024];
    ASSERT_TRUE(engine.spectrum2048(h, spectrum));
    EXPECT_NEAR(spectrum[kBin], 0.5, 0.01);
}

TEST_F(EngineTest, AnalysisFollowsWhatAStreamPlays) {
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    // 8-bit stereo: 1000 frames at +0.5 / -0.5, then 1000 silent frames.
    std::vector<std::uint8_t> pcm;
    for (int f = 0; f < 2000; ++f) {
        pcm.push_back(f < 1000 ? 192 : 128);
        pcm.push_back(f < 1000 ? 64 : 128);
    }
    const auto image = wavImage(8000, 2, 8, pcm);
    const Handle s = engine.createMemoryStream(image.data(), image.size());
    engine.play(s, true);
    sim.pumpOutput(900);
    EXPECT_EQ(engine.level(s), 16384u | (16384u << 16));
    float latest[2 * 512];
    ASSERT_TRUE(engine.latestSamples(s, latest, 512));
    EXPECT_FLOAT_EQ(latest[1022], 0.5f);
    EXPECT_FLOAT_EQ(latest[1023], -0.5f);
    sim.pumpOutput(600);
    EXPECT_EQ(engine.level(s), 0u);
}

// The frame number as the left sample, so that order, gaps and repeats show.
float frameMark(std::int64_t frame) {
    return static_cast<float>(static_cast<double>(frame % 30000) / 30000.0);
}

TEST_F(EngineTest, SamplesSinceReadsEveryCapturedFrameOnceInOrderAndSkipsWhatWasLapped) {
    sim.setSignal([](int channel, std::int64_t frame) {
        return channel == 0 ? double{frameMark(frame)} : -0.5;
    });
    const Handle h = startCapture(48000, kSampleFloat);
    ASSERT_NE(h, 0u);
    std::vector<float> out(2 * 200000);
    std::uint64_t cursor = AudioEngine::kFromNow;
    std::uint64_t skipped = 99;
    EXPECT_EQ(engine.samplesSince(h, &cursor, out.data(), 200000, &skipped), 0u);
    EXPECT_EQ(skipped, 0u);

    std::int64_t next = 0;  // the frame the reads should give next
    const auto expectFrom = [&](std::int64_t first, std::uint32_t got) {
        for (std::uint32_t f = 0; f < got; ++f) {
            ASSERT_EQ(out[2 * f], frameMark(first + f)) << "frame " << first + f;
            ASSERT_EQ(out[2 * f + 1], -0.5f);
        }
    };
    // Whole reads and reads in pieces both continue where the last one stopped.
    sim.pumpCapture(4800);
    std::uint32_t got = engine.samplesSince(h, &cursor, out.data(), 200000, &skipped);
    EXPECT_EQ(got, 4800u);
    expectFrom(next, got);
    next += got;
    sim.pumpCapture(3000);
    for (int piece = 0; piece < 3; ++piece) {
        got = engine.samplesSince(h, &cursor, out.data(), 1000, &skipped);
        EXPECT_EQ(got, 1000u);
        EXPECT_EQ(skipped, 0u);
        expectFrom(next, got);
        next += got;
    }
    EXPECT_EQ(engine.samplesSince(h, &cursor, out.data(), 1000, &skipped), 0u);

    // A reader away for longer than the ring holds gets the newest audio and the count it missed.
    sim.pumpCapture(200000);
    got = engine.samplesSince(h, &cursor, out.data(), 200000, &skipped);
    EXPECT_GT(got, 48000u);  // over a second kept
    EXPECT_EQ(skipped + got, 200000u);
    expectFrom(next + static_cast<std::int64_t>(skipped), got);

    std::uint64_t other = 0;
    EXPECT_EQ(engine.samplesSince(h + 1000, &other, out.data(), 10, &skipped), 0u);
    EXPECT_EQ(engine.samplesSince(0, &other, out.data(), 10, &skipped), 0u);
}

}  // namespace
}  // namespace quillar::audio
