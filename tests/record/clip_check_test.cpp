// Clipping caught while recording: full scale for each sample width, the warning over the spectrum
// board and how long it stays, and the take's peak and clipping known at the stop.
#include "record/clip_check.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <cstring>
#include <vector>

#include "record/recorder.h"
#include "record/recording_control.h"
#include "record/status_display.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

template <typename T>
std::vector<std::uint8_t> bytesOf(std::initializer_list<T> samples) {
    std::vector<std::uint8_t> b(samples.size() * sizeof(T));
    std::memcpy(b.data(), std::data(samples), b.size());
    return b;
}

// Packed 24-bit little-endian samples.
std::vector<std::uint8_t> s24Of(std::initializer_list<std::int32_t> samples) {
    std::vector<std::uint8_t> b;
    for (const std::int32_t v : samples) {
        for (int i = 0; i < 3; ++i) {
            b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    }
    return b;
}

TEST(ScanSamples, FullScaleForEachWidth) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* name;
        std::uint16_t bits;
        std::vector<std::uint8_t> data;
        bool clipped;
        double peak;
    } cases[] = {
        {"8 bit top code", 8, bytesOf<std::uint8_t>({128, 255, 128}), true, 127.0 / 128},
        {"8 bit bottom code", 8, bytesOf<std::uint8_t>({128, 0}), true, 1.0},
        {"8 bit one short", 8, bytesOf<std::uint8_t>({1, 254}), false, 127.0 / 128},
        {"16 bit top", 16, bytesOf<std::int16_t>({0, 32767}), true, 32767.0 / 32768},
        {"16 bit bottom", 16, bytesOf<std::int16_t>({-32768, 5}), true, 1.0},
        {"16 bit one short", 16, bytesOf<std::int16_t>({-32767, 32766}), false, 32767.0 / 32768},
        {"24 bit top", 24, s24Of({0, 8388607}), true, 8388607.0 / 8388608},
        {"24 bit bottom", 24, s24Of({-8388608, 5}), true, 1.0},
        {"24 bit one short", 24, s24Of({-8388607, 8388606}), false, 8388607.0 / 8388608},
        {"24 bit small negative, sign kept", 24, s24Of({-256, 3}), false, 256.0 / 8388608},
        {"24 bit half sample at the end ignored", 24, {0x00, 0x00, 0x40, 0xFF, 0xFF}, false, 0.5},
        {"float 0.999", 32, bytesOf<float>({0.1f, 0.999f}), true, 0.999f},
        {"float -1.0", 32, bytesOf<float>({-1.0f}), true, 1.0},
        {"float 1.5", 32, bytesOf<float>({1.5f}), true, 1.5},
        {"float just under", 32, bytesOf<float>({0.9989f, -0.5f}), false, 0.9989f},
        {"float NaN", 32, bytesOf<float>({nan}), true, 1.0},
        {"silence", 16, bytesOf<std::int16_t>({0, 0}), false, 0.0},
    };
    for (const auto& c : cases) {
        const PeakScan s = ScanSamples(c.data.data(), c.data.size(), c.bits);
        EXPECT_EQ(s.clipped, c.clipped) << c.name;
        EXPECT_NEAR(s.peak, c.peak, 1e-6) << c.name;
    }
}

class ClipCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        t.form.组合框1->addItem("Simulated input", 0);
        t.form.组合框1->setCurrentIndex(0);
        t.form.show();
    }
    // Records `blocks` blocks of `level` at width index `width` (0: 8, 1: 16, 2: 32, 3: 24 bit),
    // checking after each block as the status tick does at time `now`.
    void recordAt(int width, double level, int blocks, std::int64_t now = 1000) {
        t.form.组合框3->setCurrentIndex(width);
        t.sim.setSignal(
            [level](int, std::int64_t frame) { return frame % 40 < 20 ? level : -level; });
        ToggleRecording(t.app);
        for (int i = 0; i < blocks; ++i) {
            t.sim.pumpCaptureBlock();
            CheckTakeClipping(t.app, now);
        }
    }
    QLabel* warning() { return t.form.标签_削波警告; }
    TestApp t;
};

