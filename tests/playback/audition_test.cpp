#include "playback/audition.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <thread>

#include "record/recording_control.h"
#include "record/saving.h"
#include "record/status_display.h"
#include "record/wav_image.h"
#include "support/test_app.h"
#include "wav_bytes.h"

namespace quillar::test {
namespace {

// What the window shows in each audition state.
struct Look {
    const char* caption;  // 按钮2
    const char* status;   // 编辑框1
    int tick;             // 时钟2 interval
    bool recordEnabled;   // 按钮1
    int signal;
};
const Look kIdle{"试听录音", "停止中", 0, true, 0};
const Look kOn{"停止试听", "试听中", 30, false, 1};

class AuditionTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(t.engine.initOutput(-1, 44100));
        f().编辑框1->setText("停止中");
        f().编辑框2->setText("录制时间 00:00:01");
    }
    // A finished 44100 Hz 16-bit stereo recording of `frames` frames, as StopRecording leaves it.
    void recordingInMemory(int frames) {
        const QByteArray data = pcm16(2, frames, [](int c, int i) { return c * 1000 + i % 3000; });
        t.app.state.record_buffer.clear();
        t.app.state.record_buffer.append(data.constData(), std::size_t(data.size()));
        BuildWavImage(t.app.state.record_buffer, 44100, 16, 2);
        f().按钮2->setEnabled(true);
    }
    QByteArray bufferBytes() const {
        const RecordBuffer& b = t.app.state.record_buffer;
        return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
    }
    void expectLook(const Look& look) {
        EXPECT_EQ(f().按钮2->text(), QString::fromUtf8(look.caption));
        EXPECT_EQ(f().编辑框1->text(), QString::fromUtf8(look.status));
        EXPECT_EQ(intervalOf(f().时钟2), look.tick);
        EXPECT_EQ(f().按钮1->isEnabled(), look.recordEnabled);
        EXPECT_EQ(t.app.state.signal_active, look.signal);
    }
    QByteArray played(audio::Handle s) const {
        const std::vector<std::uint8_t> b = t.sim.playedBytes(s);
        return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
    }
    MainForm& f() { return t.form; }
    audio::Handle stream() const { return t.app.state.audition_stream; }

    TestApp t;
};

TEST_F(AuditionTest, PlayedToItsEndRestoresEverything) {
    recordingInMemory(4410);
    f().按钮2->click();
    expectLook(kOn);
    ASSERT_NE(stream(), 0u);
    OnAuditionTick(t.app);  // the remaining time replaces the recorded time meanwhile
    EXPECT_TRUE(f().编辑框2->text().startsWith("剩余时间"));

    t.sim.pumpOutput(4410 + 10);
    expectLook(kOn);  // the notice waits for the window thread
    QCoreApplication::processEvents();
    expectLook(kIdle);
    EXPECT_EQ(f().编辑框2->text(), "录制时间 00:00:01");
    EXPECT_EQ(t.engine.state(stream()), -1);  // freed, handle kept
    EXPECT_EQ(played(stream()), bufferBytes().mid(44));
}

TEST_F(AuditionTest, SecondClickStopsAndFreesTheStream) {
    recordingInMemory(44100);
    f().按钮2->click();
    t.sim.pumpOutput(441);
    const audio::Handle s = stream();
    f().按钮2->click();
    expectLook(kIdle);
    EXPECT_EQ(f().编辑框2->text(), "录制时间 00:00:01");
    EXPECT_EQ(t.engine.state(s), -1);
    EXPECT_EQ(stream(), s);
    t.sim.pumpOutput(44100);
    QCoreApplication::processEvents();
    expectLook(kIdle);
}

