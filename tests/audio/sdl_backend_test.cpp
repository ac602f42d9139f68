// The engine over real devices: SDL against a private PulseAudio server. A tone played into a
// null sink is captured from the sink's monitor; streams played through SDL end with one notice.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <numbers>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/sample_ring.h"
#include "audio/sdl_backend.h"
#include "audio_test_util.h"
#include "support/pulse_server.h"

namespace quillar::audio {
namespace {

using namespace std::chrono_literals;

// Collects capture blocks; the test thread waits on it.
struct Capture {
    AudioEngine* engine = nullptr;
    std::mutex mutex;
    std::condition_variable wake;
    std::vector<std::vector<std::uint8_t>> blocks;
    std::int64_t positionAtLastBlock = -1;  // bytes the channel had captured by then
    std::thread::id lastThread;
    Handle handle = 0;
};

bool onBlock(Handle channel, const void* data, std::uint32_t bytes, void* user) {
    auto* c = static_cast<Capture*>(user);
    {
        std::lock_guard lock(c->mutex);
        const auto* p = static_cast<const std::uint8_t*>(data);
        c->blocks.emplace_back(p, p + bytes);
        c->handle = channel;
        c->positionAtLastBlock = c->engine->positionBytes(channel);
        c->lastThread = std::this_thread::get_id();
    }
    c->wake.notify_one();
    return true;
}

std::vector<float> leftChannel(const std::vector<std::uint8_t>& block, SampleType type,
                               std::uint32_t channels) {
    const AudioFormat format{44100, channels, type};
    std::vector<float> out;
    for (std::size_t at = 0; at + format.bytesPerFrame() <= block.size();
         at += format.bytesPerFrame()) {
        out.push_back(sampleToFloat(block.data() + at, type));
    }
    return out;
}

// Frequency from rising zero crossings, interpolated: exact enough for a clean tone.
double zeroCrossingFrequency(const std::vector<float>& x, double rate) {
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = 1; i < x.size(); ++i) {
        if (x[i - 1] < 0 && x[i] >= 0) {
            const double t = (i - 1) + x[i - 1] / (x[i - 1] - x[i]);
            if (first < 0) {
                first = t;
            } else {
                ++crossings;
            }
            last = t;
        }
    }
    return crossings > 0 ? crossings * rate / (last - first) : 0.0;
}

class SdlEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!quillar::test::PulseServer::available()) {
            GTEST_SKIP() << quillar::test::PulseServer::skipReason().toStdString();
        }
        // Our server, whatever the desktop runs.
        qputenv("SDL_AUDIODRIVER", "pulseaudio");
        ASSERT_TRUE(pulse.start()) << pulse.error().toStdString();
        ASSERT_TRUE(toneDir.isValid());
    }
    void TearDown() override { qunsetenv("SDL_AUDIODRIVER"); }

    // Plays a 1 kHz tone into the null sink (low latency: a null sink otherwise renders in
    // 2-second lumps) until the returned process is stopped.
    std::unique_ptr<QProcess> playTone() {
        std::vector<std::uint8_t> pcm;
        for (int f = 0; f < 44100 * 20; ++f) {
            const auto v = static_cast<std::int16_t>(
                std::lround(16000 * std::sin(2 * std::numbers::pi * 1000.0 * f / 44100)));
            for (int c = 0; c < 2; ++c) {
                pcm.push_back(static_cast<std::uint8_t>(v & 0xFF));
                pcm.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
            }
        }
        const auto image = test::wavImage(44100, 2, 16, pcm);
        const QString path = toneDir.filePath(QStringLiteral("tone.wav"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
        file.close();
        auto p = std::make_unique<QProcess>();
        p->setProcessEnvironment(pulse.environment());
        p->start(QStringLiteral("paplay"), {QStringLiteral("--latency-msec=20"),
                                            QStringLiteral("--device=") + pulse.sinkName(), path});
        EXPECT_TRUE(p->waitForStarted(5000));
        return p;
    }

    quillar::test::PulseServer pulse;
    QTemporaryDir toneDir;
};

TEST_F(SdlEngineTest, ListsTheMonitorAndOutput) {
    AudioEngine engine(std::make_unique<SdlBackend>());
    std::vector<std::string> names;
    std::string name;
    for (int i = 0; engine.captureDeviceName(i, &name); ++i) {
        names.push_back(name);
    }
    ASSERT_FALSE(names.empty());
    const std::string monitor = pulse.monitorDescription().toStdString();
    EXPECT_EQ(names.front(), monitor) << "the default source comes first";
    EXPECT_EQ(std::count(names.begin(), names.end(), monitor), 1) << "no duplicates";
    EXPECT_TRUE(engine.initOutput(-1, 44100));
}

struct ToneFormat {
    const char* name;
    std::uint32_t flags;
    SampleType type;
    std::uint32_t channels;
};

class SdlToneTest : public SdlEngineTest, public ::testing::WithParamInterface<ToneFormat> {};

TEST_P(SdlToneTest, ToneComesBackAtOneKilohertz) {
    const auto [name, flags, type, channels] = GetParam();
    const std::uint32_t frameBytes = AudioFormat{44100, channels, type}.bytesPerFrame();
    AudioEngine engine(std::make_unique<SdlBackend>());
    ASSERT_TRUE(engine.captureDeviceName(0, nullptr));
    auto player = playTone();

    Capture capture;
    capture.engine = &engine;
    ASSERT_TRUE(engine.openCapture(0));
    const Handle rec = engine.startCapture(44100, channels, flags, &onBlock, &capture);
    ASSERT_NE(rec, 0u);

    // Wait for five consecutive blocks carrying the tone.
    std::vector<float> tone;
    int loud = 0;
    std::size_t seen = 0;
    const auto deadline = std::chrono::steady_clock::now() + 15s;
    while (loud < 5 && std::chrono::steady_clock::now() < deadline) {
        std::unique_lock lock(capture.mutex);
        capture.wake.wait_for(lock, 200ms, [&] { return capture.blocks.size() > seen; });
        for (; seen < capture.blocks.size(); ++seen) {
            EXPECT_EQ(capture.blocks[seen].size(), 4410u * frameBytes);
            const auto left = leftChannel(capture.blocks[seen], type, channels);
            const float peak =
                std::accumulate(left.begin(), left.end(), 0.0f,
                                [](float m, float v) { return std::max(m, std::fabs(v)); });
            if (peak > 0.2f) {
                ++loud;
                tone.insert(tone.end(), left.begin(), left.end());
            } else {
                loud = 0;
                tone.clear();
            }
        }
    }
    EXPECT_EQ(capture.handle, rec);
    ASSERT_GE(loud, 5) << "no tone captured from the monitor";
    // Skip the first block: it may hold the tone's onset.
    tone.erase(tone.begin(), tone.begin() + 4410);
    EXPECT_NEAR(zeroCrossingFrequency(tone, 44100), 1000.0, 5.0);

    // The engine's own analysis agrees: the strongest FFT bin is the one nearest 1 kHz.
    float spectrum[1024];
    ASSERT_TRUE(engine.spectrum2048(rec, spectrum));
    const auto peakBin = std::max_element(spectrum + 1, spectrum + 1024) - spectrum;
    EXPECT_NEAR(peakBin * 44100.0 / 2048, 1000.0, 44100.0 / 2048);
    EXPECT_GT(engine.level(rec) & 0xFFFF, 8000u);

    // The stop hands over the audio of the unfinished block, here on this thread, so that the
    // recording holds every byte the device captured.
    engine.freeCapture();
    {
        std::lock_guard lock(capture.mutex);
        const std::size_t fullBlock = 4410u * frameBytes;
        ASSERT_FALSE(capture.blocks.empty());
        EXPECT_LT(capture.blocks.back().size(), fullBlock);
        EXPECT_EQ(capture.blocks.back().size() % frameBytes, 0u);
        EXPECT_EQ(capture.lastThread, std::this_thread::get_id());
        std::int64_t delivered = 0;
        for (const auto& block : capture.blocks) {
            delivered += static_cast<std::int64_t>(block.size());
        }
        EXPECT_EQ(delivered, capture.positionAtLastBlock);
    }
    player->kill();
    player->waitForFinished(2000);
}

// SDL has no 3-byte samples: 24-bit is captured as 32-bit and packed by the backend.
INSTANTIATE_TEST_SUITE_P(Widths, SdlToneTest,
                         ::testing::Values(ToneFormat{"U8", kSample8Bit, SampleType::U8, 2},
                                           ToneFormat{"S16", 0, SampleType::S16, 2},
                                           ToneFormat{"Float", kSampleFloat, SampleType::F32, 2},
                                           ToneFormat{"S24", kSample24Bit, SampleType::S24, 2},
                                           ToneFormat{"MonoS16", 0, SampleType::S16, 1},
                                           ToneFormat{"MonoS24", kSample24Bit, SampleType::S24, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SdlEngineTest, MemoryStreamEndsOnceOnAnEngineThread) {
    AudioEngine engine(std::make_unique<SdlBackend>());
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    const auto image = test::wavImage(22050, 2, 16, std::vector<std::uint8_t>(22050 / 5 * 4));
    const Handle s = engine.createMemoryStream(image.data(), image.size());
    ASSERT_NE(s, 0u);
    std::mutex mutex;
    std::condition_variable wake;
    int notices = 0;
    std::thread::id noticeThread;
    engine.setEndNotice(s, [&](Handle) {
        std::lock_guard lock(mutex);
        ++notices;
        noticeThread = std::this_thread::get_id();
        wake.notify_one();
    });
    ASSERT_TRUE(engine.play(s, true));
    EXPECT_EQ(engine.state(s), 1);
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(wake.wait_for(lock, 10s, [&] { return notices > 0; }));
    }
    std::this_thread::sleep_for(300ms);
    std::lock_guard lock(mutex);
    EXPECT_EQ(notices, 1);
    EXPECT_NE(noticeThread, std::this_thread::get_id());
    EXPECT_EQ(engine.state(s), 0);
    EXPECT_EQ(engine.positionBytes(s), engine.lengthBytes(s));
    EXPECT_TRUE(engine.freeStream(s));
}

TEST_F(SdlEngineTest, NoticeFreesItsOwnStreamAndMonitoringFeeds) {
    AudioEngine engine(std::make_unique<SdlBackend>());
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    const auto image = test::wavImage(44100, 2, 8, std::vector<std::uint8_t>(4410 * 2, 128));
    const Handle s = engine.createMemoryStream(image.data(), image.size());
    std::atomic<bool> freed = false;
    engine.setEndNotice(s, [&](Handle h) { freed = engine.freeStream(h); });
    engine.play(s, true);
    const Handle push = engine.createPushStream(44100, 2, kSampleFloat);
    ASSERT_NE(push, 0u);
    std::vector<float> block(4410 * 2, 0.1f);
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!freed && std::chrono::steady_clock::now() < deadline) {
        engine.pushData(push, block.data(), static_cast<std::uint32_t>(block.size() * 4));
        engine.play(push, false);
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_TRUE(freed);
    EXPECT_EQ(engine.state(s), -1);
    EXPECT_GT(engine.positionBytes(push), 0) << "the push stream played";
    engine.freeOutput();
}

// Monitoring fed by the engine from the capture itself: the stream's output is started from the
// capture callback without waiting, and plays the tone; 24-bit mono too, which SDL plays as
// 32-bit widened by the backend.
class SdlMonitorTest
    : public SdlEngineTest,
      public ::testing::WithParamInterface<std::pair<std::uint32_t, std::uint32_t>> {};

TEST_P(SdlMonitorTest, CaptureFeedsMonitoringItself) {
    const auto [channels, flags] = GetParam();
    AudioEngine engine(std::make_unique<SdlBackend>());
    ASSERT_TRUE(engine.captureDeviceName(0, nullptr));
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    auto player = playTone();
    const Handle push = engine.createPushStream(44100, channels, flags);
    ASSERT_TRUE(engine.monitorCapture(push));
    Capture capture;
    capture.engine = &engine;
    ASSERT_TRUE(engine.openCapture(0));
    ASSERT_NE(engine.startCapture(44100, channels, flags, &onBlock, &capture), 0u);
    std::uint32_t loudest = 0;
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (loudest < 3000 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
        loudest = std::max(loudest, engine.level(push) & 0xFFFF);
    }
    EXPECT_EQ(engine.state(push), 1);
    EXPECT_GT(engine.positionBytes(push), 0) << "monitoring played";
    EXPECT_GE(loudest, 3000u) << "and what it played was the tone";
    engine.freeCapture();
    engine.freeOutput();
}

INSTANTIATE_TEST_SUITE_P(Formats, SdlMonitorTest,
                         ::testing::Values(std::pair{2u, 0u}, std::pair{1u, kSample24Bit}),
                         [](const auto& info) {
                             return info.param.first == 2 ? std::string("Stereo16")
                                                          : std::string("Mono24");
                         });

// How often the engine's notice thread has gone to sleep and woken since it began: a thread
// that polls wakes a hundred times a second for nothing.
long noticeThreadWakes() {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream comm(task.path() / "comm");
        std::string name;
        std::getline(comm, name);
        if (name != "quillar-notice") {
            continue;
        }
        std::ifstream status(task.path() / "status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                return std::stol(line.substr(line.find(':') + 1));
            }
        }
    }
    return -1;
}

