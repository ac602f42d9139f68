// The window with the pending takes' writer on a thread of its own, as the program runs it: the
// window goes on while a write is held, and a take saved, or the window closed, meanwhile loses
// nothing and overwrites nothing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>

#include "app/settings.h"
#include "app/startup.h"
#include "items/pending_saving.h"
#include "record/pending_takes.h"
#include "record/pending_writer.h"
#include "record/take_info.h"
#include "support/item_lines.h"
#include "support/settle.h"
#include "support/test_app.h"
#include "support/write_hold.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The items of the pending journals in the state folder.
QStringList pendingItems() {
    QStringList items;
    const QDir dir(JournalFolder());
    for (const QString& name : dir.entryList({u"take-*.json"_s}, QDir::Files, QDir::Name)) {
        const std::optional<TakeInfo> info = readTakeInfo(dir.filePath(name));
        if (info && info->pending) {
            items << info->item;
        }
    }
    return items;
}

class PendingSaving : public ::testing::Test {
  public:
    void SetUp() override {
        SetSettingsFolder(dir.path());
        folder = dir.filePath(u"stick"_s);  // not there: every auto-save fails
        start();
    }
    void TearDown() override {
        stop();
        hold->release();
        EXPECT_TRUE(settleUntil([] { return PendingWriter::threadsRunning() == 0; }));
        EXPECT_FALSE(hold->timedOut());
        SetSettingsFolder(QString());
    }
    // A run of the program with the writer it makes, its writes under the test's hold.
    void start() {
        t = std::make_unique<TestApp>();
        t->sim.setSignal([this](int channel, std::int64_t frame) {
            return 0.25 * std::sin(0.01 * tone * static_cast<double>(frame) + channel);
        });
        t->app.pending_writer.reset();
        MakePendingWriter(t->app);
        t->app.state.pending_takes = std::make_shared<PendingTakes>();
        t->app.state.pending_takes->setWriteCheck(hold->check());
        OnMainWindowCreated(t->app);
        t->form.编辑框_保存路径->setText(folder);
    }
    void stop() {
        if (t) {
            OnMainWindowDestroyed(t->app);
            t.reset();
        }
    }
    void press(int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(t->form.列表框_录音文本列表, &event);
    }
    // Enter on `row`, two blocks of a tone of its own, Enter; the take's WAV image.
    QByteArray record(int row) {
        t->form.列表框_录音文本列表->setCurrentRow(row);
        ++tone;
        press(Qt::Key_Return);
        t->sim.pumpCaptureBlock();
        t->sim.pumpCaptureBlock();
        press(Qt::Key_Return);
        const RecordBuffer& b = t->app.state.record_buffer;
        return QByteArray(reinterpret_cast<const char*>(b.data()),
                          static_cast<qsizetype>(b.size()));
    }
    bool allSaved() {
        return settleUntil([this] { return PendingTakeCount(t->app) == 0; });
    }
    QStringList earlierTakes() const {
        return QDir(folder + u"/早前录音"_s).entryList({u"*.wav"_s}, QDir::Files, QDir::Name);
    }
    QStringList temporaries() const {
        return QDir(folder)
            .entryList(QDir::Files | QDir::Hidden)
            .filter(QRegularExpression(u"^\\."_s));
    }

    QTemporaryDir dir;
    QString folder;
    // Shared with the writer's thread, which may outlive a run.
    std::shared_ptr<WriteHold> hold = std::make_shared<WriteHold>(false);
    std::unique_ptr<TestApp> t;
    int tone = 0;
};

TEST_F(PendingSaving, TheWindowGoesOnWhileAWriteIsHeldAndAsksMeanwhileAreOneMoreRound) {
    LoadItemLines(t->app, dir, u"太阳\r\n月亮\r\n星星\r\n"_s);
    const QByteArray sun = record(0);
    const QByteArray moon = record(1);
    ASSERT_EQ(PendingTakeCount(t->app), 2);
    ASSERT_TRUE(QDir().mkpath(folder));
    hold->hold();

    SavePendingTakes(t->app);
    ASSERT_TRUE(hold->waitEntered(1));
    EXPECT_EQ(hold->inside(), 1) << "the window returned while the write was held";
    // The window records and saves the next item meanwhile (which asks for a round), and the
    // periodic look comes.
    const QByteArray star = record(2);
    EXPECT_EQ(contents(folder + u"/星星.wav"_s), star);
    SavePendingTakes(t->app, true);
    EXPECT_EQ(PendingTakeCount(t->app), 2);
    EXPECT_EQ(hold->entered(), 1);

    hold->release();
    ASSERT_TRUE(allSaved());
    EXPECT_EQ(contents(folder + u"/太阳.wav"_s), sun);
    EXPECT_EQ(contents(folder + u"/月亮.wav"_s), moon);
    EXPECT_EQ(hold->entered(), 2) << "each written once";
    EXPECT_EQ(hold->maxInside(), 1) << "one write in flight at a time";
    EXPECT_TRUE(t->form.标签_暂存提示->isHidden());
    EXPECT_FALSE(t->form.时钟_暂存->isActive());
    EXPECT_EQ(contents(folder + u"/quillar-log.csv"_s).count(",pending"), 2);
}