TEST_F(AuditionTest, AStreamThatCannotBeCreatedStillShowsTheAudition) {
    const struct {
        const char* name;
        bool output;
        bool recording;
    } cases[] = {{"no output device", false, true}, {"nothing ever recorded", true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestApp fresh;
        if (c.output) {
            fresh.engine.initOutput(-1, 44100);
        }
        if (c.recording) {
            const QByteArray d(400, '\1');
            fresh.app.state.record_buffer.append(d.constData(), std::size_t(d.size()));
            BuildWavImage(fresh.app.state.record_buffer, 44100, 16, 2);
        }
        fresh.form.编辑框2->setText("录制时间 00:00:07");
        fresh.form.按钮2->setEnabled(true);
        fresh.form.按钮2->click();
        EXPECT_EQ(fresh.app.state.audition_stream, 0u);
        EXPECT_EQ(fresh.form.按钮2->text(), "停止试听");
        EXPECT_EQ(fresh.form.编辑框1->text(), "试听中");
        fresh.form.按钮2->click();
        EXPECT_EQ(fresh.form.按钮2->text(), "试听录音");
        EXPECT_EQ(fresh.form.编辑框1->text(), "停止中");
        EXPECT_EQ(fresh.form.编辑框2->text(), "录制时间 00:00:07");
        EXPECT_TRUE(fresh.form.按钮1->isEnabled());
        EXPECT_EQ(intervalOf(fresh.form.时钟2), 0);
    }
}

TEST_F(AuditionTest, SavingDuringAnAuditionWritesTheSameBytesAndTheAuditionGoesOn) {
    recordingInMemory(4410);
    const QByteArray before = bufferBytes();
    f().按钮2->click();
    t.sim.pumpOutput(1000);
    QTemporaryDir dir;
    ASSERT_TRUE(WriteRecordingFile(t.app, dir.filePath("a.wav")));
    QFile saved(dir.filePath("a.wav"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), before);
    expectLook(kOn);
    EXPECT_EQ(t.engine.state(stream()), 1);
    t.sim.pumpOutput(4000);
    QCoreApplication::processEvents();
    expectLook(kIdle);
    EXPECT_EQ(played(stream()), before.mid(44));
}

TEST_F(AuditionTest, StaleEndNoticesAreIgnored) {
    recordingInMemory(4410);
    f().按钮2->click();
    const audio::Handle first = stream();
    t.sim.pumpOutput(5000);  // the first audition's end notice is now queued
    f().按钮2->click();      // ... but the user stopped it
    f().按钮2->click();      // ... and started another before the notice arrived
    ASSERT_NE(stream(), first);
    QCoreApplication::processEvents();
    expectLook(kOn);
    EXPECT_EQ(t.engine.state(stream()), 1);

    OnAuditionEnd(t.app, stream());  // a notice for a stream still playing
    expectLook(kOn);
    f().按钮2->click();
    f().编辑框1->setText("录制中");
    OnAuditionEnd(t.app, stream());  // after the audition stopped
    EXPECT_EQ(f().编辑框1->text(), "录制中");
}

TEST_F(AuditionTest, EndNoticeFromAnEngineThreadIsHandledOnTheWindowThread) {
    recordingInMemory(4410);
    f().按钮2->click();
    std::thread engineThread([this] { t.sim.pumpOutput(5000); });
    engineThread.join();
    expectLook(kOn);
    QCoreApplication::processEvents();
    expectLook(kIdle);
}

// A mono 24-bit take plays from memory as it was recorded, each sample widened to 32 bits for the
// device, and the time left counts down from the take's own length.
TEST_F(AuditionTest, AMonoTwentyFourBitTakePlaysAsRecorded) {
    if (f().组合框1->count() == 0) {
        f().组合框1->addItem("Simulated input", 0);
    }
    t.app.state.options.channels = 1;
    f().组合框2->setCurrentIndex(4);  // 44100 Hz
    f().组合框3->setCurrentIndex(3);  // 24 Bit
    t.sim.setSignal([](int, std::int64_t i) { return ((i * 37) % 2001 - 1000) / 1024.0; });
    ToggleRecording(t.app);
    for (int i = 0; i < 10; ++i) {
        t.sim.pumpCaptureBlock();
    }
    ToggleRecording(t.app);

    f().按钮2->click();
    ASSERT_NE(stream(), 0u);
    EXPECT_EQ(t.engine.channelCount(stream()), 1u);
    EXPECT_NEAR(LengthSeconds(t.engine, stream()), 1.0, 1e-6);
    t.sim.pumpOutput(44100 + 10);
    const QByteArray got = played(stream());
    const QByteArray take = bufferBytes().mid(44);
    ASSERT_EQ(take.size(), 44100 * 3);
    ASSERT_EQ(got.size(), 44100 * 4);
    int wrong = 0;
    for (int i = 0; i < 44100; ++i) {
        wrong += got[4 * i] != 0 || got.mid(4 * i + 1, 3) != take.mid(3 * i, 3);
    }
    EXPECT_EQ(wrong, 0);
    QCoreApplication::processEvents();
    expectLook(kIdle);
}

TEST_F(AuditionTest, StartingARecordingResetsTheAuditionAsItsOwnStopDoes) {
    if (f().组合框1->count() == 0) {
        f().组合框1->addItem("Simulated input", 0);
    }
    recordingInMemory(44100);
    f().按钮2->click();
    OnAuditionTick(t.app);
    const audio::Handle s = stream();
    ToggleRecording(t.app);  // Enter in the item list while the audition plays
    EXPECT_EQ(t.engine.state(s), -1);
    EXPECT_EQ(f().按钮2->text(), "试听录音");
    EXPECT_EQ(intervalOf(f().时钟2), 0);
    EXPECT_TRUE(f().按钮1->isEnabled());
    EXPECT_EQ(f().按钮1->text(), "停止录音");
    EXPECT_EQ(f().编辑框2->text(), "录制时间 00:00:01");
    EXPECT_EQ(f().编辑框1->text(), "录制中");
    ToggleRecording(t.app);
    EXPECT_EQ(f().按钮1->text(), "开始录音");
}

}  // namespace
}  // namespace quillar::test
