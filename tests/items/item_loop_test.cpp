// The working loop through key events on the item list, with the simulated engine: Enter records
// the selected item, Enter again saves it under the item's name, Ctrl plays it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <functional>

#include "app/settings.h"
#include "app/startup.h"
#include "items/item_file.h"
#include "kit/media_player.h"
#include "kit/recording_options.h"
#include "playback/file_playback.h"
#include "record/recording_control.h"
#include "support/item_lines.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

class ItemLoop : public ::testing::Test {
  protected:
    void SetUp() override {
        SetSettingsFolder(dir.path());  // no sys.ini there: start-up finds empty settings
        t.sim.setSignal([](int channel, std::int64_t frame) {
            return 0.5 * std::sin(0.05 * static_cast<double>(frame) + channel);
        });
        OnMainWindowCreated(t.app);
        folder = dir.filePath(u"录音"_s);
        ASSERT_TRUE(QDir().mkpath(folder));
        t.form.编辑框_保存路径->setText(folder);
    }
    void TearDown() override {
        OnMainWindowDestroyed(t.app);
        SetSettingsFolder(QString());
    }

    void loadItems(const QString& lines) { LoadItemLines(t.app, dir, lines); }
    QListWidget* list() { return t.form.列表框_录音文本列表; }
    void press(int key, bool autoRepeat = false) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, QString(), autoRepeat);
        QApplication::sendEvent(list(), &event);
    }
    void enter() { press(Qt::Key_Return); }
    // Enter, `blocks` captured blocks, Enter.
    void record(int blocks) {
        enter();
        for (int i = 0; i < blocks; ++i) {
            t.sim.pumpCaptureBlock();
        }
        enter();
    }
    QByteArray recording() const {
        const RecordBuffer& b = t.app.state.record_buffer;
        return QByteArray(reinterpret_cast<const char*>(b.data()),
                          static_cast<qsizetype>(b.size()));
    }
    static QByteArray contents(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString state() const { return t.form.编辑框1->text(); }

    QTemporaryDir dir;
    TestApp t;
    QString folder;
};

TEST_F(ItemLoop, EnterRecordsAndEnterAgainSavesTheItem) {
    loadItems(u"爸爸\r\n妈妈\r\n"_s);
    enter();
    EXPECT_EQ(state(), u"录制中"_s);
    t.sim.pumpCaptureBlock();
    t.sim.pumpCaptureBlock();
    enter();
    EXPECT_EQ(state(), u"停止中"_s);

    const QString path = folder + u"/爸爸.wav"_s;
    ASSERT_GT(recording().size(), 44);
    EXPECT_EQ(contents(path), recording());
    EXPECT_EQ(t.form.编辑框_当前录音文件->text(), path);
    EXPECT_TRUE(t.form.按钮_播放录音->isEnabled());
    EXPECT_EQ(t.app.state.waveform_path, path);
    EXPECT_EQ(list()->currentRow(), 0);  // the selection stays for the next take
    EXPECT_TRUE(t.ui.messages.empty());
}

