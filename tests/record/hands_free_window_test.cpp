// Hands-free recording in the whole window on the simulated engine: words spoken into the kept
// input become takes of their items, saved as Enter saves them, and the list moves on; F9, Enter
// and the selection keys in each state.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>

#include "app/settings.h"
#include "app/startup.h"
#include "items/recording_marks.h"
#include "record/hands_free.h"
#include "record/recorder.h"
#include "record/take_log.h"
#include "support/item_lines.h"
#include "support/test_app.h"
#include "support/voice_scene.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

// The 16-bit samples of the first channel of a WAV file, as fractions of full scale.
std::vector<double> leftSamples(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = f.readAll();
    std::vector<double> out;
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        std::uint32_t size = 0;
        std::memcpy(&size, bytes.constData() + at + 4, 4);
        if (bytes.mid(at, 4) == "data") {
            const char* p = bytes.constData() + at + 8;
            for (std::uint32_t i = 0; i + 4 <= size; i += 4) {
                std::int16_t s = 0;
                std::memcpy(&s, p + i, 2);
                out.push_back(s / 32768.0);
            }
            break;
        }
        at += 8 + size + (size & 1);
    }
    return out;
}

// Seconds into the take of its first sample louder than `level`.
double firstLoud(const std::vector<double>& samples, double level, std::uint32_t rate) {
    for (std::size_t i = 0; i < samples.size(); ++i) {
        if (std::fabs(samples[i]) > level) {
            return double(i) / rate;
        }
    }
    return -1.0;
}

class HandsFreeWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        SetSettingsFolder(dir.path());
        t.sim.setSignal([this](int channel, std::int64_t frame) { return scene(channel, frame); });
        OnMainWindowCreated(t.app);
        folder = dir.filePath(u"录音"_s);
        ASSERT_TRUE(QDir().mkpath(folder));
        t.form.编辑框_保存路径->setText(folder);
        RecordingOptions& o = t.app.state.options;
        o.keep_input = true;
        o.preroll_ms = 300;
        o.postroll_ms = 300;
        LoadItemLines(t.app, dir, u"一\n二\n三\n四\n五\n"_s);
        QCoreApplication::sendPostedEvents();
        list()->setCurrentRow(0);
        KeepInputOpen(t.app);
        ASSERT_EQ(t.app.recorder->input(), Recorder::Input::Open);
        ASSERT_EQ(t.app.recorder->format().rate, scene.rate);
    }
    void TearDown() override {
        OnMainWindowDestroyed(t.app);
        SetSettingsFolder(QString());
    }

    QListWidget* list() { return t.form.列表框_录音文本列表; }
    void press(int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(list(), &event);
    }
    // The room until `seconds` of the input's stream, 50 ms at a time with the recorder's tick.
    void runTo(double seconds) {
        const std::int64_t end = scene.frameAt(seconds);
        while (pumped < end) {
            const std::int64_t n = std::min<std::int64_t>(scene.rate / 20, end - pumped);
            t.sim.pumpCapture(n);
            pumped += n;
        }
        QCoreApplication::sendPostedEvents();
    }
    QString notice() const {
        return t.form.标签_自动录音->isHidden() ? QString() : t.form.标签_自动录音->text();
    }
    QString file(const QString& item) const { return folder + u'/' + item + u".wav"_s; }
    QStringList logHows() const {
        QFile f(folder + u'/' + kTakeLogName);
        QStringList hows;
        if (!f.open(QIODevice::ReadOnly)) {
            return hows;
        }
        const std::vector<QStringList> rows = ParseCsv(f.readAll());
        const qsizetype column = rows.empty() ? -1 : rows[0].indexOf(u"how"_s);
        for (std::size_t i = 1; i < rows.size(); ++i) {
            hows.append(rows[i].value(column));
        }
        return hows;
    }

    QTemporaryDir dir;
    VoiceScene scene;
    TestApp t;
    QString folder;
    std::int64_t pumped = 0;
};

TEST_F(HandsFreeWindow, WordsBecomeTheirItemsTakesWithThePreRollBeforeEachOnset) {
    // Item 二 has a recording already: the list passes over it.
    QFile two(file(u"二"_s));
    ASSERT_TRUE(two.open(QIODevice::WriteOnly));
    two.close();
    RefreshItemMarks(t.app);
    // A word before F9 is no take; one said right after it is, the floor known from the
    // input's last moments.
    scene.words = {{0.3, 0.4, -20.0}, {1.1, 0.8, -20.0}, {3.0, 0.8, -18.0}, {5.0, 0.8, -16.0}};
    runTo(1.0);
    press(Qt::Key_F9);
    EXPECT_TRUE(t.app.state.options.hands_free);
    EXPECT_EQ(notice(), u"自动录音：等待发音……"_s);
    EXPECT_EQ(t.form.标签_自动录音->focusPolicy(), Qt::NoFocus);
    runTo(1.4);
    EXPECT_EQ(notice(), u"自动录音：录音中……"_s);
    runTo(7.5);
    const QString items[] = {u"一"_s, u"三"_s, u"四"_s};
    for (const QString& item : items) {
        SCOPED_TRACE(item.toStdString());
        const std::vector<double> samples = leftSamples(file(item));
        // The pre-roll, the word, its silence and the post-roll.
        EXPECT_NEAR(double(samples.size()) / scene.rate, 0.3 + 0.8 + 0.8 + 0.3, 0.02);
        EXPECT_NEAR(firstLoud(samples, 0.02, scene.rate), 0.3, 0.012);
    }
    EXPECT_EQ(logHows(), QStringList({u"auto"_s, u"auto"_s, u"auto"_s}));
    EXPECT_EQ(list()->currentRow(), 4);
    EXPECT_EQ(notice(), u"自动录音：已保存，请说下一条……"_s);
    EXPECT_TRUE(t.ui.messages.empty());
}

