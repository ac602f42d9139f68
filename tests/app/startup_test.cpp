// Start-up and shut-down against the simulated engine: the device list, the boards, the output,
// and what closing the window releases.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>

#include "app/startup.h"
#include "audio/audio_engine.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "kit/recording_options.h"
#include "record/recorder.h"
#include "record/recording_control.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

std::unique_ptr<audio::SimBackend> simWith(std::vector<std::string> devices, bool output = true) {
    auto sim = std::make_unique<audio::SimBackend>();
    sim->setDevices(std::move(devices));
    sim->setOutputAvailable(output);
    return sim;
}

bool noCapture(audio::Handle, const void*, std::uint32_t, void*) {
    return true;
}

TEST(Startup, ListsTheDevicesInTheEnginesOrderWithTheFirstSelected) {
    TestApp t(simWith({"Built-in microphone", "USB headset", "Monitor of speakers"}));
    OnMainWindowCreated(t.app);
    QComboBox* devices = t.form.组合框1;
    ASSERT_EQ(devices->count(), 3);
    const char* names[] = {"Built-in microphone", "USB headset", "Monitor of speakers"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(devices->itemText(i), names[i]);
        EXPECT_EQ(devices->itemData(i).toInt(), i);  // item index = device number
    }
    EXPECT_EQ(devices->currentIndex(), 0);
    // The format boxes keep the window's own choices.
    EXPECT_EQ(t.form.组合框2->currentIndex(), 4);
    EXPECT_EQ(t.form.组合框3->currentIndex(), 1);
}

TEST(Startup, DeviceNamesKeepTheirNonAsciiText) {
    TestApp t(simWith({"内置麦克风", "Micro-casque USB"}));
    OnMainWindowCreated(t.app);
    EXPECT_EQ(t.form.组合框1->itemText(0), "内置麦克风");
    EXPECT_EQ(t.form.组合框1->itemText(1), "Micro-casque USB");
}

TEST(Startup, OpeningTheDeviceListShowsDevicesPluggedInLaterAndKeepsTheChoice) {
    TestApp t(simWith({"Default", "Built-in microphone"}));
    OnMainWindowCreated(t.app);
    QComboBox* devices = t.form.组合框1;
    devices->setCurrentIndex(1);

    t.sim.setDevices({"Default", "USB recorder", "Built-in microphone"});
    devices->showPopup();
    devices->hidePopup();
    ASSERT_EQ(devices->count(), 3);
    EXPECT_EQ(devices->itemText(0), "Default") << "the system default stays first";
    EXPECT_EQ(devices->itemText(1), "USB recorder");
    EXPECT_EQ(devices->currentText(), "Built-in microphone");
    EXPECT_EQ(devices->currentData().toInt(), 2) << "item index = device number, still";

    // The chosen device unplugged: back to the system default.
    t.sim.setDevices({"Default", "USB recorder"});
    devices->showPopup();
    devices->hidePopup();
    EXPECT_EQ(devices->count(), 2);
    EXPECT_EQ(devices->currentIndex(), 0);
}

// Opening the list asks the server again. A kept input must not close and reopen for a list that
// has not changed (its ring would lose the pre-roll), and must follow its device to a new number.
TEST(Startup, RelistingKeepsTheOpenInputUnlessItsDeviceMoved) {
    TestApp t(simWith({"Default", "Built-in microphone"}));
    t.app.state.options = RecordingOptions();  // the input kept open
    OnMainWindowCreated(t.app);
    QComboBox* devices = t.form.组合框1;
    devices->setCurrentIndex(1);
    ASSERT_EQ(t.app.recorder->input(), Recorder::Input::Open);
    const audio::Handle opened = t.app.recorder->channel();

    devices->showPopup();
    devices->hidePopup();
    EXPECT_EQ(t.app.recorder->channel(), opened) << "the same list: the same open input";

    t.sim.setDevices({"Default", "USB recorder", "Built-in microphone"});
    devices->showPopup();
    devices->hidePopup();
    EXPECT_EQ(devices->currentText(), "Built-in microphone");
    EXPECT_EQ(t.app.recorder->input(), Recorder::Input::Open);
    EXPECT_NE(t.app.recorder->channel(), opened);
    EXPECT_EQ(t.app.state.input_device, 2) << "opened by its new number";
}

TEST(Startup, PreparesTheBoardsAndOpensTheOutput) {
    TestApp t(simWith({"a", "b", "c"}));
    OnMainWindowCreated(t.app);
    EXPECT_EQ(t.form.画板2->width(), 668);
    EXPECT_TRUE(t.sim.outputOpen());
    // A line along the status strip's top edge in the board's pen colour, and nothing below it.
    const QImage& strip = t.form.画板1->canvas();
    ASSERT_EQ(strip.width(), 672);
    EXPECT_EQ(QColor(strip.pixel(0, 0)), QColor(Qt::black));
    EXPECT_EQ(QColor(strip.pixel(671, 0)), QColor(Qt::black));
    EXPECT_EQ(QColor(strip.pixel(300, 1)), QColor(236, 236, 236));
}