TEST_F(ItemLoop, ATakeIsSavedUnderTheItemAndFolderItBeganOn) {
    struct Case {
        const char* name;
        std::function<void()> during;  // what happens while the take of 一 runs
        bool stopsTheTake;             // else the second Enter stops it
    };
    const QString otherFolder = dir.filePath(u"别处"_s);
    ASSERT_TRUE(QDir().mkpath(otherFolder));
    const Case cases[] = {
        {"Down", [this] { press(Qt::Key_Down); }, false},
        {"a click on another row", [this] { list()->setCurrentRow(2); }, false},
        {"another list loaded",
         [this] {
             const QString other = dir.filePath(u"other.txt"_s);
             QFile f(other);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write("月亮\r\n");
             f.close();
             t.ui.openAnswers.push_back(other);
             ChooseItemFile(t.app);
         },
         true},
        {"another folder chosen",
         [this, otherFolder] {
             t.ui.folderAnswers.push_back(otherFolder);
             ChooseSaveFolder(t.app);
         },
         true},
        {"another folder typed",
         [this, otherFolder] {
             t.form.编辑框_保存路径->setText(otherFolder);
             t.form.编辑框_保存路径->setModified(true);
             emit t.form.编辑框_保存路径->editingFinished();
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder).removeRecursively();
        QDir(otherFolder).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(folder) && QDir().mkpath(otherFolder));
        t.form.编辑框_保存路径->setText(folder);
        loadItems(u"一\r\n二\r\n三\r\n"_s);
        enter();
        t.sim.pumpCaptureBlock();
        c.during();
        if (!c.stopsTheTake) {
            EXPECT_EQ(state(), u"录制中"_s);
            enter();
        }
        EXPECT_EQ(state(), u"停止中"_s);
        EXPECT_EQ(contents(folder + u"/一.wav"_s), recording());
        EXPECT_EQ(QDir(folder).entryList({u"*.wav"_s}, QDir::Files), QStringList{u"一.wav"_s});
        EXPECT_TRUE(QDir(otherFolder).entryList({u"*.wav"_s}, QDir::Files).isEmpty());
        const QByteArray log = contents(folder + u"/quillar-log.csv"_s);
        EXPECT_TRUE(log.contains(u",一,一.wav,"_s.toUtf8())) << log.toStdString();
    }
}

TEST_F(ItemLoop, ATakeOfNoItemTextIsUntitledAndNeverHidden) {
    const struct {
        const char* name;
        QString lines;  // empty: an empty list
    } cases[] = {{"empty list", QString()}, {"blank line", u" \t \r\n"_s}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(folder).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(folder));
        loadItems(c.lines);
        record(1);
        const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        ASSERT_EQ(files.size(), 2) << files.join(u' ').toStdString();  // the take and the log
        EXPECT_TRUE(
            QRegularExpression(u"^未命名-\\d{8}-\\d{6}\\.wav$"_s).match(files[1]).hasMatch())
            << files[1].toStdString();
        EXPECT_TRUE(contents(folder + u"/quillar-log.csv"_s).contains(",," + files[1].toUtf8()));
    }
}

TEST_F(ItemLoop, ControlCharactersOfAnItemReachNoFileRaw) {
    // (A NUL byte makes a file no word list at all: it is refused before it is an item.)
    loadItems(QString::fromUtf16(u"a\u0007b\u001b\r\n"));
    record(1);
    EXPECT_TRUE(QFile::exists(folder + u"/a_b_.wav"_s));
    const QByteArray log = contents(folder + u"/quillar-log.csv"_s);
    EXPECT_FALSE(log.contains('\x07') || log.contains('\x1b'));
    EXPECT_TRUE(log.contains(u",a\u2407b\u241b,"_s.toUtf8())) << log.toStdString();
}

// The state lives in ProgramState; captions follow it and are never read, so another language's
// captions (here, scrambled ones before every step) change nothing.
TEST_F(ItemLoop, CaptionsFollowTheStateAndAreNeverReadToDecide) {
    loadItems(u"一\r\n"_s);
    const auto scramble = [this] {
        for (QPushButton* b : {t.form.按钮1, t.form.按钮2, t.form.按钮4}) {
            b->setText(u"Button"_s);
        }
        t.form.编辑框1->setText(u"State"_s);
    };
    const struct {
        const char* step;
        std::function<void()> act;
        RecordingState state;
        const char16_t* button1;
        const char16_t* button4;
        const char16_t* stateText;
    } steps[] = {
        {"Enter starts", [this] { enter(); }, RecordingState::Recording, u"停止录音", u"暂停录音",
         u"录制中"},
        {"按钮4 pauses",
         [this] {
             t.sim.pumpCaptureBlock();
             t.form.按钮4->click();
         },
         RecordingState::Paused, u"停止录音", u"继续录音", u"暂停中"},
        {"按钮4 resumes", [this] { t.form.按钮4->click(); }, RecordingState::Recording, u"停止录音",
         u"暂停录音", u"录制中"},
        {"Enter stops and saves",
         [this] {
             t.sim.pumpCaptureBlock();
             enter();
         },
         RecordingState::Idle, u"开始录音", u"暂停录音", u"停止中"},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        scramble();
        s.act();
        EXPECT_EQ(t.app.state.recording_state, s.state);
        EXPECT_EQ(t.form.按钮1->text(), QString::fromUtf16(s.button1));
        EXPECT_EQ(t.form.按钮4->text(), QString::fromUtf16(s.button4));
        EXPECT_EQ(t.form.编辑框1->text(), QString::fromUtf16(s.stateText));
    }
    EXPECT_EQ(contents(folder + u"/一.wav"_s), recording());
    scramble();
    t.form.按钮2->click();
    EXPECT_TRUE(t.app.state.auditioning);
    EXPECT_EQ(t.form.按钮2->text(), u"停止试听"_s);
    scramble();
    t.form.按钮2->click();
    EXPECT_FALSE(t.app.state.auditioning);
    EXPECT_EQ(t.form.按钮2->text(), u"试听录音"_s);
}

