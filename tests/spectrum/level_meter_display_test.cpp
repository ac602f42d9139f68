#include "spectrum/level_meter_display.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <cmath>
#include <vector>

#include "app/meter_channel.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "quality/level_meter.h"
#include "record/recording_control.h"
#include "support/test_app.h"

namespace quillar {
namespace {

const QRgb kNavy = qRgb(0, 0, 128);
const QRgb kGreen = qRgb(0, 200, 0);
const QRgb kRed = qRgb(230, 0, 0);

// Where the meter draws on a 668-pixel board: the left bar's middle row, and columns at a few
// levels on its -48..0 dBFS span (x 526..662).
constexpr int kLeftBarRow = 11;
constexpr int kRightBarRow = 27;
int columnOf(double db) {
    return 526 + static_cast<int>(std::lround((db + 48.0) / 48.0 * 136));
}
const QPoint kNoiseBox(518, 66);

std::vector<float> stereo(double left, double right, int frames) {
    std::vector<float> v(2 * frames);
    for (int f = 0; f < frames; ++f) {
        const double s = std::sin(2.0 * 3.14159265358979 * f / 48.0);
        v[2 * f] = static_cast<float>(left * s);
        v[2 * f + 1] = static_cast<float>(right * s);
    }
    return v;
}

struct Board {
    Board() {
        board.setBackground(QColor(kNavy));
        board.resize(668, 104);
        board.clear();
    }
    QRgb at(int x, int y) const { return board.canvas().pixel(x, y); }
    bool regionIs(QRect area, QRgb colour) const {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                if (at(x, y) != colour) {
                    return false;
                }
            }
        }
        return true;
    }
    DrawingBoard board;
};

TEST(LevelMeterDisplay, BarsScaleAndNoiseAreWhereTheFiguresSay) {
    Board b;
    b.board.setPenColour(Qt::yellow);
    b.board.line(0, 50, 511, 50);  // the spectrum picture's side
    const QImage before = b.board.canvas();
    quality::LevelMeter meter;
    meter.restart(48000, 2);
    const std::vector<float> tone = stereo(0.5, 0.05, 48000 / 20);  // -6 and -26 dBFS
    for (int t = 0; t < 1000; t += 50) {
        meter.feed(tone.data(), 48000 / 20, t);
    }
    DrawLevelMeter(b.board, meter);

    EXPECT_EQ(b.at(columnOf(-30), kLeftBarRow), kGreen);
    EXPECT_EQ(b.at(columnOf(-8), kLeftBarRow), kGreen);
    EXPECT_NE(b.at(columnOf(-3), kLeftBarRow), kGreen);
    EXPECT_EQ(b.at(columnOf(-30), kRightBarRow), kGreen);
    EXPECT_NE(b.at(columnOf(-20), kRightBarRow), kGreen);
    EXPECT_NE(b.at(columnOf(-1), kLeftBarRow), kRed);  // no full scale, no red in the bar
    // A loud room (the tone itself, -9 dBFS RMS) shows red; the full-scale mark is always red.
    EXPECT_EQ(b.at(kNoiseBox.x(), kNoiseBox.y()), kRed);
    EXPECT_EQ(b.at(columnOf(0) - 1, 40), kRed);
    // The spectrum's 512 columns keep what they had.
    EXPECT_EQ(b.board.canvas().copy(0, 0, 512, 104), before.copy(0, 0, 512, 104));

    // A full-scale peak lights the end of its bar red while it is held.
    const std::vector<float> full = stereo(1.0, 0.05, 48000 / 20);
    meter.feed(full.data(), 48000 / 20, 1000);
    DrawLevelMeter(b.board, meter);
    EXPECT_EQ(b.at(columnOf(0) - 3, kLeftBarRow), kRed);
    EXPECT_NE(b.at(columnOf(0) - 3, kRightBarRow), kRed);

    // No input: the meter's part of the board is plain background.
    meter.restart(0, 0);
    DrawLevelMeter(b.board, meter);
    EXPECT_TRUE(b.regionIs(QRect(512, 0, 668 - 512, 104), kNavy));
}