TEST(Startup, WithoutDevicesOrOutputListsNothingAndTheWindowStillWorks) {
    TestApp t(simWith({}, /*output=*/false));
    OnMainWindowCreated(t.app);
    EXPECT_EQ(t.form.组合框1->count(), 0);
    EXPECT_EQ(t.form.组合框1->currentIndex(), -1);
    EXPECT_FALSE(t.sim.outputOpen());
    EXPECT_EQ(t.form.画板2->width(), 668);
    EXPECT_EQ(t.form.列表框_录音文本列表->count(), 0);
    // The blink timer runs and the help button answers.
    EXPECT_TRUE(t.form.时钟3->isActive());
    QTest::mouseClick(t.form.按钮_帮助, Qt::LeftButton);
    EXPECT_EQ(t.ui.modalTitles.size(), 1);
    t.form.close();
    EXPECT_EQ(t.sim.captureOpenCount(), 0);
}

TEST(Shutdown, ClosingTheWindowFreesTheRecordingDeviceAndTheOutput) {
    TestApp t(simWith({"a", "b", "c"}));
    OnMainWindowCreated(t.app);
    ASSERT_TRUE(t.engine.openCapture(1));
    ASSERT_NE(t.engine.startCapture(44100, 2, 0, noCapture, nullptr), 0u);
    const audio::Handle stream = t.engine.createPushStream(44100, 2, 0);
    ASSERT_NE(stream, 0u);
    ASSERT_EQ(t.sim.captureOpenCount(), 1);

    t.form.show();
    t.form.close();
    EXPECT_EQ(t.sim.captureOpenCount(), 0);
    EXPECT_FALSE(t.sim.outputOpen());
    // Streams went with the output: calls on them fail harmlessly.
    EXPECT_EQ(t.engine.pushData(stream, "\0\0\0\0", 4), -1);
}

// The event loop runs on a little after the window closed, with the input kept open: whatever the
// recorder's tick or a box still does then finds the device calls over, not a worker that is gone.
TEST(Shutdown, TheRecordersTickAfterTheCloseDoesNothing) {
    TestApp t(simWith({"a", "b"}));
    t.app.state.options = RecordingOptions();
    OnMainWindowCreated(t.app);
    ASSERT_EQ(t.app.recorder->input(), Recorder::Input::Open);
    t.form.show();
    t.form.close();
    EXPECT_EQ(intervalOf(t.form.时钟_录音收尾), 0);
    OnRecorderTick(t.app);
    t.form.组合框1->setCurrentIndex(1);  // KeepInputOpen
    EXPECT_EQ(t.sim.captureOpenCount(), 0);
}

TEST(Shutdown, RunsOnceHoweverTheProgramEnds) {
    TestApp t(simWith({"a"}));
    OnMainWindowCreated(t.app);
    int runs = 0;
    auto freeAll = std::move(t.form.onDestroying);
    t.form.onDestroying = [&] {
        ++runs;
        freeAll();
    };
    t.form.close();
    t.form.runDestroyingHook();  // what main does after the event loop
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(t.sim.outputOpen());
}

TEST(Shutdown, ClosingWhileRecordingAsksFirstAndNoKeepsTheRecordingGoing) {
    struct Case {
        const char* what;
        std::deque<bool> answers;
        bool closes;
    };
    const Case cases[] = {
        {"dialog dismissed", {}, false},
        {"no", {false}, false},
        {"yes", {true}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestApp t(simWith({"a"}));
        OnMainWindowCreated(t.app);
        t.form.show();
        QTest::mouseClick(t.form.按钮1, Qt::LeftButton);
        ASSERT_EQ(t.form.按钮1->text(), "停止录音");
        ASSERT_EQ(t.sim.captureOpenCount(), 1);

        t.ui.confirmAnswers = c.answers;
        t.form.close();
        ASSERT_EQ(t.ui.questions.size(), 1u);
        EXPECT_EQ(t.ui.questions[0].title, "系统提示");
        EXPECT_EQ(t.form.isVisible(), !c.closes);
        EXPECT_EQ(t.sim.captureOpenCount(), c.closes ? 0 : 1);
        EXPECT_EQ(t.sim.outputOpen(), !c.closes);
    }
}

TEST(Shutdown, ClosingWhenIdleAsksNothing) {
    TestApp t(simWith({"a"}));
    OnMainWindowCreated(t.app);
    t.form.show();
    t.form.close();
    EXPECT_TRUE(t.ui.questions.empty());
    EXPECT_FALSE(t.form.isVisible());
    EXPECT_FALSE(t.sim.outputOpen());
}

}  // namespace
}  // namespace quillar::test
