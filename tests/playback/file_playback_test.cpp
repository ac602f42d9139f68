#include "playback/file_playback.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <functional>

#include "items/item_list.h"
#include "kit/drawing_board.h"
#include "kit/media_player.h"
#include "kit/shape_box.h"
#include "record/recording_control.h"
#include "support/test_app.h"
#include "wav_bytes.h"

namespace quillar::test {
namespace {

// A shown window with an output device; the current recording file is `frames` frames of
// 44100 Hz 16-bit stereo.
class FilePlaybackTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(t.engine.initOutput(-1, 44100));
        t.form.show();
        t.form.按钮_播放录音->setEnabled(true);
    }
    QString recording(int frames) {
        const QString path = dir.filePath("猫.wav");
        EXPECT_TRUE(writeFile(path, wavBytes(WavFields{}, pcm16(2, frames, [](int, int i) {
                                                 return (i * 97) % 20000 - 10000;
                                             }))));
        t.form.编辑框_当前录音文件->setText(path);
        return path;
    }
    MainForm& f() { return t.form; }
    bool finishedAtStart() const {
        return t.form.进度条1->isHidden() && t.form.外形框2->x() == 16 &&
               t.form.标签_指针->x() == 3;
    }

    TestApp t;
    QTemporaryDir dir;
};

TEST_F(FilePlaybackTest, CursorAndBarMoveInHundredStepsAndReturnAtTheEnd) {
    recording(44100);  // 176400 bytes: a step every 1764
    f().外形框2->move(300, f().外形框2->y());
    PlayCurrentRecording(t.app);
    EXPECT_TRUE(IsPlayingCurrentRecording(t.app));
    EXPECT_FALSE(f().按钮_播放录音->isEnabled());
    EXPECT_TRUE(f().进度条1->isVisible());
    EXPECT_EQ(f().进度条1->maximum(), 100);
    EXPECT_EQ(f().进度条1->value(), 0);
    EXPECT_EQ(f().外形框2->x(), 16);

    const int w = f().画板5->width();
    ASSERT_EQ(w, 672);
    for (int step = 1; step < 100; ++step) {
        t.sim.pumpOutput(441);
        PollCurrentRecording(t.app);
        ASSERT_EQ(f().进度条1->value(), step);
        ASSERT_EQ(f().外形框2->x(), int(std::trunc(w / 100.0 * step + 16))) << step;
        ASSERT_EQ(f().标签_指针->x(), int(std::trunc(w / 100.0 * step + 3))) << step;
        ASSERT_FALSE(f().按钮_播放录音->isEnabled());
    }
    EXPECT_EQ(f().外形框2->x(), 681);

    t.sim.pumpOutput(441);  // the end: step 100, then position = length
    PollCurrentRecording(t.app);
    EXPECT_EQ(f().进度条1->value(), 100);
    EXPECT_TRUE(finishedAtStart());
    EXPECT_FALSE(IsPlayingCurrentRecording(t.app));
    EXPECT_TRUE(f().按钮_播放录音->isEnabled());
    EXPECT_EQ(f().focusWidget(), f().列表框_录音文本列表);
    EXPECT_EQ(f().媒体播放1->state(), 0);  // stopped and released
}

TEST_F(FilePlaybackTest, AtMostOneStepPerPoll) {
    recording(44100);
    PlayCurrentRecording(t.app);
    t.sim.pumpOutput(441 * 30);
    PollCurrentRecording(t.app);
    EXPECT_EQ(f().进度条1->value(), 1);
    PollCurrentRecording(t.app);
    EXPECT_EQ(f().进度条1->value(), 2);
}

TEST_F(FilePlaybackTest, ARecordingShorterThanAHundredUnitsEndsThroughTheEnd) {
    recording(10);  // 40 bytes
    PlayCurrentRecording(t.app);
    t.sim.pumpOutput(10);
    PollCurrentRecording(t.app);
    EXPECT_EQ(f().进度条1->value(), 1);  // the other 99 steps are never shown
    EXPECT_TRUE(finishedAtStart());
    EXPECT_TRUE(f().按钮_播放录音->isEnabled());
}

