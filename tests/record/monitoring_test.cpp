// Live monitoring: what the box arms, what each captured block feeds, and that clearing it never
// touches the recording.
#include "record/monitoring.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

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