// A capture that records, with no monitoring or with monitoring already started, leaves the
// notice thread asleep; it looks for a start request only while a monitoring output waits for one.
TEST_F(SdlEngineTest, TheNoticeThreadSleepsUnlessMonitoringWaitsToStart) {
    AudioEngine engine(std::make_unique<SdlBackend>());
    ASSERT_TRUE(engine.captureDeviceName(0, nullptr));
    ASSERT_TRUE(engine.initOutput(-1, 44100));
    auto player = playTone();
    Capture capture;
    capture.engine = &engine;
    ASSERT_TRUE(engine.openCapture(0));
    ASSERT_NE(engine.startCapture(44100, 2, 0, &onBlock, &capture), 0u);
    std::this_thread::sleep_for(300ms);
    const auto wakesOver = [](std::chrono::milliseconds span) {
        const long before = noticeThreadWakes();
        std::this_thread::sleep_for(span);
        return noticeThreadWakes() - before;
    };
    ASSERT_GE(noticeThreadWakes(), 0) << "the notice thread runs";
    EXPECT_LE(wakesOver(500ms), 5) << "recording without monitoring";

    const Handle push = engine.createPushStream(44100, 2, 0);
    ASSERT_TRUE(engine.monitorCapture(push));
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (engine.positionBytes(push) == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_GT(engine.positionBytes(push), 0) << "monitoring started";
    EXPECT_LE(wakesOver(500ms), 5) << "recording with monitoring started";
    engine.freeCapture();
    engine.freeOutput();
}

TEST(SdlSignals, InterruptAndTerminateStayTheProgramsOwn) {
    struct sigaction before[2], after[2];
    sigaction(SIGINT, nullptr, &before[0]);
    sigaction(SIGTERM, nullptr, &before[1]);
    {
        AudioEngine engine(std::make_unique<SdlBackend>());
        engine.captureDeviceName(0, nullptr);
        sigaction(SIGINT, nullptr, &after[0]);
        sigaction(SIGTERM, nullptr, &after[1]);
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(after[i].sa_handler, before[i].sa_handler) << (i == 0 ? "SIGINT" : "SIGTERM");
    }
}

TEST(SdlNoServer, NothingListedNothingCrashes) {
    const QByteArray oldDriver = qgetenv("SDL_AUDIODRIVER");
    const QByteArray oldServer = qgetenv("PULSE_SERVER");
    qputenv("SDL_AUDIODRIVER", "pulseaudio");
    qputenv("PULSE_SERVER", "unix:/nonexistent/quillar/native");
    {
        AudioEngine engine(std::make_unique<SdlBackend>());
        EXPECT_FALSE(engine.captureDeviceName(0, nullptr));
        EXPECT_FALSE(engine.openCapture(0));
        EXPECT_EQ(engine.startCapture(44100, 2, 0, &onBlock, nullptr), 0u);
        EXPECT_FALSE(engine.initOutput(-1, 44100));
        EXPECT_EQ(engine.createPushStream(44100, 2, 0), 0u);
        engine.freeCapture();
        engine.freeOutput();
    }
    oldDriver.isNull() ? qunsetenv("SDL_AUDIODRIVER") : qputenv("SDL_AUDIODRIVER", oldDriver);
    oldServer.isNull() ? qunsetenv("PULSE_SERVER") : qputenv("PULSE_SERVER", oldServer);
}

}  // namespace
}  // namespace quillar::audio
