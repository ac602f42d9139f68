#include "record/status_display.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cmath>
#include <numbers>
#include <set>

#include "kit/drawing_board.h"
#include "kit/recording_options.h"
#include "record/recording_control.h"
#include "record/size_texts.h"
#include "spectrum/live_display.h"
#include "spectrum/palette_frame.h"
#include "support/test_app.h"

// Readable failures for texts of the window.
static void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace quillar::test {
namespace {

TEST(StatusSilenceRule, OnlyTheLeftLevelCounts) {
    struct Row {
        std::uint32_t level;
        bool silent;
    };
    const Row rows[] = {
        {0u, true},
        {499u, true},
        {499u | (30000u << 16), true},  // loud right channel, quiet left
        {500u, false},
        {500u | (0u << 16), false},
        {32768u, false},
        {0xFFFFFFFFu, true},  // bad handle
        {0xFFFF0000u, true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(IsSilentLevel(row.level), row.silent) << std::hex << row.level;
    }
}

// The whole window on the simulated engine, shown so the spectrum board has its real canvas, with
// the spectrum set up as start-up does.
class StatusDisplay : public ::testing::Test {
  protected:
    void SetUp() override {
        // Start-up lists the devices; here the simulated one is listed by hand.
        if (t.form.组合框1->count() == 0) {
            t.form.组合框1->addItem("Simulated input", 0);
        }
        t.form.组合框1->setCurrentIndex(0);
        t.form.show();
        初始化频谱(*t.form.画板2, t.engine);
        t.form.画板2->resize(668, 96);
        QApplication::processEvents();
        t.form.画板2->clear();
        quiet();
    }

    void quiet() {
        t.sim.setSignal([](int, std::int64_t) { return 0.0; });
    }
    // A sine of `hz` on the left only (the right stays silent) or on both channels.
    void tone(double hz, double amplitude, bool rightToo = true) {
        t.sim.setSignal([hz, amplitude, rightToo](int channel, std::int64_t frame) {
            if (channel == 1 && !rightToo) {
                return 0.0;
            }
            return amplitude * std::sin(2 * std::numbers::pi * hz * double(frame) / 44100.0);
        });
    }
    void startRecording() {
        ASSERT_EQ(t.form.按钮1->text(), "开始录音");
        ToggleRecording(t.app);
        ASSERT_EQ(t.form.按钮1->text(), "停止录音");
    }
    void stopRecording() { ToggleRecording(t.app); }
    void blocks(int n) {
        for (int i = 0; i < n; ++i) {
            t.sim.pumpCaptureBlock();
        }
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) {
            OnStatusTick(t.app);
        }
    }

    // Whether the picture area holds a frame rather than the board's cleared background.
    bool spectrumDrawn() const {
        return t.form.画板2->canvas().pixel(0, 0) != t.form.画板2->background().rgb();
    }
    void clearBoard() { t.form.画板2->clear(); }

    TestApp t;
};

TEST_F(StatusDisplay, SizeBoxesChangeOnTickFiveOfEveryTwentyFive) {
    tone(440, 0.5);
    startRecording();
    blocks(3);
    std::set<int> changed;
    for (int tick = 1; tick <= 75; ++tick) {
        t.form.编辑框3->setText("-");
        t.form.编辑框4->setText("-");
        OnStatusTick(t.app);
        const bool block = t.form.编辑框3->text() != "-";
        const bool file = t.form.编辑框4->text() != "-";
        EXPECT_EQ(block, file) << "tick " << tick;
        if (block) {
            changed.insert(tick);
        }
    }
    EXPECT_EQ(changed, (std::set<int>{5, 30, 55}));
    EXPECT_EQ(t.app.state.status_ticks, 0);
    // While recording, the file size is the captured data alone, without a header.
    ticks(5);
    // 100 ms of 44100 Hz 16-bit stereo is 17,640 bytes; three of them 52,920.
    EXPECT_EQ(t.form.编辑框3->text(), "每帧大小 17.2 KB");
    EXPECT_EQ(t.form.编辑框4->text(), "文件大小 51.6 KB");
}

TEST_F(StatusDisplay, TimeBeforeTheFirstBlockAndAfterIt) {
    startRecording();
    OnStatusTick(t.app);
    EXPECT_EQ(t.form.编辑框2->text(), "录制时间 00:00:00");
    blocks(25);  // 2.5 s
    OnStatusTick(t.app);
    EXPECT_EQ(t.form.编辑框2->text(), "录制时间 00:00:02");
    stopRecording();

    // The next recording starts with the previous, freed channel in record_handle.
    startRecording();
    OnStatusTick(t.app);
    EXPECT_EQ(t.form.编辑框2->text(), "录制时间 00:00:00");
}

// The input kept open has captured for seconds before the take: the time is the take's own, its
// 300 ms of pre-roll included, as its file will hold it.
TEST_F(StatusDisplay, TheTimeOfATakeOnAKeptInputIsTheTakesOwn) {
    t.app.state.options = RecordingOptions();  // the input kept open, 300 ms either side
    KeepInputOpen(t.app);
    blocks(40);  // 4 s before the take
    startRecording();
    blocks(22);
    OnStatusTick(t.app);
    EXPECT_EQ(t.form.编辑框2->text(), "录制时间 00:00:02");  // 2.2 s and the 0.3 s before the key
    PauseOrResume(t.app);
    blocks(20);  // the input goes on; the take does not
    PauseOrResume(t.app);
    blocks(6);
    OnStatusTick(t.app);
    EXPECT_EQ(t.form.编辑框2->text(), "录制时间 00:00:03");
}

TEST_F(StatusDisplay, PausedTimeIsNotCounted) {
    tone(440, 0.5);
    startRecording();
    blocks(10);
    PauseOrResume(t.app);
    blocks(30);  // the device keeps running; a paused channel delivers nothing
    PauseOrResume(t.app);
    blocks(10);
    OnStatusTick(t.app);
    EXPECT_EQ(t.form.编辑框2->text(), "录制时间 00:00:02");
}

TEST_F(StatusDisplay, FortyFirstSilentTickStopsTheSpectrumAndSignalEndsIt) {
    startRecording();
    blocks(3);
    for (int tick = 1; tick <= 40; ++tick) {
        clearBoard();
        OnStatusTick(t.app);
        ASSERT_EQ(t.app.state.signal_active, 1) << "tick " << tick;
        ASSERT_TRUE(spectrumDrawn()) << "tick " << tick;
    }
    clearBoard();
    OnStatusTick(t.app);
    EXPECT_EQ(t.app.state.signal_active, 0);
    EXPECT_EQ(t.app.state.silence_ticks, 41);
    EXPECT_FALSE(spectrumDrawn());

    // The blink now clears the board and flips the notice.
    t.form.画板2->blit(0, 0, QImage(8, 8, QImage::Format_RGB32));
    const bool hidden = t.form.标签4->isHidden();
    OnBlinkTick(t.app);
    EXPECT_FALSE(spectrumDrawn());
    EXPECT_EQ(t.form.标签4->isHidden(), !hidden);
    EXPECT_EQ(t.form.标签4->text(), "未检测到声音信号");

    tone(440, 0.5);
    blocks(1);
    OnStatusTick(t.app);
    EXPECT_EQ(t.app.state.signal_active, 1);
    EXPECT_EQ(t.app.state.silence_ticks, 0);
    EXPECT_TRUE(spectrumDrawn());
    // The blink stops and the notice keeps the visibility it had.
    const bool kept = t.form.标签4->isHidden();
    OnBlinkTick(t.app);
    EXPECT_EQ(t.form.标签4->isHidden(), kept);
    EXPECT_TRUE(spectrumDrawn());
}

TEST_F(StatusDisplay, LoudRightChannelAloneIsSilence) {
    t.sim.setSignal([](int channel, std::int64_t) { return channel == 0 ? 0.0 : 0.9; });
    startRecording();
    blocks(3);
    ticks(41);
    EXPECT_EQ(t.app.state.signal_active, 0);
}

TEST_F(StatusDisplay, SilenceCarriesIntoTheNextRecording) {
    startRecording();
    blocks(2);
    ticks(45);
    stopRecording();
    startRecording();
    EXPECT_EQ(t.app.state.signal_active, 1);
    blocks(1);
    clearBoard();
    OnStatusTick(t.app);
    EXPECT_EQ(t.app.state.signal_active, 0);
    EXPECT_FALSE(spectrumDrawn());
}

TEST_F(StatusDisplay, PausedBoardIsClearedAndTheNoticeBlinks) {
    tone(440, 0.5);
    startRecording();
    blocks(3);
    OnStatusTick(t.app);
    ASSERT_TRUE(spectrumDrawn());
    EXPECT_EQ(intervalOf(t.form.时钟3), 700);

    PauseOrResume(t.app);
    EXPECT_EQ(intervalOf(t.form.时钟1), 0);
    EXPECT_EQ(t.app.state.signal_active, 0);
    std::vector<bool> hidden;
    for (int i = 0; i < 4; ++i) {
        OnBlinkTick(t.app);
        EXPECT_FALSE(spectrumDrawn());
        hidden.push_back(t.form.标签4->isHidden());
    }
    EXPECT_EQ(hidden, (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(t.form.标签4->text(), "未检测到声音信号");

    PauseOrResume(t.app);
    OnStatusTick(t.app);
    EXPECT_TRUE(spectrumDrawn());
    OnBlinkTick(t.app);
    EXPECT_TRUE(spectrumDrawn());
}

// Height of bar x on the board: its column's top-most lit row (screen line 95 - r).
int BoardBarHeight(const DrawingBoard& board, int bar) {
    const int column = spectrum::kBarPitch * bar + 9;
    for (int r = spectrum::kFrameHeight - 1; r > 0; --r) {
        if (board.canvas().pixel(column, spectrum::kFrameHeight - 1 - r) != qRgb(0, 0, 0)) {
            return r + 1;
        }
    }
    return 0;
}

TEST_F(StatusDisplay, BarsRiseAtTheTonesBand) {
    // Bin 20 (430.7 Hz at 44100 Hz) lies in bar 13's band, bins 19 to 23.
    ASSERT_EQ(spectrum::BarBand(13).first, 19);
    tone(20 * 44100.0 / 2048, 0.5);
    t.form.单选框2->setChecked(true);
    startRecording();
    blocks(3);
    OnStatusTick(t.app);
    const int peak = BoardBarHeight(*t.form.画板2, 13);
    EXPECT_GT(peak, 60);
    for (int x = 0; x < spectrum::kBarCount; ++x) {
        if (x < 12 || x > 14) {
            EXPECT_LT(BoardBarHeight(*t.form.画板2, x), peak / 2) << "bar " << x;
        }
    }
}

TEST_F(StatusDisplay, WavePictureFollowsTheChannels) {
    // Left held at half scale, right silent: red runs along row 24, green along row 48.
    t.sim.setSignal([](int channel, std::int64_t) { return channel == 0 ? 0.5 : 0.0; });
    t.form.单选框1->setChecked(true);
    startRecording();
    blocks(3);
    OnStatusTick(t.app);
    const QImage& c = t.form.画板2->canvas();
    const QRgb red = spectrum::ColourTable()[spectrum::kOddChannelColour];
    const QRgb green = spectrum::ColourTable()[spectrum::kEvenChannelColour];
    for (int x = 0; x < spectrum::kFrameWidth; x += 37) {
        EXPECT_EQ(c.pixel(x, 95 - 48), green) << "column " << x;
        EXPECT_NE(c.pixel(x, 95 - spectrum::WaveRow(0.5f)), qRgb(0, 0, 0)) << "column " << x;
    }
    EXPECT_EQ(c.pixel(100, 95 - spectrum::WaveRow(0.5f)), red);
}

TEST_F(StatusDisplay, AuditionShowsTheRemainingTime) {
    ASSERT_TRUE(t.engine.initOutput(-1, 44100));
    tone(440, 0.5);
    startRecording();
    blocks(30);  // 3 s
    stopRecording();
    ASSERT_TRUE(t.app.state.record_buffer.isWavImage());
    const audio::Handle stream = t.engine.createMemoryStream(t.app.state.record_buffer.data(),
                                                             t.app.state.record_buffer.size());
    ASSERT_NE(stream, 0u);
    t.app.state.audition_stream = stream;
    t.engine.play(stream, true);
    EXPECT_FLOAT_EQ(LengthSeconds(t.engine, stream), 3.0f);

    OnAuditionTick(t.app);
    EXPECT_EQ(t.form.编辑框2->text(), "剩余时间 00:00:03");
    t.sim.pumpOutput(44100 + 100);
    clearBoard();
    OnAuditionTick(t.app);
    EXPECT_EQ(t.form.编辑框2->text(), "剩余时间 00:00:01");
    EXPECT_TRUE(spectrumDrawn());

    // A freed stream: nothing left to play and a black picture, no failure.
    t.engine.freeStream(stream);
    OnAuditionTick(t.app);
    EXPECT_EQ(t.form.编辑框2->text(), "剩余时间 00:00:00");
    EXPECT_LT(PositionSeconds(t.engine, stream), 0.0f);
    EXPECT_LT(LengthSeconds(t.engine, stream), 0.0f);
}

}  // namespace
}  // namespace quillar::test
