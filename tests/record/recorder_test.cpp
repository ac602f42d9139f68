#include "record/recorder.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "app/settings.h"
#include "app/startup.h"
#include "audio/audio_engine.h"
#include "audio/sim_backend.h"
#include "items/closed_takes.h"
#include "items/item_file.h"
#include "items/item_list.h"
#include "kit/main_form.h"
#include "kit/queued_calls.h"
#include "kit/record_buffer.h"
#include "record/device_worker.h"
#include "record/recording_control.h"
#include "recorder_fixture.h"
#include "support/field_worker.h"
#include "support/settle.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

TEST_F(RecorderTest, APreRollTakeBeginsThatLongBeforeItsKey) {
    for (const std::uint32_t prerollMs : {0U, 300U, 2000U}) {
        SCOPED_TRACE(prerollMs);
        ASSERT_TRUE(recorder.openInput(0, format));
        ASSERT_EQ(recorder.input(), Recorder::Input::Open);
        pump(3 * kSecond);  // the key comes 3 s after the input opened
        ASSERT_TRUE(recorder.start(0, format, prerollMs));
        EXPECT_EQ(recorder.state(), State::Recording);
        pump(kSecond);
        ASSERT_TRUE(recorder.stop(300));
        EXPECT_EQ(recorder.state(), State::Closing) << "the post-roll is still to come";
        pump(kSecond / 2);
        ASSERT_EQ(recorder.state(), State::Idle);
        const std::vector<std::int64_t> frames = takeFrames();
        const std::int64_t first = 3 * kSecond - prerollMs * kRate / 1000;
        const std::int64_t last = 4 * kSecond + 300 * kRate / 1000;  // excluded
        ASSERT_EQ(static_cast<std::int64_t>(frames.size()), last - first);
        EXPECT_EQ(frames.front(), first % 16384);
        for (std::size_t i = 1; i < frames.size(); ++i) {
            ASSERT_EQ(frames[i], (frames[i - 1] + 1) % 16384) << "a gap at " << i;
        }
        recorder.closeInput();
    }
}

// A source that gives nothing for its first 600 ms (an idle server's monitor) and a take keyed
// at once: its stop is placed by the audio that came, not by the clock since the key, which would
// run 600 ms past the stopping key into the next word.
TEST_F(RecorderTest, ATakeBegunBeforeTheFirstFrameCountsItsStopFromThatFrame) {
    std::int64_t clockMs = 0;
    recorder.setClock([&clockMs] { return clockMs; });
    ASSERT_TRUE(recorder.openInput(0, format));
    ASSERT_TRUE(recorder.start(0, format, 300));
    clockMs = 600 + 1000;
    pump(kSecond);  // the first second of audio, looked at as it came
    ASSERT_TRUE(recorder.stop(300));
    clockMs += 500;
    pump(kSecond / 2);
    ASSERT_EQ(recorder.state(), State::Idle) << "its post-roll came with the audio after the key";
    const std::vector<std::int64_t> frames = takeFrames();
    ASSERT_EQ(frames.size(), static_cast<std::size_t>(kSecond + 300 * kRate / 1000));
    EXPECT_EQ(frames.front(), 0);
    EXPECT_EQ(recorder.latestTake()->prerollShortMs(), 300U);
}

TEST_F(RecorderTest, AResumeAddsNoPreRollAndTheTakeSkipsThePause) {
    ASSERT_TRUE(recorder.openInput(0, format));
    pump(kSecond);
    ASSERT_TRUE(recorder.start(0, format, 500));  // from frame 4000
    pump(kSecond);
    ASSERT_TRUE(recorder.pause());  // at 16000
    pump(kSecond / 2);
    ASSERT_TRUE(recorder.resume());  // at 20000
    pump(kSecond / 2);
    ASSERT_TRUE(recorder.stop(0));  // at 24000
    pump(kSecond / 5);
    ASSERT_EQ(recorder.state(), State::Idle);
    const std::vector<std::int64_t> frames = takeFrames();
    ASSERT_EQ(frames.size(), 12000U + 4000U);
    EXPECT_EQ(frames[0], 4000);
    EXPECT_EQ(frames[11999], 15999);
    EXPECT_EQ(frames[12000], 20000 % 16384);
}

