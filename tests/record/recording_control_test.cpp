#include "record/recording_control.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstring>

#include "record/recorder.h"
#include "record/saving.h"
#include "record/size_texts.h"
#include "record_test_support.h"
#include "support/test_app.h"

namespace quillar {
namespace {

// What the recording controls show in each state.
struct StateRow {
    const char* name;
    const char* startCaption;
    const char* pauseCaption;
    bool pauseEnabled;
    bool settingsEnabled;  // 组合框1..3
    bool savedEnabled;     // 按钮2, 按钮3
    const char* status;    // 编辑框1
    const char* notice;    // 标签4 caption
    int statusInterval;    // 时钟1
    int signalActive;
};

const StateRow kIdleEmpty{"idle without recording",
                          "开始录音",
                          "暂停录音",
                          false,
                          true,
                          false,
                          "停止中",
                          "等待录音中",
                          0,
                          0};
const StateRow kIdleWithRecording{
    "idle with recording", "开始录音", "暂停录音", false, true, true, "停止中", "等待录音中", 0, 0};
const StateRow kRecording{"recording", "停止录音", "暂停录音",         true, false,
                          false,       "录制中",   "未检测到声音信号", 30,   1};
const StateRow kPaused{"paused", "停止录音", "继续录音",         true, false,
                       false,    "暂停中",   "未检测到声音信号", 0,    0};

class RecordingControlTest : public testing::Test {
  protected:
    void SetUp() override {
        MainForm& f = t.form;
        if (f.组合框1->count() == 0) {
            f.组合框1->addItem("Simulated input", 0);
        }
        f.组合框1->setCurrentIndex(0);
    }

    void expectState(const StateRow& r) {
        MainForm& f = t.form;
        SCOPED_TRACE(r.name);
        EXPECT_EQ(f.按钮1->text(), QString::fromUtf8(r.startCaption));
        EXPECT_EQ(f.按钮4->text(), QString::fromUtf8(r.pauseCaption));
        EXPECT_EQ(f.按钮4->isEnabled(), r.pauseEnabled);
        for (QComboBox* c : {f.组合框1, f.组合框2, f.组合框3}) {
            EXPECT_EQ(c->isEnabled(), r.settingsEnabled) << c->objectName().toStdString();
        }
        EXPECT_EQ(f.按钮2->isEnabled(), r.savedEnabled);
        EXPECT_EQ(f.按钮3->isEnabled(), r.savedEnabled);
        EXPECT_EQ(f.编辑框1->text(), QString::fromUtf8(r.status));
        EXPECT_EQ(f.标签4->text(), QString::fromUtf8(r.notice));
        EXPECT_EQ(intervalOf(f.时钟1), r.statusInterval);
        EXPECT_EQ(t.app.state.signal_active, r.signalActive);
    }

    void click(QPushButton* button) { button->click(); }  // does nothing when disabled
    void selectFormat(int rateIndex, int widthIndex) {
        t.form.组合框2->setCurrentIndex(rateIndex);
        t.form.组合框3->setCurrentIndex(widthIndex);
    }
    const RecordBuffer& buffer() const { return ShownRecording(t.app); }

