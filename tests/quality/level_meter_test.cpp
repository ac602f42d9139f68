#include "quality/level_meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

namespace quillar::quality {
namespace {

constexpr std::uint32_t kRate = 48000;
constexpr double kPi = 3.14159265358979323846;

// `ms` of a stereo signal fed in 50 ms looks, starting at `*now`, which moves on.
void feedFor(LevelMeter& m, int ms, std::int64_t* now,
             const std::function<float(int channel, std::int64_t frame)>& signal) {
    const std::uint32_t tick = kRate / 20;
    std::vector<float> buf(std::size_t{tick} * 2);
    for (int t = 0; t < ms; t += 50) {
        for (std::uint32_t f = 0; f < tick; ++f) {
            const std::int64_t frame = (*now + t) * (kRate / 1000) + f;
            buf[2 * f] = signal(0, frame);
            buf[2 * f + 1] = signal(1, frame);
        }
        m.feed(buf.data(), tick, *now + t);
    }
    *now += ms;
}

float sine(double amplitude, std::int64_t frame) {
    return static_cast<float>(amplitude * std::sin(2.0 * kPi * 1000.0 * frame / kRate));
}

TEST(LevelMeter, PeaksAndNoiseFloorOfKnownSignals) {
    std::mt19937 random(7);
    std::normal_distribution<float> gauss(0.0f, 1.0f);
    const struct {
        const char* name;
        std::function<float(int, std::int64_t)> signal;
        double leftPeak, rightPeak, noise;  // dBFS; -inf for silence
    } cases[] = {
        {"-6 dBFS tone left, silence right",
         [](int c, std::int64_t f) { return c == 0 ? sine(0.5, f) : 0.0f; }, -6.02, -INFINITY,
         -9.03},  // a sine's RMS is 3 dB under its peak; the louder channel counts
        {"noise at -60 dBFS RMS", [&](int, std::int64_t) { return 0.001f * gauss(random); },
         -49.0 /* about 3.5 sigma */, -49.0, -60.0},
        {"noise with a DC offset reads as the noise",
         [&](int, std::int64_t) { return 0.2f + 0.001f * gauss(random); }, -13.9, -13.9, -60.0},
        {"digital silence", [](int, std::int64_t) { return 0.0f; }, -INFINITY, -INFINITY,
         -INFINITY},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LevelMeter m;
        m.restart(kRate, 2);
        std::int64_t now = 0;
        feedFor(m, 3000, &now, c.signal);
        const double peaks[] = {c.leftPeak, c.rightPeak};
        for (std::uint32_t ch = 0; ch < 2; ++ch) {
            if (std::isinf(peaks[ch])) {
                EXPECT_TRUE(std::isinf(m.peakDbfs(ch)));
            } else {
                EXPECT_NEAR(m.peakDbfs(ch), peaks[ch], 1.5);
            }
        }
        ASSERT_TRUE(m.hasNoiseFloor());
        if (std::isinf(c.noise)) {
            EXPECT_TRUE(std::isinf(m.noiseFloorDbfs()) && m.noiseFloorDbfs() < 0);
        } else {
            EXPECT_NEAR(m.noiseFloorDbfs(), c.noise, 0.5);
        }
    }
}

TEST(LevelMeter, NoiseFloorIsTheQuietTenthOfTheLastThreeSeconds) {
    LevelMeter m;
    m.restart(kRate, 2);
    std::int64_t now = 0;
    EXPECT_FALSE(m.hasNoiseFloor());  // nothing seen yet
    feedFor(m, 400, &now, [](int, std::int64_t f) { return sine(0.1, f); });
    EXPECT_FALSE(m.hasNoiseFloor());  // too little to stand for the room
    // Speech over quiet: 3 s of which a fifth is a -70 dBFS pause (RMS of a sine 3 dB down).
    for (int i = 0; i < 5; ++i) {
        feedFor(m, 120, &now,
                [](int, std::int64_t f) { return sine(std::sqrt(2.0) * std::pow(10.0, -3.5), f); });
        feedFor(m, 480, &now, [](int, std::int64_t f) { return sine(0.3, f); });
    }
    EXPECT_NEAR(m.noiseFloorDbfs(), -70.0, 1.0);
    // Three seconds of speech later the pauses are forgotten.
    feedFor(m, 3000, &now, [](int, std::int64_t f) { return sine(0.3, f); });
    EXPECT_NEAR(m.noiseFloorDbfs(), 20 * std::log10(0.3 / std::sqrt(2.0)), 0.5);
}

TEST(LevelMeter, PeakHoldStaysAboutOneAndAHalfSecondsThenFalls) {
    LevelMeter m;
    m.restart(kRate, 2);
    std::int64_t now = 0;
    feedFor(m, 50, &now, [](int, std::int64_t) { return 1.0f; });  // a full-scale burst
    EXPECT_TRUE(m.clipping(0));
    const auto quiet = [](int, std::int64_t f) { return sine(0.01, f); };
    feedFor(m, 1400, &now, quiet);  // the look at 1400 ms: still held
    EXPECT_NEAR(m.holdDbfs(0), 0.0, 0.01);
    EXPECT_NEAR(m.peakDbfs(0), -40.0, 0.1);
    feedFor(m, 150, &now, quiet);  // the look at 1550 ms: gone
    EXPECT_NEAR(m.holdDbfs(0), -40.0, 0.1);
    EXPECT_FALSE(m.clipping(0));
    // A higher peak takes the hold at once; a look without audio (a paused input) empties the bar.
    feedFor(m, 50, &now, [](int, std::int64_t f) { return sine(0.5, f); });
    EXPECT_NEAR(m.holdDbfs(0), -6.0, 0.1);
    m.feed(nullptr, 0, now);
    EXPECT_TRUE(std::isinf(m.peakDbfs(0)));
    EXPECT_NEAR(m.holdDbfs(0), -6.0, 0.1);
}

TEST(LevelMeter, NoInputIsAnEmptyMeter) {
    LevelMeter m;
    m.restart(0, 0);
    const float audio[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    m.feed(audio, 2, 0);
    EXPECT_EQ(m.channels(), 0u);
    EXPECT_FALSE(m.hasNoiseFloor());
    EXPECT_FALSE(m.clipping(0));
    EXPECT_TRUE(std::isinf(m.holdDbfs(0)));
}

TEST(LevelMeter, NoiseColourFollowsTheFigureShown) {
    const struct {
        double dbfs;
        NoiseClass expected;
    } cases[] = {
        {-INFINITY, NoiseClass::Good}, {-75.0, NoiseClass::Good},  {-60.0, NoiseClass::Good},
        {-59.96, NoiseClass::Good},  // shown as -60.0
        {-59.9, NoiseClass::Check},    {-48.0, NoiseClass::Check}, {-47.96, NoiseClass::Check},
        {-47.9, NoiseClass::Redo},     {-20.0, NoiseClass::Redo},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyNoise(c.dbfs), c.expected) << c.dbfs;
    }
}

}  // namespace
}  // namespace quillar::quality