TEST_F(ItemLoop, EnterOnAnItemWithARecordingOverwritesIt) {
    loadItems(u"爸爸\r\n"_s);
    record(1);
    const QByteArray first = recording();
    record(3);
    const QString path = folder + u"/爸爸.wav"_s;
    EXPECT_NE(recording(), first);
    EXPECT_EQ(contents(path), recording());
    EXPECT_EQ(t.app.state.waveform_path, path);
}

TEST_F(ItemLoop, ItemWithTabIsSavedAndFoundWithoutIt) {
    loadItems(u"a\tb\r\nc\r\n"_s);
    record(1);
    const QString path = folder + u"/ab.wav"_s;
    EXPECT_EQ(contents(path), recording());
    list()->setCurrentRow(1);
    list()->setCurrentRow(0);
    EXPECT_EQ(t.form.编辑框_当前录音文件->text(), path);
}

TEST_F(ItemLoop, SeparatorInTheItemStaysInTheFolder) {
    loadItems(u"爸爸/父亲\r\n"_s);
    record(1);
    EXPECT_EQ(contents(folder + u"/爸爸_父亲.wav"_s), recording());
}

TEST_F(ItemLoop, EmptyRecordingLeavesTheExistingFileUntouched) {
    const QString path = folder + u"/爸爸.wav"_s;
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier take");
    }
    loadItems(u"爸爸\r\n"_s);
    record(0);
    EXPECT_EQ(state(), u"停止中"_s);
    EXPECT_EQ(contents(path), QByteArray("earlier take"));
    EXPECT_EQ(t.form.编辑框_当前录音文件->text(), path);
    EXPECT_TRUE(t.ui.messages.empty());
}

TEST_F(ItemLoop, FailedAutoSaveSaysTheTakeIsKeptAndSavedByItself) {
    struct Case {
        const char* name;
        QString folder;
        QString pathShown;  // empty: no path to name
    };
    const QString missing = dir.filePath(u"gone"_s);
    const Case cases[] = {
        {"folder that does not exist", missing, missing + u"/爸爸.wav"_s},
        {"no folder", QString(), QString()},
    };
    loadItems(u"爸爸\r\n"_s);
    for (const Case& c : cases) {
        t.ui.messages.clear();
        t.form.编辑框_保存路径->setText(c.folder);
        list()->setCurrentRow(0);
        record(1);
        ASSERT_EQ(t.ui.messages.size(), 1u) << c.name;
        const auto& m = t.ui.messages[0];
        EXPECT_EQ(m.title, u"系统提示"_s) << c.name;
        EXPECT_EQ(m.icon, MessageIcon::Error) << c.name;
        EXPECT_TRUE(m.text.contains(u"暂存"_s) && m.text.contains(u"自动保存"_s)) << c.name;
        if (!c.pathShown.isEmpty()) {
            EXPECT_TRUE(m.text.contains(c.pathShown)) << m.text.toStdString();
        }
        EXPECT_EQ(t.form.编辑框_当前录音文件->text(), QString()) << c.name;
        EXPECT_TRUE(t.form.按钮3->isEnabled()) << c.name;  // the take can still be saved
    }
}

// 44100 Hz, 16-bit stereo: 4 bytes a frame, 4410 frames a block.
constexpr std::int64_t kFramesBeforeLoss = 4410 * 2 + 1000;