TEST_F(PendingSaving, ANewerTakeSavedDuringTheWriteStaysTheItemsFile) {
    LoadItemLines(t->app, dir, u"太阳\r\n"_s);
    const QByteArray pending = record(0);
    ASSERT_EQ(PendingTakeCount(t->app), 1);
    ASSERT_TRUE(QDir().mkpath(folder));
    hold->hold();
    SavePendingTakes(t->app);
    ASSERT_TRUE(hold->waitEntered(1));

    const QByteArray newer = record(0);
    EXPECT_EQ(contents(folder + u"/太阳.wav"_s), newer);
    hold->release();
    ASSERT_TRUE(allSaved());
    EXPECT_EQ(contents(folder + u"/太阳.wav"_s), newer);
    ASSERT_EQ(earlierTakes().size(), 1);
    EXPECT_EQ(contents(folder + u"/早前录音/"_s + earlierTakes()[0]), pending);
    EXPECT_TRUE(temporaries().isEmpty());
    // The item shows the newer take.
    EXPECT_EQ(t->form.编辑框_当前录音文件->text(), folder + u"/太阳.wav"_s);
}

TEST_F(PendingSaving, ClosingDuringAWriteThatHangsLosesNothing) {
    LoadItemLines(t->app, dir, u"太阳\r\n"_s);
    const QByteArray take = record(0);
    ASSERT_TRUE(QDir().mkpath(folder));
    hold->hold();
    SavePendingTakes(t->app);
    ASSERT_TRUE(hold->waitEntered(1));

    EXPECT_TRUE(ConfirmClose(t->app));
    stop();
    EXPECT_EQ(hold->inside(), 1) << "closed while the write was held";
    hold->release();
    ASSERT_TRUE(settleUntil([] { return PendingWriter::threadsRunning() == 0; }));
    EXPECT_EQ(pendingItems(), QStringList{u"太阳"_s}) << "still pending on disk";
    EXPECT_FALSE(QFile::exists(folder + u"/太阳.wav"_s));
    EXPECT_TRUE(temporaries().isEmpty()) << "the write left behind takes its file with it";

    start();  // the next run saves it
    ASSERT_TRUE(allSaved());
    EXPECT_EQ(contents(folder + u"/太阳.wav"_s), take);
    EXPECT_TRUE(pendingItems().isEmpty());
}

// A take that neither its folder nor the state folder took lives only in memory: while its
// write is in flight closing still asks about it.
TEST_F(PendingSaving, ATakeInMemoryIsAskedAboutWhileItsWriteIsInFlight) {
    stop();
    QDir(JournalFolder()).removeRecursively();
    QFile blocker(JournalFolder());  // a file where the state folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    start();
    LoadItemLines(t->app, dir, u"太阳\r\n"_s);
    const QByteArray take = record(0);
    ASSERT_EQ(PendingInMemoryCount(t->app), 1);
    ASSERT_TRUE(QDir().mkpath(folder));
    hold->hold();
    SavePendingTakes(t->app);
    ASSERT_TRUE(hold->waitEntered(1));

    t->ui.confirmAnswers.push_back(false);
    EXPECT_FALSE(ConfirmClose(t->app));
    ASSERT_EQ(t->ui.questions.size(), 1u);
    EXPECT_TRUE(t->ui.questions[0].text.contains(u"1 段录音"_s));

    hold->release();
    ASSERT_TRUE(allSaved());
    EXPECT_EQ(contents(folder + u"/太阳.wav"_s), take);
    EXPECT_EQ(PendingInMemoryCount(t->app), 0);
    t->ui.confirmAnswers.push_back(true);
    EXPECT_TRUE(ConfirmClose(t->app));
    for (std::size_t i = 1; i < t->ui.questions.size(); ++i) {
        EXPECT_FALSE(t->ui.questions[i].text.contains(u"1 段录音"_s))
            << t->ui.questions[i].text.toStdString();
    }
}

}  // namespace
}  // namespace quillar::test