TEST_F(FilePlaybackTest, AFileThatDoesNotOpenEndsAsTheEndDoes) {
    const struct {
        const char* name;
        QByteArray bytes;  // empty: no file at all
    } cases[] = {{"missing", QByteArray()},
                 {"not a WAV file", QByteArray("just some text, not audio")},
                 {"header cut short", wavBytes(WavFields{}, QByteArray(400, '\0')).left(30)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString("bad_%1.wav").arg(c.name));
        if (!c.bytes.isEmpty()) {
            ASSERT_TRUE(writeFile(path, c.bytes));
        }
        f().编辑框_当前录音文件->setText(path);
        f().进度条1->hide();
        f().按钮_播放录音->setFocus();
        PlayCurrentRecording(t.app);
        EXPECT_FALSE(IsPlayingCurrentRecording(t.app));
        EXPECT_TRUE(finishedAtStart());
        EXPECT_TRUE(f().按钮_播放录音->isEnabled());
        EXPECT_EQ(f().focusWidget(), f().列表框_录音文本列表);
    }
}

TEST_F(FilePlaybackTest, WithoutAnOutputDeviceNothingPlaysAndTheBarGoes) {
    t.engine.freeOutput();
    recording(4410);
    PlayCurrentRecording(t.app);
    EXPECT_FALSE(IsPlayingCurrentRecording(t.app));
    EXPECT_TRUE(finishedAtStart());
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_TRUE(t.ui.messages[0].text.contains(QStringLiteral("输出设备")));
    EXPECT_TRUE(f().按钮_播放录音->isEnabled());
}

TEST_F(FilePlaybackTest, ASecondRequestWhilePlayingStartsAgainFromTheStart) {
    recording(44100);
    PlayCurrentRecording(t.app);
    for (int i = 0; i < 40; ++i) {
        t.sim.pumpOutput(441);
        PollCurrentRecording(t.app);
    }
    ASSERT_EQ(f().进度条1->value(), 40);
    PlayCurrentRecording(t.app);  // Ctrl again
    EXPECT_EQ(f().进度条1->value(), 0);
    EXPECT_EQ(f().外形框2->x(), 16);
    EXPECT_EQ(f().媒体播放1->position(), 0);
    EXPECT_EQ(t.sim.playingStreamCount(), 1);
    t.sim.pumpOutput(441);
    PollCurrentRecording(t.app);
    EXPECT_EQ(f().进度条1->value(), 1);
}

TEST_F(FilePlaybackTest, TheTimerPollsWhileTheWindowKeepsHandlingEvents) {
    recording(4410);
    PlayCurrentRecording(t.app);
    ASSERT_TRUE(IsPlayingCurrentRecording(t.app));
    QTest::qWait(40);  // polls with nothing played: no step is due yet
    EXPECT_EQ(f().进度条1->value(), 0);
    // A click on the disabled button changes nothing.
    QTest::mouseClick(f().按钮_播放录音, Qt::LeftButton);
    t.sim.pumpOutput(4410);
    QTRY_VERIFY_WITH_TIMEOUT(!IsPlayingCurrentRecording(t.app), 2000);
    EXPECT_TRUE(finishedAtStart());
    EXPECT_TRUE(f().按钮_播放录音->isEnabled());
}

TEST_F(FilePlaybackTest, SavingOverThePlayingFileDoesNotDisturbIt) {
    const QString path = recording(4410);
    PlayCurrentRecording(t.app);
    t.sim.pumpOutput(441);
    ASSERT_TRUE(writeFile(path, QByteArray(10, 'x')));
    t.sim.pumpOutput(4410);
    PollCurrentRecording(t.app);
    PollCurrentRecording(t.app);
    EXPECT_TRUE(finishedAtStart());
}