    test::TestApp t;
};

TEST_F(RecordingControlTest, WalksTheStateTableThroughTheButtons) {
    MainForm& f = t.form;
    expectState(kIdleEmpty);
    EXPECT_FALSE(f.标签4->isHidden());

    click(f.按钮1);
    expectState(kRecording);
    EXPECT_TRUE(f.标签4->isHidden());
    ASSERT_EQ(t.sim.captureOpens().size(), 1u);
    const auto open = t.sim.captureOpens()[0];
    EXPECT_EQ(open.device, 0);
    EXPECT_EQ(open.rate, 44100u);
    EXPECT_EQ(open.channels, 2u);
    EXPECT_EQ(open.flags, 0u);
    for (int i = 0; i < 3; ++i) {
        t.sim.pumpCaptureBlock();
    }
    EXPECT_EQ(buffer().size(), 3u * 17640);
    EXPECT_EQ(t.app.state.last_block_size.load(), 17640u);
    EXPECT_NE(t.app.state.record_handle.load(), 0u);

    click(f.按钮4);
    expectState(kPaused);
    EXPECT_EQ(f.编辑框4->text(), "文件大小 51.6 KB") << "the size at the pause";
    t.sim.pumpCaptureBlock();
    EXPECT_EQ(buffer().size(), 3u * 17640) << "a paused device delivers nothing";

    click(f.按钮4);
    expectState(kRecording);
    t.sim.pumpCaptureBlock();

    click(f.按钮1);
    expectState(kIdleWithRecording);
    EXPECT_EQ(t.sim.captureOpenCount(), 0) << "the device is freed at every stop";
    ASSERT_TRUE(buffer().isWavImage());
    EXPECT_EQ(buffer().size(), 4u * 17640 + 44);
    EXPECT_EQ(f.编辑框4->text(), "文件大小 " + FormatByteSize(4 * 17640 + 44))
        << "the size of the file a save writes, header included";

    click(f.按钮1);
    expectState(kRecording);
    EXPECT_TRUE(buffer().empty()) << "a new recording discards the previous one";
    click(f.按钮1);
    expectState(kIdleEmpty);
}

TEST_F(RecordingControlTest, StopBeforeTheFirstBlockLeavesNothingToSave) {
    QTemporaryDir dir;
    const QString itemFile = dir.filePath("水.wav");
    ASSERT_TRUE(test::writeAll(itemFile, "the item's earlier take"));
    t.form.编辑框4->setText("文件大小 9.99 KB");

    ToggleRecording(t.app);
    ToggleRecording(t.app);

    expectState(kIdleEmpty);
    EXPECT_TRUE(buffer().empty()) << "no header on an empty recording";
    EXPECT_EQ(t.form.编辑框4->text(), "文件大小 9.99 KB");
    EXPECT_FALSE(WriteRecordingFile(t.app, itemFile));
    EXPECT_EQ(test::readAll(itemFile), "the item's earlier take");
}

TEST_F(RecordingControlTest, PauseThenStopResetsThePauseButton) {
    click(t.form.按钮1);
    t.sim.pumpCaptureBlock();
    click(t.form.按钮4);
    click(t.form.按钮1);
    expectState(kIdleWithRecording);
    EXPECT_EQ(buffer().size(), 17640u + 44);
}

TEST_F(RecordingControlTest, PauseBeforeTheFirstBlockReallyPauses) {
    click(t.form.按钮1);
    click(t.form.按钮4);
    expectState(kPaused);
    t.sim.pumpCaptureBlock();
    EXPECT_TRUE(buffer().empty()) << "the device went on capturing under a paused window";
    click(t.form.按钮4);
    t.sim.pumpCaptureBlock();
    EXPECT_EQ(buffer().size(), 17640u);
}

// Five pauses, each with a chunk in flight at the click: the take holds every frame captured
// between the clicks, and the time shown while paused counts what is kept.
TEST_F(RecordingControlTest, PausingFiveTimesKeepsEveryCapturedFrame) {
    t.sim.setSignal([](int channel, std::int64_t frame) {
        return channel == 0 ? static_cast<double>(frame % 30000 - 15000) / 32768.0 : 0.0;
    });
    t.sim.setHoldsChunkInFlight(true);
    click(t.form.按钮1);
    // The fifth pause comes at exactly 3 s, the last 1024 frames still in flight.
    const std::int64_t spans[] = {17000, 26000, 30000, 33000, 132300 - 106000};
    for (int i = 0; i < 5; ++i) {
        t.sim.pumpCapture(spans[i]);
        click(t.form.按钮4);
        EXPECT_EQ(t.form.编辑框1->text(), "暂停中");
        t.sim.pumpCapture(4410);  // paused: not recorded
        if (i < 4) {
            click(t.form.按钮4);
        }
    }
    // Without the last chunk the time would read 2 s and the buffer lack its 30th block.
    EXPECT_EQ(t.form.编辑框2->text(), "录制时间 00:00:03");
    EXPECT_EQ(t.form.编辑框4->text(), "文件大小 " + FormatByteSize(3 * 176400));
    click(t.form.按钮1);

    ASSERT_EQ(t.sim.capturedFrames(), 132300);
    ASSERT_EQ(buffer().size(), 44u + 132300 * 4);
    const std::uint8_t* data = buffer().data() + 44;
    std::int64_t wrong = -1;
    for (std::int64_t f = 0; f < 132300 && wrong < 0; ++f) {
        std::int16_t left = 0;
        std::memcpy(&left, data + f * 4, 2);
        if (left != f % 30000 - 15000) {
            wrong = f;
        }
    }
    EXPECT_EQ(wrong, -1) << "first frame lost or out of place";
}

// The notice label holds each of its captions in the font it is drawn in, from the same corner;
// the idle caption keeps the layout's 80 pixels.
TEST_F(RecordingControlTest, TheNoticeLabelHoldsItsWholeText) {
    QLabel* label = t.form.标签4;
    const auto expectHolds = [label](const char* text, int width) {
        SCOPED_TRACE(text);
        EXPECT_EQ(label->text(), QString::fromUtf8(text));
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        EXPECT_GE(label->contentsRect().width(), needed) << "the text is cut off";
        EXPECT_EQ(label->geometry(), QRect(8, 40, width, 24));
        const QPalette& p = label->palette();
        EXPECT_EQ(p.color(label->foregroundRole()), QColor(255, 255, 255));
    };
    const int noticeWidth =
        std::max(80, label->fontMetrics().horizontalAdvance(QStringLiteral("未检测到声音信号")));
    EXPECT_GT(noticeWidth, 80) << "the layout's 80 pixels would cut the notice off";
    click(t.form.按钮1);
    expectHolds("未检测到声音信号", noticeWidth);
    click(t.form.按钮1);
    expectHolds("等待录音中", 80);
}

// The rate and width from the combo boxes, the channels from the recording options.
TEST_F(RecordingControlTest, FormatComesFromTheComboBoxesAndTheOptions) {
    const struct {
        int rateIndex, widthIndex;
        std::uint32_t rate, flags;
        std::uint16_t bits;
        int channels;
    } cases[] = {
        {0, 0, 8000, 1, 8, 2},      {1, 1, 12000, 0, 16, 2},    {2, 2, 22050, 256, 32, 2},
        {3, 0, 32000, 1, 8, 2},     {5, 2, 48000, 256, 32, 2},  {4, 1, 44100, 0, 16, 2},
        {4, 3, 44100, 1024, 24, 2}, {5, 3, 48000, 1024, 24, 1}, {4, 1, 44100, 0, 16, 1},
        {2, 0, 22050, 1, 8, 1},     {0, 2, 8000, 256, 32, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.bits << " bits, " << c.channels);
        t.app.state.options.channels = c.channels;
        selectFormat(c.rateIndex, c.widthIndex);
        click(t.form.按钮1);
        t.sim.pumpCaptureBlock();
        click(t.form.按钮1);

        const auto open = t.sim.captureOpens().back();
        EXPECT_EQ(open.rate, c.rate);
        EXPECT_EQ(open.flags, c.flags);
        EXPECT_EQ(open.channels, static_cast<std::uint32_t>(c.channels));
        const std::uint32_t blockAlign = c.channels * c.bits / 8u;
        const std::size_t dataBytes = c.rate / 10 * blockAlign;
        ASSERT_EQ(buffer().size(), wavHeaderSize(c.bits) + dataBytes + wavPadBytes(dataBytes));
        const std::uint8_t* h = buffer().data();
        EXPECT_EQ(h[22], c.channels);
        EXPECT_EQ(h[24] | h[25] << 8 | h[26] << 16, static_cast<int>(c.rate));
        EXPECT_EQ(h[32], blockAlign);
        EXPECT_EQ(h[34], c.bits);
        EXPECT_EQ(h[20], c.bits == 32 ? 3 : 1);
    }
}

TEST_F(RecordingControlTest, DeviceThatCannotOpenReturnsToIdleWithAMessage) {
    // A finished take in memory first: a failed start must not leave it there under the new item.
    click(t.form.按钮1);
    t.sim.pumpCaptureBlock();
    click(t.form.按钮1);
    ASSERT_FALSE(buffer().empty());

    const struct {
        const char* name;
        bool captureFails;
        bool noDevice;
    } cases[] = {{"device fails to open", true, false}, {"no device listed", false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        t.ui.messages.clear();
        t.sim.setCaptureFails(c.captureFails);
        if (c.noDevice) {
            t.form.组合框1->clear();
        }

        ToggleRecording(t.app);

        expectState(kIdleEmpty);
        EXPECT_TRUE(buffer().empty());
        EXPECT_EQ(t.sim.captureOpenCount(), 0);
        EXPECT_TRUE(t.ui.messages.empty()) << "no box inside the recorder's notification";
        QCoreApplication::processEvents();
        ASSERT_EQ(t.ui.messages.size(), 1u);
        EXPECT_EQ(t.ui.messages[0].title, "系统提示");
        EXPECT_EQ(t.ui.messages[0].icon, MessageIcon::Error);
        EXPECT_TRUE(t.ui.messages[0].text.contains("录音设备"))
            << t.ui.messages[0].text.toStdString();
    }
}

TEST_F(RecordingControlTest, StopsAtTheWavSizeLimitKeepingWhatWasRecorded) {
    t.app.recorder->setTakeDataLimit(3 * 17640 + 100);
    click(t.form.按钮1);
    for (int i = 0; i < 5; ++i) {
        t.sim.pumpCaptureBlock();
    }
    EXPECT_EQ(buffer().size(), 3u * 17640) << "the block past the limit is not appended";
    EXPECT_TRUE(t.ui.messages.empty()) << "nothing shown from the capture thread";

    QCoreApplication::processEvents();

    expectState(kIdleWithRecording);
    ASSERT_TRUE(buffer().isWavImage());
    EXPECT_EQ(buffer().size(), 3u * 17640 + 44);
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0].title, "系统提示");
    EXPECT_EQ(t.ui.messages[0].icon, MessageIcon::Warning);
}

TEST_F(RecordingControlTest, LateLimitNoticeDoesNotStopTheNextRecording) {
    t.app.recorder->setTakeDataLimit(17640);
    click(t.form.按钮1);
    t.sim.pumpCaptureBlock();
    t.sim.pumpCaptureBlock();  // refused; the stop is queued
    click(t.form.按钮1);       // the user stops first...
    click(t.form.按钮1);       // ...and starts the next item
    QCoreApplication::processEvents();
    expectState(kRecording);
    EXPECT_TRUE(t.ui.messages.empty());
}

TEST_F(RecordingControlTest, StopKeepsTheEndOfTheUtterance) {
    // 44100 Hz 16-bit stereo: 4 bytes a frame, 17640 a block. The stop falls inside a block.
    const struct {
        const char* name;
        std::uint64_t dataLimit;
        bool pauseFirst;
        bool startNext;  // Enter on the next item right after the stop
        std::size_t dataBytes;
        std::size_t monitored;
    } cases[] = {
        {"stop mid-block", RecordBuffer::kMaxDataBytes, false, false, 2 * 17640 + 4000,
         2 * 17640 + 4000},
        {"paused mid-block, then stopped", RecordBuffer::kMaxDataBytes, true, false,
         2 * 17640 + 4000, 2 * 17640 + 4000},
        // Monitoring hears the input itself: what the take may not keep is still heard.
        {"the rest would pass the size limit", 2 * 17640 + 100, false, false, 2 * 17640,
         2 * 17640 + 4000},
        {"over the limit, next item started at once", 2 * 17640 + 100, false, true, 0, 0},
    };
    ASSERT_TRUE(t.engine.initOutput(-1, 44100));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        t.ui.messages.clear();
        const audio::Handle monitor = t.engine.createPushStream(44100, 2, 0);
        t.app.state.monitor_stream = monitor;
        t.engine.monitorCapture(monitor);
        t.app.recorder->setTakeDataLimit(c.dataLimit);
        click(t.form.按钮1);
        t.sim.pumpCapture(2 * 4410 + 1000);
        if (c.pauseFirst) {
            click(t.form.按钮4);
            t.sim.pumpCapture(700);
        }
        click(t.form.按钮1);
        if (c.startNext) {
            click(t.form.按钮1);
        }
        QCoreApplication::processEvents();

        if (c.startNext) {
            expectState(kRecording);
            click(t.form.按钮1);
        } else {
            expectState(kIdleWithRecording);
            ASSERT_TRUE(buffer().isWavImage());
            EXPECT_EQ(buffer().size(), 44 + c.dataBytes);
            EXPECT_EQ(t.sim.queuedBytes(monitor), static_cast<std::int64_t>(c.monitored))
                << "monitoring hears the end too";
        }
        EXPECT_TRUE(t.ui.messages.empty()) << "the user stopped it: no limit notice";
        t.engine.freeStream(monitor);
        t.app.state.monitor_stream = 0;
    }
}