TEST_F(ClipCheck, EachWidthClipsAtFullScaleOnly) {
    const struct {
        int width;
        double level;
        bool clipped;
        int channels = 2;
    } cases[] = {
        {0, 1.0, true},   {0, 0.9, false},   {1, 1.0, true},      {1, 0.99, false},
        {2, 1.0, true},   {2, 0.999, true},  {2, 0.99, false},    {3, 1.0, true},
        {3, 0.99, false}, {3, 1.0, true, 1}, {3, 0.99, false, 1}, {1, 1.0, true, 1},
    };
    for (const auto& c : cases) {
        t.app.state.options.channels = c.channels;
        recordAt(c.width, c.level, 2);
        EXPECT_EQ(t.app.recorder->check().clipped(), c.clipped) << c.width << " " << c.level;
        EXPECT_EQ(!warning()->isHidden(), c.clipped) << c.width << " " << c.level;
        ToggleRecording(t.app);
        UpdateClipWarning(t.app, 1'000'000);
        EXPECT_NEAR(t.app.recorder->check().peak(), c.level, 0.01);
    }
}

TEST_F(ClipCheck, WarningStaysTwoSecondsAfterTheLastClippedBlock) {
    recordAt(1, 1.0, 1, 10'000);
    ASSERT_FALSE(warning()->isHidden());
    EXPECT_EQ(UpdateClipWarning(t.app, 11'999), 1);
    EXPECT_FALSE(warning()->isHidden());
    t.sim.pumpCaptureBlock();  // clips again at 11.5 s: the two seconds start over
    CheckTakeClipping(t.app, 11'500);
    EXPECT_EQ(UpdateClipWarning(t.app, 12'000), 1500);
    EXPECT_FALSE(warning()->isHidden());
    EXPECT_EQ(UpdateClipWarning(t.app, 13'500), 0);
    EXPECT_TRUE(warning()->isHidden());
    ToggleRecording(t.app);
    EXPECT_TRUE(t.app.recorder->check().clipped());  // the take still knows it clipped
    EXPECT_EQ(warning()->focusPolicy(), Qt::NoFocus);
}

TEST_F(ClipCheck, TheStatusTickChecksAndTheStopReadsTheRest) {
    t.form.组合框3->setCurrentIndex(1);
    t.sim.setSignal([](int, std::int64_t frame) { return frame < 4410 ? 0.1 : 1.0; });
    ToggleRecording(t.app);
    t.sim.pumpCaptureBlock();  // 100 ms, quiet
    OnStatusTick(t.app);
    EXPECT_TRUE(warning()->isHidden());
    EXPECT_FALSE(t.app.recorder->check().clipped());
    t.sim.pumpCapture(100);  // a partial block, only handed over at the stop
    ToggleRecording(t.app);
    EXPECT_TRUE(t.app.recorder->check().clipped());
    EXPECT_TRUE(warning()->isHidden());  // the warning is for the live take

    ToggleRecording(t.app);  // a new take starts clean
    EXPECT_FALSE(t.app.recorder->check().clipped());
    EXPECT_EQ(t.app.recorder->check().peak(), 0.0);
    ToggleRecording(t.app);
}

// A mono 24-bit take is judged as one channel of 3-byte samples: every frame counted once, its
// level right, and no second channel found dead.
TEST_F(ClipCheck, AMonoTwentyFourBitTakeIsJudgedAsOneChannel) {
    t.app.state.options.channels = 1;
    recordAt(3, 0.5, 4);
    ToggleRecording(t.app);
    const quality::Judgement& j = t.app.recorder->check().judgement();
    EXPECT_EQ(j.frames, 4u * 4410);
    EXPECT_NEAR(j.peakDbfs, -6.02, 0.01);
    EXPECT_FALSE(j.has(quality::kDeadChannel));
    EXPECT_FALSE(j.has(quality::kClipped));
}

}  // namespace
}  // namespace quillar::test