TEST_F(ItemLoop, LostDeviceStopsTheTakeWithWhatCameBeforeAndSaysSo) {
    struct Case {
        const char* name;
        bool byEnter;  // else 按钮1
    };
    const Case cases[] = {{"take begun with Enter is auto-saved", true},
                          {"take begun with the button stays in memory", false}};
    loadItems(u"爸爸\r\n"_s);
    const QString path = folder + u"/爸爸.wav"_s;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path);
        t.ui.messages.clear();
        if (c.byEnter) {
            enter();
        } else {
            t.form.按钮1->click();
        }
        t.sim.pumpCapture(kFramesBeforeLoss);
        t.sim.loseCapture();
        t.sim.pumpCapture(4410 * 3);  // padding silence, not the take
        ASSERT_EQ(state(), u"录制中"_s) << "the news arrives by a queued call";
        QCoreApplication::processEvents();

        EXPECT_EQ(state(), u"停止中"_s);
        EXPECT_EQ(t.form.按钮1->text(), u"开始录音"_s);
        EXPECT_EQ(t.app.state.record_buffer.size(), 44 + kFramesBeforeLoss * 4);
        EXPECT_TRUE(t.form.按钮3->isEnabled());
        ASSERT_EQ(t.ui.messages.size(), 1u);
        const auto& m = t.ui.messages[0];
        EXPECT_EQ(m.title, u"系统提示"_s);
        EXPECT_EQ(m.icon, MessageIcon::Error);
        EXPECT_TRUE(m.text.contains(u"录音设备已断开"_s)) << m.text.toStdString();
        EXPECT_TRUE(m.text.contains(u"“保存录音”"_s)) << m.text.toStdString();
        if (c.byEnter) {
            EXPECT_EQ(contents(path), recording());
            EXPECT_EQ(t.form.编辑框_当前录音文件->text(), path);
        } else {
            EXPECT_FALSE(QFile::exists(path));
        }
    }
}

TEST_F(ItemLoop, LossNewsThatArrivesAfterTheUserStoppedChangesNothing) {
    loadItems(u"爸爸\r\n"_s);
    enter();
    t.sim.pumpCaptureBlock();
    t.sim.loseCapture();
    enter();  // stopped and saved before the queued news is handled
    const QByteArray saved = recording();
    enter();  // and the next take already runs
    t.sim.pumpCaptureBlock();
    QCoreApplication::processEvents();
    EXPECT_EQ(state(), u"录制中"_s);
    EXPECT_TRUE(t.ui.messages.empty());
    EXPECT_EQ(contents(folder + u"/爸爸.wav"_s), saved);
    enter();
}

TEST_F(ItemLoop, EmptyRecordingWithoutAFolderStaysSilent) {
    t.form.编辑框_保存路径->clear();
    loadItems(u"爸爸\r\n"_s);
    record(0);
    EXPECT_TRUE(t.ui.messages.empty());
}

TEST_F(ItemLoop, EnterWorksWhileTheRecordButtonIsDisabled) {
    loadItems(u"爸爸\r\n"_s);
    t.form.按钮1->setEnabled(false);
    enter();
    EXPECT_EQ(state(), u"录制中"_s);
    t.sim.pumpCaptureBlock();
    enter();
    EXPECT_EQ(contents(folder + u"/爸爸.wav"_s), recording());
}

TEST_F(ItemLoop, HeldEnterIsOnePress) {
    loadItems(u"爸爸\r\n"_s);
    enter();
    t.sim.pumpCaptureBlock();
    for (int i = 0; i < 5; ++i) {
        press(Qt::Key_Return, true);
    }
    EXPECT_EQ(state(), u"录制中"_s);
    EXPECT_EQ(t.sim.captureOpens().size(), 1u);
    press(Qt::Key_Enter);  // the keypad's Enter stops as well
    EXPECT_EQ(state(), u"停止中"_s);
    EXPECT_EQ(contents(folder + u"/爸爸.wav"_s), recording());
}