TEST_F(RecordingControlTest, CapturedBlocksFeedTheMonitoringStream) {
    ASSERT_TRUE(t.engine.initOutput(-1, 44100));
    const audio::Handle monitor = t.engine.createPushStream(44100, 2, 0);
    ASSERT_NE(monitor, 0u);
    t.app.state.monitor_stream = monitor;
    t.engine.monitorCapture(monitor);
    click(t.form.按钮1);
    t.sim.pumpCaptureBlock();
    EXPECT_EQ(t.sim.queuedBytes(monitor), 17640);
    EXPECT_EQ(t.engine.state(monitor), 1) << "the first block starts the stream";
    click(t.form.按钮1);
}

TEST_F(RecordingControlTest, EnterDuringAnAuditionEndsItAndStartsRecording) {
    ASSERT_TRUE(t.engine.initOutput(-1, 44100));
    click(t.form.按钮1);
    t.sim.pumpCaptureBlock();
    click(t.form.按钮1);
    click(t.form.按钮2);
    const audio::Handle audition = t.app.state.audition_stream;
    ASSERT_EQ(t.engine.state(audition), 1) << "the audition did not start";
    ASSERT_FALSE(t.form.按钮1->isEnabled());

    ToggleRecording(t.app);  // Enter in the item list reaches it despite the disabled button

    EXPECT_EQ(t.engine.state(audition), -1) << "the stream over the old take is freed first";
    expectState(kRecording);
    EXPECT_EQ(t.form.按钮2->text(), "试听录音");
    EXPECT_EQ(intervalOf(t.form.时钟2), 0);
    EXPECT_TRUE(t.form.按钮1->isEnabled()) << "the recording could not be stopped with the button";
    t.sim.pumpOutput(44100);  // a late end of the freed stream changes nothing
    QCoreApplication::processEvents();
    expectState(kRecording);
}

}  // namespace
}  // namespace quillar