TEST(LevelMeterDisplay, QuietRoomIsGreenAndTheTickReadsTheTakesInput) {
    test::TestApp t;
    t.form.组合框1->addItem("Simulated input", 0);
    t.form.组合框1->setCurrentIndex(0);
    t.form.画板2->resize(668, 104);
    t.form.画板2->clear();
    const QRect meterArea(512, 0, 668 - 512, 104);
    const auto at = [&](int x, int y) { return t.form.画板2->canvas().pixel(x, y); };

    OnMeterTick(t.app, MeterChannel(t.app), 0);  // no take, no input
    EXPECT_EQ(at(columnOf(-40), kLeftBarRow), kNavy);

    // A quiet room (-70 dBFS) with a word at -12 dBFS in it.
    t.sim.setSignal([](int, std::int64_t frame) {
        const double a = frame % 48000 < 4800 ? 0.25 : 0.00045;
        return a * std::sin(frame * 0.1);
    });
    ToggleRecording(t.app);
    ASSERT_NE(MeterChannel(t.app), 0u);
    std::int64_t now = 0;
    OnMeterTick(t.app, MeterChannel(t.app), now);
    for (int block = 0; block < 20; ++block) {
        t.sim.pumpCaptureBlock();
        now += 100;
        OnMeterTick(t.app, MeterChannel(t.app), now);
    }
    EXPECT_NEAR(t.app.state.level_meter.noiseFloorDbfs(), -70.0, 1.0);
    EXPECT_EQ(at(kNoiseBox.x(), kNoiseBox.y()), kGreen);
    EXPECT_NEAR(t.app.state.level_meter.holdDbfs(0), -12.0, 0.5);  // the word at 1.0 s, held

    ToggleRecording(t.app);  // the take ends: no input any more
    OnMeterTick(t.app, MeterChannel(t.app), now + 50);
    for (int x = meterArea.left(); x <= meterArea.right(); x += 7) {
        ASSERT_EQ(at(x, kLeftBarRow), kNavy) << x;
    }
}

// The meter keeps its letters, scale and noise line between looks: whatever it drew before, a look
// must leave the same pixels as on a board that never saw anything else.
TEST(LevelMeterDisplay, ALookDrawsTheSamePictureWhateverCameBefore) {
    struct Look {
        std::uint32_t channels;
        double left;
        double right;
        int windows;  // 50 ms windows fed: under ten there is no noise floor yet
    };
    const Look looks[] = {
        {2, 0.5, 0.05, 20}, {2, 0.3, 0.05, 20}, {2, 0.01, 0.01, 20},
        {1, 0.3, 0.0, 20},  {2, 1.0, 0.2, 20},  {2, 0.5, 0.05, 3},
    };
    const auto meterFor = [](const Look& l) {
        quality::LevelMeter meter;
        meter.restart(48000, l.channels);
        const std::vector<float> tone = stereo(l.left, l.right, 48000 / 20);
        std::vector<float> samples = tone;
        if (l.channels == 1) {
            samples.resize(tone.size() / 2);
            for (std::size_t i = 0; i < samples.size(); ++i) {
                samples[i] = tone[2 * i];
            }
        }
        for (int w = 0; w < l.windows; ++w) {
            meter.feed(samples.data(), 48000 / 20, w * 50);
        }
        return meter;
    };
    Board running;
    for (const Look& l : looks) {
        const quality::LevelMeter meter = meterFor(l);
        DrawLevelMeter(running.board, meter);
        // The reference is drawn from scratch: a board of another width in between makes the
        // meter draw everything anew.
        Board other;
        other.board.resize(600, 104);
        DrawLevelMeter(other.board, meter);
        Board fresh;
        DrawLevelMeter(fresh.board, meter);
        ASSERT_EQ(running.board.canvas(), fresh.board.canvas())
            << l.channels << " channels, " << l.left << ", " << l.windows << " windows";
    }
}

}  // namespace
}  // namespace quillar