TEST_F(RecorderTest, ATakeBegunInAPostRollBeginsAtOnceAndEachKeepsItsOwnRange) {
    std::vector<std::shared_ptr<Take>> closed;
    Recorder r(engine, worker, [&](Change c) {
        if (c == Change::Closed) {
            closed.push_back(r.nextClosedTake());
        }
    });
    TakeTarget first;
    first.item = QStringLiteral("甲");
    TakeTarget second;
    second.item = QStringLiteral("乙");
    ASSERT_TRUE(r.openInput(0, format));
    pump(kSecond);
    ASSERT_TRUE(r.start(0, format, 300, first));  // 5600..
    sim.pumpCapture(kSecond);
    ASSERT_TRUE(r.stop(300));  // ..18400
    sim.pumpCapture(kSecond / 10);
    ASSERT_TRUE(r.start(0, format, 300, second)) << "at once";  // key at 16800: 14400..
    EXPECT_EQ(r.state(), State::Recording);
    EXPECT_FALSE(r.start(0, format, 300)) << "one take runs at a time";
    EXPECT_EQ(r.takesUnderway(), 2U);
    sim.pumpCapture(kSecond / 2);
    r.poll();
    ASSERT_EQ(closed.size(), 1U);
    EXPECT_EQ(closed[0]->target().item, QStringLiteral("甲"));
    const std::vector<std::int64_t> a = framesOf(closed[0]->audio());
    EXPECT_EQ(a.front(), 5600);
    EXPECT_EQ(a.size(), 18400U - 5600U);
    sim.pumpCapture(kSecond / 2);
    ASSERT_TRUE(r.stop(0));  // at 24800
    sim.pumpCapture(kSecond / 5);
    r.poll();
    ASSERT_EQ(closed.size(), 2U);
    EXPECT_EQ(closed[1]->target().item, QStringLiteral("乙"));
    const std::vector<std::int64_t> b = framesOf(closed[1]->audio());
    EXPECT_EQ(b.front(), 14400) << "its own pre-roll, shared with the take before";
    EXPECT_EQ(b.size(), 24800U - 14400U);
    r.closeInput();
}

TEST_F(RecorderTest, TakesClosingOnADeviceThatIsReplacedFinishWithWhatItDelivered) {
    ASSERT_TRUE(recorder.openInput(0, format));
    pump(kSecond);
    ASSERT_TRUE(recorder.start(0, format, 0));  // 8000..
    pump(kSecond);
    ASSERT_TRUE(recorder.stop(2000));  // ..32000, of which 16000 have come
    const Recorder::Format mono{kRate, 1, 0};
    ASSERT_TRUE(recorder.openInput(1, mono)) << "a closing take does not hold the boxes";
    pump(kSecond);
    const std::shared_ptr<Take> take = recorder.nextClosedTake();
    ASSERT_NE(take, nullptr);
    EXPECT_EQ(take->audio().size(), 8000U * 4) << "what the old device delivered";
    EXPECT_EQ(recorder.input(), Recorder::Input::Open);
    EXPECT_EQ(recorder.format(), mono);
    recorder.closeInput();
}