TEST_F(HandsFreeWindow, TheListMovesOnPastItemsRecordedAndItemsSkipped) {
    // 二 is recorded, 三 was skipped with F8's reason.
    QFile two(file(u"二"_s));
    ASSERT_TRUE(two.open(QIODevice::WriteOnly));
    two.close();
    const auto skip = [this](const QString& item) {
        SkipLogEntry e;
        e.time = QDateTime::currentDateTime();
        e.item = item;
        e.reason = u"以后再录"_s;
        ASSERT_TRUE(AppendSkipLog(folder, e));
    };
    skip(u"三"_s);
    RefreshItemMarks(t.app);
    scene.words = {{2.0, 0.8, -20.0}, {4.0, 0.8, -20.0}};
    runTo(1.0);
    press(Qt::Key_F9);
    runTo(3.9);
    EXPECT_EQ(list()->currentRow(), 3) << "past 二 (recorded) and 三 (skipped) to 四";
    EXPECT_TRUE(ItemSkipped(t.app, 2));
    runTo(6.0);
    EXPECT_TRUE(QFile::exists(file(u"四"_s)));
    EXPECT_FALSE(QFile::exists(file(u"三"_s)));
    EXPECT_EQ(list()->currentRow(), 4);
}

TEST_F(HandsFreeWindow, AClippedWordStaysOnItsItemAndIsAskedForAgain) {
    scene.words = {{2.0, 0.8, 0.0}, {4.0, 0.8, -20.0}};  // the first at full scale: clipped
    runTo(1.0);
    press(Qt::Key_F9);
    runTo(3.9);
    EXPECT_EQ(list()->currentRow(), 0);
    EXPECT_EQ(notice(), u"自动录音：需要重录，请再说一遍……"_s);
    runTo(6.0);
    EXPECT_EQ(list()->currentRow(), 1);
    // The second take replaced the first; the first is kept among the earlier takes.
    EXPECT_NEAR(firstLoud(leftSamples(file(u"一"_s)), 0.02, scene.rate), 0.3, 0.012);
    EXPECT_EQ(logHows(), QStringList({u"auto"_s, u"auto"_s}));
}

TEST_F(HandsFreeWindow, F9WithoutAKeptInputSaysWhyAndChangesNothing) {
    t.app.state.options.keep_input = false;
    KeepInputOpen(t.app);
    press(Qt::Key_F9);
    EXPECT_FALSE(t.app.state.options.hands_free);
    EXPECT_TRUE(notice().contains(u"保持输入"_s));
    EXPECT_TRUE(t.ui.messages.empty()) << "a notice, never a box";
    scene.words = {{2.0, 0.8, -20.0}};
    runTo(4.0);
    EXPECT_FALSE(QFile::exists(file(u"一"_s)));
}

TEST_F(HandsFreeWindow, EnterAndF9InEachState) {
    runTo(1.0);
    press(Qt::Key_F9);
    // Listening: Enter records by hand, Enter again saves it as Enter does and moves on.
    press(Qt::Key_Return);
    EXPECT_TRUE(TakeRunning(t.app));
    scene.words = {{1.2, 0.5, -20.0}};
    runTo(2.5);
    EXPECT_TRUE(TakeRunning(t.app)) << "silence does not end a take begun by hand";
    press(Qt::Key_Return);
    runTo(3.0);
    EXPECT_TRUE(QFile::exists(file(u"一"_s)));
    EXPECT_EQ(list()->currentRow(), 1);

    // Recording: Down moves the selection, the take stays with its item.
    scene.words = {{3.5, 0.8, -20.0}};
    runTo(3.8);
    ASSERT_TRUE(TakeRunning(t.app));
    press(Qt::Key_Down);
    EXPECT_EQ(list()->currentRow(), 2);
    runTo(5.5);
    EXPECT_TRUE(QFile::exists(file(u"二"_s)));
    EXPECT_FALSE(QFile::exists(file(u"三"_s)));
    EXPECT_EQ(list()->currentRow(), 2);

    // Recording: F9 ends the mode; the take is stopped and saved as by Enter.
    scene.words = {{6.0, 2.0, -20.0}};
    runTo(6.5);
    ASSERT_TRUE(TakeRunning(t.app));
    press(Qt::Key_F9);
    EXPECT_FALSE(TakeRunning(t.app));
    EXPECT_FALSE(t.app.state.options.hands_free);
    EXPECT_TRUE(notice().isEmpty());
    runTo(9.0);
    EXPECT_TRUE(QFile::exists(file(u"三"_s)));
    EXPECT_FALSE(QFile::exists(file(u"四"_s))) << "nothing listens once the mode is off";
    EXPECT_EQ(logHows(), QStringList({u"enter"_s, u"auto"_s, u"auto"_s}));
    // Off: Enter is the ordinary Enter again.
    press(Qt::Key_Return);
    EXPECT_TRUE(TakeRunning(t.app));
    press(Qt::Key_Return);
    EXPECT_FALSE(TakeRunning(t.app));
}

}  // namespace
}  // namespace quillar::test
