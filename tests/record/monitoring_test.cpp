// Live monitoring: what the box arms, what each captured block feeds, and that clearing it never
// touches the recording.
#include "record/monitoring.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <algorithm>
#include <vector>

#include "record/recording_control.h"
#include "support/test_app.h"

namespace quillar {
namespace {

constexpr std::int64_t kBlock44k16 = 44100 / 10 * 4;  // one 100 ms block, stereo 16-bit

class MonitoringTest : public testing::Test {
  protected:
    void SetUp() override {
        if (t.form.组合框1->count() == 0) {
            t.form.组合框1->addItem("Simulated input", 0);
        }
        t.form.组合框1->setCurrentIndex(0);
        t.sim.setSignal([](int, std::int64_t frame) { return (frame % 100) / 100.0 - 0.5; });
        t.engine.initOutput(-1, 44100);
    }
    void tick(bool on) {
        t.form.选择框1->setChecked(on);
        ToggleMonitoring(t.app);
    }
    audio::Handle stream() const { return t.app.state.monitor_stream.load(); }

    test::TestApp t;
};

TEST_F(MonitoringTest, TickingWhileIdleArmsAStreamInTheChosenFormatAndPlaysNothing) {
    struct Row {
        int rateIndex;
        int widthIndex;
        std::uint32_t rate;
    };
    for (Row row : {Row{4, 1, 44100}, Row{0, 0, 8000}, Row{5, 2, 48000}}) {
        t.form.组合框2->setCurrentIndex(row.rateIndex);
        t.form.组合框3->setCurrentIndex(row.widthIndex);
        tick(false);
        tick(true);
        SCOPED_TRACE(row.rate);
        ASSERT_NE(stream(), 0u);
        EXPECT_EQ(t.engine.sampleRate(stream()), row.rate);
        EXPECT_EQ(t.engine.channelCount(stream()), 2u);
        EXPECT_NE(t.engine.state(stream()), 1) << "armed, not playing";
        EXPECT_EQ(t.sim.queuedBytes(stream()), 0);
    }
}

TEST_F(MonitoringTest, TickingDuringARecordingMonitorsFromTheNextBlockOn) {
    ToggleRecording(t.app);
    t.sim.pumpCaptureBlock();
    tick(true);
    EXPECT_EQ(t.sim.queuedBytes(stream()), 0) << "the block before the tick is not replayed";
    t.sim.pumpCaptureBlock();
    EXPECT_EQ(t.sim.queuedBytes(stream()), kBlock44k16);
    EXPECT_EQ(t.engine.state(stream()), 1);
    ToggleRecording(t.app);
}

TEST_F(MonitoringTest, ClearingSilencesAtOnceAndLeavesTheRecordingWhole) {
    tick(true);
    ToggleRecording(t.app);
    t.sim.pumpCaptureBlock();
    t.sim.pumpCaptureBlock();
    const audio::Handle was = stream();
    ASSERT_EQ(t.sim.queuedBytes(was), 2 * kBlock44k16);

    tick(false);
    EXPECT_EQ(t.engine.state(was), -1) << "the stream and what it had queued are gone";
    EXPECT_EQ(t.sim.playingStreamCount(), 0);
    t.sim.pumpCaptureBlock();
    ToggleRecording(t.app);

    EXPECT_EQ(t.form.编辑框1->text(), "停止中");
    EXPECT_EQ(t.app.state.record_buffer.size(), std::size_t(44 + 3 * kBlock44k16));
}

TEST_F(MonitoringTest, TheFormatIsTakenWhenTheBoxIsTicked) {
    tick(true);
    t.form.组合框2->setCurrentIndex(0);  // 8000 Hz, changed while idle
    EXPECT_EQ(t.engine.sampleRate(stream()), 44100u) << "monitoring keeps its old format";
    tick(false);
    tick(true);
    EXPECT_EQ(t.engine.sampleRate(stream()), 8000u);
}

// The box ticked in one format and the recording made in another: the stream is made again in the
// recording's format before the first block, so every block plays as what it is.
TEST_F(MonitoringTest, ARecordingInAnotherFormatGetsAStreamInItsOwnFormat) {
    struct Row {
        const char* what;
        int tickRate, tickWidth;      // combo indices when the box is ticked
        int recordRate, recordWidth;  // and when the recording starts
        std::uint32_t rate, flags;    // the recording's format
        bool remade;
        int tickChannels = 2, recordChannels = 2;  // app.state.options.channels then
    };
    const Row rows[] = {
        {"16 Bit to 32 Bit", 4, 1, 4, 2, 44100, 256, true},
        {"rate only", 4, 1, 2, 1, 22050, 0, true},
        {"8 Bit to 16 Bit", 0, 0, 0, 1, 8000, 0, true},
        {"32 Bit to 8 Bit", 5, 2, 5, 0, 48000, 1, true},
        {"same format", 4, 1, 4, 1, 44100, 0, false},
        {"16 Bit stereo to 24 Bit mono", 4, 1, 4, 3, 44100, 1024, true, 2, 1},
        {"mono to stereo", 4, 3, 4, 3, 44100, 1024, true, 1, 2},
        {"24 Bit mono both times", 5, 3, 5, 3, 48000, 1024, false, 1, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        t.form.组合框2->setCurrentIndex(row.tickRate);
        t.form.组合框3->setCurrentIndex(row.tickWidth);
        t.app.state.options.channels = row.tickChannels;
        tick(true);
        const audio::Handle armed = stream();
        ASSERT_NE(armed, 0u);
        t.form.组合框2->setCurrentIndex(row.recordRate);
        t.form.组合框3->setCurrentIndex(row.recordWidth);
        t.app.state.options.channels = row.recordChannels;

        ToggleRecording(t.app);
        const audio::Handle now = stream();
        EXPECT_EQ(now != armed, row.remade);
        EXPECT_TRUE(t.engine.hasFormat(now, row.rate, row.recordChannels, row.flags));
        EXPECT_EQ(t.sim.openStreamCount(), 1) << "the old stream is freed, not left open";
        EXPECT_NE(t.engine.state(now), 1) << "still only armed before the first block";

        t.sim.pumpCaptureBlock();
        t.sim.pumpOutput(row.rate / 20);
        const std::vector<std::uint8_t> played = t.sim.playedBytes(now);
        const std::uint8_t* recorded = ShownRecording(t.app).data();
        ASSERT_FALSE(played.empty());
        EXPECT_TRUE(std::equal(played.begin(), played.end(), recorded))
            << "the speaker hears the recorded bytes as they are";

        ToggleRecording(t.app);
        EXPECT_EQ(stream(), now);
        EXPECT_NE(t.engine.state(now), -1) << "a stop does not free the stream";
        tick(false);
        EXPECT_EQ(t.engine.state(now), -1);
    }
}

TEST_F(MonitoringTest, WithTheBoxClearedARecordingMakesNoStream) {
    tick(true);
    tick(false);
    t.form.组合框3->setCurrentIndex(2);
    ToggleRecording(t.app);
    t.sim.pumpCaptureBlock();
    EXPECT_EQ(t.sim.openStreamCount(), 0);
    ToggleRecording(t.app);
}

TEST_F(MonitoringTest, WithoutOutputTheRecordingIsUnaffected) {
    t.engine.freeOutput();
    tick(true);
    EXPECT_EQ(stream(), 0u);
    ToggleRecording(t.app);
    t.sim.pumpCaptureBlock();
    ToggleRecording(t.app);
    EXPECT_EQ(t.app.state.record_buffer.size(), std::size_t(44 + kBlock44k16));
}

}  // namespace
}  // namespace quillar