TEST_F(RecorderTest, TheStatesRefuseWhatTheyCannotDo) {
    struct Row {
        const char* name;
        bool keepOpen;
        std::function<void()> into;  // from Idle into the state
        State state;
        bool start, stop, pause, resume;
    } rows[] = {
        {"idle", true, [] {}, State::Idle, true, false, false, false},
        {"recording", true, [&] { recorder.start(0, format, 0); }, State::Recording, false, true,
         true, false},
        {"paused", true,
         [&] {
             recorder.start(0, format, 0);
             recorder.pause();
         },
         State::Paused, false, true, false, true},
        {"closing", true,
         [&] {
             recorder.start(0, format, 0);
             recorder.stop(1000);
         },
         State::Closing, true, false, false, false},
        {"a device of its own, recording", false, [&] { recorder.start(0, format, 0); },
         State::Recording, false, true, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto check = [&](const char* action, bool expected, auto&& call) {
            SCOPED_TRACE(action);
            if (row.keepOpen) {
                recorder.openInput(0, format);
                pump(kSecond);
            }
            row.into();
            ASSERT_EQ(recorder.state(), row.state);
            EXPECT_EQ(call(), expected);
            recorder.finishNow();
            pump(2 * kSecond);
            recorder.finishNow();
            ASSERT_EQ(recorder.state(), State::Idle) << "back to idle for the next row";
            recorder.closeInput();
        };
        check("start", row.start, [&] { return recorder.start(0, format, 0); });
        check("stop", row.stop, [&] { return recorder.stop(0); });
        check("pause", row.pause, [&] { return recorder.pause(); });
        check("resume", row.resume, [&] { return recorder.resume(); });
    }
}

TEST_F(RecorderTest, ADeviceOrFormatChangeOpensTheInputAgain) {
    ASSERT_TRUE(recorder.openInput(0, format));
    const Recorder::Format mono48{48000, 1, audio::kSampleFloat};
    ASSERT_TRUE(recorder.openInput(1, mono48));
    const auto opens = sim.captureOpens();
    ASSERT_EQ(opens.size(), 2U);
    EXPECT_EQ(opens[1].device, 1);
    EXPECT_EQ(opens[1].rate, 48000U);
    EXPECT_EQ(opens[1].channels, 1U);
    EXPECT_EQ(sim.captureOpenCount(), 1);
    EXPECT_EQ(recorder.input(), Recorder::Input::Open);
    recorder.closeInput();
    EXPECT_EQ(sim.captureOpenCount(), 0);
}

// Lets the window thread run for `ms`, as its event loop would, while the worker works.
void settle(int ms) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// A threaded device worker whose completions come back as queued calls, as in the program.
void useThreadedWorker(TestApp& t) {
    t.app.device_worker = std::make_shared<DeviceWorker>(
        [&t](std::function<void()> fn) { t.form.queuedCalls->post(std::move(fn)); });
    MakeRecorder(t.app);
}

// A server that does not answer at start-up: the window comes up, says what it waits for, and
// lists the devices once the server answers.
TEST(RecorderWindow, AServerSilentAtStartUpIsSaidAndTheDevicesComeLater) {
    QTemporaryDir dir;
    SetSettingsFolder(dir.path());
    TestApp t;
    useThreadedWorker(t);
    t.sim.setServerBlocked(true);
    const auto before = std::chrono::steady_clock::now();
    OnMainWindowCreated(t.app);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    settle(800);
    EXPECT_EQ(t.form.组合框1->count(), 0);
    EXPECT_FALSE(t.form.标签_声音服务->isHidden()) << "the window says what it waits for";
    t.sim.setServerBlocked(false);
    settle(300);
    EXPECT_GT(t.form.组合框1->count(), 0);
    EXPECT_EQ(t.form.组合框1->currentIndex(), 0);
    EXPECT_TRUE(t.form.标签_声音服务->isHidden());
    EXPECT_EQ(intervalOf(t.form.时钟_录音收尾), 0) << "nothing left to watch";
}

// The window with a real worker thread over a server that stops answering.
TEST(RecorderWindow, TheWindowNeverWaitsForAServerThatHangs) {
    QTemporaryDir dir;
    SetSettingsFolder(dir.path());
    TestApp t;
    useThreadedWorker(t);
    t.sim.setSignal(frameSignal);
    OnMainWindowCreated(t.app);
    t.form.编辑框_保存路径->setText(dir.path());
    settle(100);  // the devices listed
    ASSERT_EQ(t.form.组合框1->currentIndex(), 0);
    // Whatever happens, the server answers again within 20 s, so a test that fails never hangs.
    std::atomic<bool> over{false};
    std::thread rescue([&t, &over] {
        for (int i = 0; i < 400 && !over; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        t.sim.setServerBlocked(false);
    });

    t.sim.setServerBlocked(true);
    const auto before = std::chrono::steady_clock::now();
    OnItemListKeyDown(t.app, kKeyEnter, 0);
    OnItemListKeyDown(t.app, kKeyEnter, 0);  // pressed again while the device opens
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500))
        << "the window waited for the server";
    EXPECT_TRUE(TakeClosing(t.app)) << "the second Enter stopped it, once";
    settle(800);
    EXPECT_FALSE(t.form.标签_声音服务->isHidden()) << "the window says what it waits for";
    t.sim.setServerBlocked(false);
    settleUntil([&t] { return t.app.recorder->takesUnderway() == 0; });
    settle(100);
    EXPECT_FALSE(TakeRunning(t.app));
    EXPECT_FALSE(TakeClosing(t.app));
    EXPECT_TRUE(t.form.标签_声音服务->isHidden());

    // A take whose capture stalls for longer than the stall rule goes on after it.
    OnItemListKeyDown(t.app, kKeyEnter, 0);
    ASSERT_TRUE(settleUntil([&t] { return t.app.recorder->state() == Recorder::State::Recording; }))
        << "its device opened";
    t.sim.pumpCapture(kSecond / 2);
    settle(audio::kCaptureStallMs + 500);  // nothing comes
    EXPECT_TRUE(TakeRunning(t.app)) << "a stall is not a lost device";
    EXPECT_FALSE(t.form.标签_声音服务->isHidden());
    t.sim.pumpCapture(kSecond / 2);
    settle(100);
    OnItemListKeyDown(t.app, kKeyEnter, 0);
    settleUntil([&t] { return t.app.recorder->takesUnderway() == 0; });
    settle(50);  // the closed take is filed from the event loop
    EXPECT_FALSE(TakeRunning(t.app));
    EXPECT_EQ(t.app.state.record_buffer.size(), RecordBuffer::kHeaderBytes + kSecond * 4)
        << "audio from before and after the stall";

    over = true;
    rescue.join();
    OnMainWindowDestroyed(t.app);
    SetSettingsFolder(QString());
}