TEST_F(FilePlaybackTest, SelectionMovedToAnItemWithoutRecordingKeepsTheButtonDisabled) {
    recording(4410);
    PlayCurrentRecording(t.app);
    // What selecting an item without a recording does to the play controls.
    f().编辑框_当前录音文件->clear();
    f().按钮_播放录音->setEnabled(false);
    t.sim.pumpOutput(4410);
    PollCurrentRecording(t.app);
    EXPECT_FALSE(IsPlayingCurrentRecording(t.app));
    EXPECT_FALSE(f().按钮_播放录音->isEnabled());
}

// Every kind of file a fieldworker may find under an item: the playable ones play to their end
// with no word; the others end at once as the end does, with one box saying why.
TEST_F(FilePlaybackTest, FileKindsPlayOrSayWhyNot) {
    const int frames = 4410;
    const auto raw = [frames](int frameBytes) { return QByteArray(frames * frameBytes, '\x11'); };
    WavFields pcm24;
    pcm24.bits = 24;
    WavFields ext16;
    ext16.subFormat = 1;
    WavFields ext24 = ext16;
    ext24.bits = 24;
    WavFields extFloat = ext16;
    extFloat.subFormat = 3;
    extFloat.bits = 32;
    WavFields float32;
    float32.formatTag = 3;
    float32.bits = 32;
    WavFields float64 = float32;
    float64.bits = 64;
    WavFields adpcm;
    adpcm.formatTag = 2;
    adpcm.bits = 4;
    WavFields pcm12;
    pcm12.bits = 12;
    const struct {
        const char* name;
        QByteArray bytes;
        const char* why;  // nullptr: plays
    } cases[] = {
        {"16-bit PCM", wavBytes(WavFields{}, raw(4)), nullptr},
        {"24-bit PCM", wavBytes(pcm24, raw(6)), nullptr},
        {"extensible 16-bit PCM", wavBytes(ext16, raw(4)), nullptr},
        {"extensible 24-bit PCM", wavBytes(ext24, raw(6)), nullptr},
        {"extensible float", wavBytes(extFloat, raw(8)), nullptr},
        {"32-bit float", wavBytes(float32, raw(8)), nullptr},
        {"64-bit float", wavBytes(float64, raw(16)), nullptr},
        {"empty file", QByteArray(), "空的"},
        {"MP3 renamed", QByteArray("ID3\x03\x00\x00\x00\x00\x00\x10\xFF\xFB\x90\x64", 14),
         "不是 WAV"},
        {"text", QByteArray("just some text, not audio"), "不是 WAV"},
        {"header cut short", wavBytes(WavFields{}, raw(4)).left(30), "损坏"},
        {"no sample data", wavBytes(WavFields{}, QByteArray()), "没有声音数据"},
        {"ADPCM", wavBytes(adpcm, raw(1)), "格式代码 0x0002"},
        {"12-bit PCM", wavBytes(pcm12, raw(3)), "12 位 PCM"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString("%1.wav").arg(c.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        f().编辑框_当前录音文件->setText(path);
        t.ui.messages.clear();
        PlayCurrentRecording(t.app);
        if (c.why == nullptr) {
            EXPECT_TRUE(IsPlayingCurrentRecording(t.app));
            EXPECT_GT(f().媒体播放1->length(), 0);
            t.sim.pumpOutput(frames);
            PollCurrentRecording(t.app);
            PollCurrentRecording(t.app);
            EXPECT_TRUE(t.ui.messages.empty());
        } else {
            ASSERT_EQ(t.ui.messages.size(), 1u);
            EXPECT_EQ(t.ui.messages[0].title, QStringLiteral("系统提示"));
            EXPECT_TRUE(t.ui.messages[0].text.contains(QString::fromUtf8(c.why)))
                << t.ui.messages[0].text.toStdString();
        }
        EXPECT_FALSE(IsPlayingCurrentRecording(t.app));
        EXPECT_TRUE(finishedAtStart());
        EXPECT_TRUE(f().按钮_播放录音->isEnabled());
        EXPECT_EQ(t.sim.playingStreamCount(), 0);
    }
}

TEST_F(FilePlaybackTest, NoBoxTakesTheKeyboardDuringATake) {
    const QString path = dir.filePath("坏.wav");
    ASSERT_TRUE(writeFile(path, QByteArray("not audio")));
    f().编辑框_当前录音文件->setText(path);
    f().组合框1->addItem("Simulated input", 0);
    f().组合框1->setCurrentIndex(0);
    ToggleRecording(t.app);
    ASSERT_EQ(f().按钮1->text(), QStringLiteral("停止录音"));
    PlayCurrentRecording(t.app);
    EXPECT_TRUE(t.ui.messages.empty());
    EXPECT_TRUE(finishedAtStart());
    ToggleRecording(t.app);
}

// What may end a playback before its file has played out, in the item list the user works in:
// each ends it exactly as the natural end does, with the play button as the new selection has it.
TEST_F(FilePlaybackTest, AnotherItemOrARecordingEndsThePlaybackAsItsEndDoes) {
    struct Case {
        const char* name;
        std::function<void(TestApp&)> act;
        bool buttonAfter;  // 按钮_播放录音 enabled afterwards
    };
    const Case cases[] = {
        {"Down to an item with a recording",
         [](TestApp& a) { QTest::keyClick(a.form.列表框_录音文本列表, Qt::Key_Down); }, true},
        {"click on an item without one",
         [](TestApp& a) { a.form.列表框_录音文本列表->setCurrentRow(2); }, false},
        {"Enter starts a recording", [](TestApp& a) { OnItemListKeyDown(a.app, kKeyEnter, 0); },
         true},
        {"a click on the start button", [](TestApp& a) { a.form.按钮1->click(); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestApp a;
        ASSERT_TRUE(a.engine.initOutput(-1, 44100));
        a.form.show();
        a.form.编辑框_保存路径->setText(dir.path());
        a.form.组合框1->addItem("Simulated input", 0);
        a.form.组合框1->setCurrentIndex(0);
        for (const char* item : {"一", "二"}) {
            ASSERT_TRUE(writeFile(dir.filePath(QString::fromUtf8(item) + ".wav"),
                                  wavBytes(WavFields{}, pcm16(2, 44100, [](int, int i) {
                                               return (i * 31) % 8000 - 4000;
                                           }))));
        }
        a.form.列表框_录音文本列表->addItems({"一", "二", "三"});
        a.form.列表框_录音文本列表->setCurrentRow(0);
        a.form.列表框_录音文本列表->setFocus();
        OnItemListKeyDown(a.app, kKeyControl, 0);
        for (int i = 0; i < 30; ++i) {
            a.sim.pumpOutput(441);
            PollCurrentRecording(a.app);
        }
        ASSERT_EQ(a.form.进度条1->value(), 30);
        ASSERT_EQ(a.sim.playingStreamCount(), 1);

        c.act(a);
        EXPECT_FALSE(IsPlayingCurrentRecording(a.app));
        EXPECT_EQ(a.sim.playingStreamCount(), 0);  // nothing of the old take plays on
        EXPECT_EQ(a.form.媒体播放1->state(), 0);
        EXPECT_TRUE(a.form.进度条1->isHidden());
        EXPECT_EQ(a.form.外形框2->x(), 16);
        EXPECT_EQ(a.form.标签_指针->x(), 3);
        EXPECT_EQ(a.form.按钮_播放录音->isEnabled(), c.buttonAfter);
        EXPECT_EQ(a.sim.captureOpenCount(), a.form.按钮1->text() == QStringLiteral("停止录音"));
        if (a.form.按钮1->text() == QStringLiteral("停止录音")) {
            ToggleRecording(a.app);
        }
    }
}

}  // namespace
}  // namespace quillar::test