TEST_F(ItemLoop, CtrlWithoutAnExistingRecordingPlaysNothing) {
    loadItems(u"爸爸\r\n"_s);
    press(Qt::Key_Control);  // no recording yet: the box is empty
    EXPECT_FALSE(IsPlayingCurrentRecording(t.app));
    record(1);
    ASSERT_TRUE(QFile::remove(folder + u"/爸爸.wav"_s));
    press(Qt::Key_Control);  // the box names a file deleted since
    EXPECT_FALSE(IsPlayingCurrentRecording(t.app));
    EXPECT_EQ(t.sim.playingStreamCount(), 0);
}

// What was played during a take would be heard by the microphone and land in it: neither Ctrl nor
// the play button plays while a take runs or takes its post-roll, and the window says why.
TEST_F(ItemLoop, NothingPlaysIntoATakeAndTheNoticeSaysWhy) {
    struct Case {
        const char* name;
        std::function<void()> phase;  // from a take just begun on 妈妈
        std::function<void()> play;
    };
    const std::function<void()> ctrl = [this] { press(Qt::Key_Control); };
    const std::function<void()> button = [this] { t.form.按钮_播放录音->click(); };
    const std::function<void()> recording = [] {};
    const std::function<void()> paused = [this] { t.form.按钮4->click(); };
    const std::function<void()> closing = [this] {
        enter();
        ASSERT_TRUE(TakeClosing(t.app));
    };
    const Case cases[] = {
        {"Ctrl while recording", recording, ctrl},
        {"Ctrl while paused", paused, ctrl},
        {"Ctrl during the post-roll", closing, ctrl},
        {"the play button while recording", recording, button},
        {"the play button during the post-roll", closing, button},
    };
    t.app.state.options = RecordingOptions();  // the input kept open, 300 ms either side
    KeepInputOpen(t.app);
    t.sim.pumpCapture(44100);
    loadItems(u"爸爸\r\n妈妈\r\n"_s);
    const auto closeTake = [this] {
        t.sim.pumpCapture(44100);
        OnRecorderTick(t.app);
    };
    record(2);
    closeTake();
    const QString saved = folder + u"/爸爸.wav"_s;
    ASSERT_TRUE(QFile::exists(saved));
    QLabel* notice = t.form.标签_播放提示;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        notice->hide();
        list()->setCurrentRow(1);
        enter();
        t.sim.pumpCaptureBlock();
        list()->setCurrentRow(0);  // a recording to play is shown, and the button enabled
        ASSERT_EQ(t.form.编辑框_当前录音文件->text(), saved);
        c.phase();
        c.play();
        EXPECT_FALSE(IsPlayingCurrentRecording(t.app));
        EXPECT_EQ(t.form.媒体播放1->state(), 0);
        EXPECT_EQ(t.sim.playingStreamCount(), 0);
        EXPECT_FALSE(notice->isHidden());
        EXPECT_EQ(notice->text(), u"录音中不能播放"_s);
        EXPECT_TRUE(t.ui.messages.empty()) << "a box would take the Enter that stops the take";
        EXPECT_TRUE(TakeRunning(t.app) || TakeClosing(t.app)) << "the take goes on";
        if (TakeRunning(t.app)) {
            enter();
        }
        closeTake();
        ASSERT_FALSE(TakeRunning(t.app) || TakeClosing(t.app));
    }
    // Once the take is saved, the same key plays.
    list()->setCurrentRow(1);
    press(Qt::Key_Control);
    EXPECT_TRUE(IsPlayingCurrentRecording(t.app));
    EXPECT_TRUE(
        QTest::qWaitFor([notice] { return notice->isHidden(); }, kNoPlaybackNoticeMs + 1000))
        << "the notice goes by itself";
}

TEST_F(ItemLoop, HeldCtrlDoesNotRestartThePlayback) {
    loadItems(u"爸爸\r\n"_s);
    record(10);  // one second
    press(Qt::Key_Control);
    t.sim.pumpOutput(44100 / 2);
    PollCurrentRecording(t.app);
    const int halfway = t.form.进度条1->value();
    ASSERT_GT(halfway, 0);
    for (int i = 0; i < 3; ++i) {
        press(Qt::Key_Control, true);
    }
    PollCurrentRecording(t.app);
    EXPECT_GE(t.form.进度条1->value(), halfway);
    EXPECT_TRUE(IsPlayingCurrentRecording(t.app));
}

}  // namespace
}  // namespace quillar::test