// The window with the input kept open and both margins, on the inline worker.
TEST(RecorderWindow, MarginsAroundEnterTakesAndAClosingWindowSavesThePostRollTake) {
    QTemporaryDir dir;
    SetSettingsFolder(dir.path());
    TestApp t;
    t.sim.setSignal(frameSignal);
    OnMainWindowCreated(t.app);
    t.app.state.options = RecordingOptions();  // the program's defaults: 300 ms either side
    t.form.编辑框_保存路径->setText(dir.path());
    t.form.列表框_录音文本列表->addItems({u"甲"_s, u"乙"_s});
    t.form.列表框_录音文本列表->setCurrentRow(0);
    KeepInputOpen(t.app);
    ASSERT_EQ(t.app.recorder->input(), Recorder::Input::Open);
    const std::int64_t rate = t.form.组合框2->currentData().toInt();
    t.sim.pumpCapture(rate);  // a second of room before the first key

    OnItemListKeyDown(t.app, kKeyEnter, 0);
    t.sim.pumpCapture(rate);
    OnItemListKeyDown(t.app, kKeyEnter, 0);
    EXPECT_TRUE(TakeClosing(t.app)) << "the post-roll comes in";
    t.form.列表框_录音文本列表->setCurrentRow(1);  // the list answers meanwhile
    OnItemListKeyDown(t.app, kKeyEnter, 0);        // the next item's take, once this one is saved
    t.sim.pumpCapture(rate / 2);
    OnRecorderTick(t.app);
    SaveClosedTakes(t.app);  // as the tick's wiring does
    const QString first = dir.filePath(u"甲.wav"_s);
    ASSERT_TRUE(QFileInfo::exists(first));
    // 300 ms before the key, the second, 300 ms after: 1.6 s of 16-bit stereo.
    EXPECT_EQ(QFileInfo(first).size(), 44 + rate * 16 / 10 * 4);
    EXPECT_TRUE(TakeRunning(t.app)) << "the next take began at its key";

    OnItemListKeyDown(t.app, kKeyEnter, 0);
    ASSERT_TRUE(TakeClosing(t.app));
    EXPECT_TRUE(ConfirmClose(t.app)) << "no question: the take is finished and saved";
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(u"乙.wav"_s)));
    OnMainWindowDestroyed(t.app);
    SetSettingsFolder(QString());
}

// The new microphone goes between the server opening it and its answer reaching the window: the
// engine's notice names a channel the recorder does not have yet. The take that waited for the
// input begins on it when the answer comes, and must end there, not record nothing for ever.
TEST(RecorderWindow, ADeviceLostBeforeItsOpeningIsAnsweredEndsTheTakeThatWaitedForIt) {
    QTemporaryDir dir;
    SetSettingsFolder(dir.path());
    FieldWorker field(1, 0, 0);
    TestApp t(std::make_unique<audio::SimBackend>(), field.handOver());
    t.sim.setDevices({"甲", "乙"});
    t.sim.setSignal(frameSignal);
    OnMainWindowCreated(t.app);
    field.settle();
    t.app.state.options.keep_input = true;
    t.form.编辑框_保存路径->setText(dir.path());
    t.form.列表框_录音文本列表->addItem(u"甲"_s);
    t.form.列表框_录音文本列表->setCurrentRow(0);
    KeepInputOpen(t.app);
    field.settle();
    ASSERT_EQ(t.app.recorder->input(), Recorder::Input::Open);

    field.holdAnswers(true);
    t.form.组合框1->setCurrentIndex(1);
    field.moment();  // the old device closed and the new one opened; neither answer is back
    t.sim.pumpCapture(800);
    t.sim.loseCapture();
    QCoreApplication::sendPostedEvents();
    OnItemListKeyDown(t.app, kKeyEnter, 0);  // waits for the input
    ASSERT_TRUE(TakeRunning(t.app));
    field.holdAnswers(false);
    field.settle();
    t.sim.pumpCapture(800);
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(TakeRunning(t.app)) << "the take on a device that went has ended";
    field.settle();  // the lost device closed
    OnRecorderTick(t.app);
    EXPECT_EQ(t.app.recorder->takesUnderway(), 0U);
    field.answerAtOnce(t.form.queuedCalls);
    OnMainWindowDestroyed(t.app);
    SetSettingsFolder(QString());
}

}  // namespace
}  // namespace quillar::test
