// Takes begun with Enter whose auto-save failed: kept on disk until their folder takes files,
// then saved to their own items, whatever happened meanwhile.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cmath>
#include <functional>
#include <memory>

#include "app/settings.h"
#include "app/startup.h"
#include "items/item_file.h"
#include "items/pending_saving.h"
#include "record/take_info.h"
#include "record/take_journal.h"
#include "support/item_lines.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The pending journals in the state folder, by item.
QStringList pendingItems() {
    QStringList items;
    const QDir dir(JournalFolder());
    for (const QString& name : dir.entryList({u"take-*.json"_s}, QDir::Files, QDir::Name)) {
        const std::optional<TakeInfo> info = readTakeInfo(dir.filePath(name));
        if (info && info->pending) {
            items << info->item;
        }
    }
    items.sort();
    return items;
}

class PendingTake : public ::testing::Test {
  public:
    void SetUp() override {
        SetSettingsFolder(dir.path());
        folder = dir.filePath(u"stick"_s);  // not there: every auto-save fails
        start();
    }
    void TearDown() override {
        stop();
        SetSettingsFolder(QString());
    }
    // A run of the program, with a tone that differs from take to take.
    void start() {
        t = std::make_unique<TestApp>();
        t->sim.setSignal([this](int channel, std::int64_t frame) {
            return 0.25 * std::sin(0.01 * tone * static_cast<double>(frame) + channel);
        });
        OnMainWindowCreated(t->app);
        t->form.编辑框_保存路径->setText(folder);
    }
    void stop() {
        if (t) {
            OnMainWindowDestroyed(t->app);
            t.reset();
        }
    }
    void loadItems(const QString& lines) { LoadItemLines(t->app, dir, lines); }
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
    // What the periodic look does (its timer fires every few seconds while takes wait).
    void checkForFolder() {
        EXPECT_TRUE(t->form.时钟_暂存->isActive());
        SavePendingTakes(t->app);
    }

    QTemporaryDir dir;
    QString folder;
    std::unique_ptr<TestApp> t;
    int tone = 0;
};

TEST_F(PendingTake, NothingThatHappensNextRemovesIt) {
    const struct {
        const char* name;
        std::function<void(PendingTake&)> next;
    } cases[] = {
        {"the next take", [](PendingTake& p) { p.record(1); }},
        {"a next take whose device does not open",
         [](PendingTake& p) {
             p.t->sim.setCaptureFails(true);
             p.record(1);
             p.t->sim.setCaptureFails(false);
         }},
        {"another list", [](PendingTake& p) { p.loadItems(u"月亮\r\n"_s); }},
        {"another folder that cannot be written either",
         [](PendingTake& p) {
             p.t->ui.folderAnswers.push_back(p.dir.filePath(u"nowhere"_s));
             ChooseSaveFolder(p.t->app);
         }},
        {"closing and starting again",
         [](PendingTake& p) {
             p.stop();
             p.start();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(JournalFolder()).removeRecursively();
        stop();
        start();
        loadItems(u"太阳\r\n星星\r\n"_s);
        record(0);
        ASSERT_EQ(pendingItems(), QStringList{u"太阳"_s});
        EXPECT_FALSE(t->form.标签_暂存提示->isHidden());
        EXPECT_TRUE(t->form.标签_暂存提示->text().contains(u"1 条录音尚未保存"_s));
        c.next(*this);
        EXPECT_TRUE(pendingItems().contains(u"太阳"_s));
        EXPECT_GE(PendingTakeCount(t->app), 1);
        EXPECT_FALSE(t->form.标签_暂存提示->isHidden());
    }
}

TEST_F(PendingTake, SavedToTheirItemsInOrderOnceTheFolderIsBack) {
    loadItems(u"太阳\r\n月亮\r\n太阳\r\n"_s);
    const QByteArray sun = record(0);
    const QByteArray moon = record(1);
    const QByteArray secondSun = record(2);  // a homograph: its own file
    ASSERT_EQ(PendingTakeCount(t->app), 3);
    checkForFolder();
    EXPECT_EQ(PendingTakeCount(t->app), 3);  // still no folder

    ASSERT_TRUE(QDir().mkpath(folder));
    checkForFolder();
    EXPECT_EQ(PendingTakeCount(t->app), 0);
    EXPECT_EQ(contents(folder + u"/太阳.wav"_s), sun);
    EXPECT_EQ(contents(folder + u"/月亮.wav"_s), moon);
    EXPECT_EQ(contents(folder + u"/太阳 (2).wav"_s), secondSun);
    EXPECT_TRUE(pendingItems().isEmpty());
    EXPECT_TRUE(QDir(JournalFolder()).entryList({u"take-*"_s}, QDir::Files).isEmpty());
    EXPECT_TRUE(t->form.标签_暂存提示->isHidden());

    const QList<QByteArray> lines = contents(folder + u"/quillar-log.csv"_s).split('\n');
    ASSERT_EQ(lines.size(), 5);  // header, three takes, the end
    EXPECT_TRUE(lines[1].contains(",太阳,太阳.wav,"_ba) && lines[1].contains(",pending"));
    EXPECT_TRUE(lines[2].contains(",月亮,月亮.wav,"_ba));
    EXPECT_TRUE(lines[3].contains(",太阳,太阳 (2).wav,"_ba));
    // The item shown has its take now.
    t->form.列表框_录音文本列表->setCurrentRow(1);
    EXPECT_EQ(t->form.编辑框_当前录音文件->text(), folder + u"/月亮.wav"_s);
}

TEST_F(PendingTake, NeverOverANewerTakeOfItsItem) {
    loadItems(u"太阳\r\n"_s);
    const QByteArray pending = record(0);
    ASSERT_EQ(PendingTakeCount(t->app), 1);
    ASSERT_TRUE(QDir().mkpath(folder));
    // The folder is back and the item is recorded again before the periodic look: the new take
    // is the item's, the pending one its earlier take.
    const QByteArray newer = record(0);
    EXPECT_EQ(PendingTakeCount(t->app), 0);
    EXPECT_EQ(contents(folder + u"/太阳.wav"_s), newer);
    const QStringList earlier =
        QDir(folder + u"/早前录音"_s).entryList({u"太阳.*.wav"_s}, QDir::Files);
    ASSERT_EQ(earlier.size(), 1);
    EXPECT_EQ(contents(folder + u"/早前录音/"_s + earlier[0]), pending);
}

TEST_F(PendingTake, AStartAfterAnEarlierRunSavesWhatItCan) {
    loadItems(u"太阳\r\n月亮\r\n"_s);
    const QByteArray sun = record(0);
    stop();
    start();  // the folder is still missing: the take waits on
    EXPECT_EQ(PendingTakeCount(t->app), 1);
    EXPECT_FALSE(t->form.标签_暂存提示->isHidden());
    EXPECT_TRUE(t->ui.messages.empty());  // not a take cut off by a crash
    stop();
    ASSERT_TRUE(QDir().mkpath(folder));
    // The folder is read from the settings at start-up; here it is the pending take's own.
    start();
    EXPECT_EQ(PendingTakeCount(t->app), 0);
    EXPECT_EQ(contents(folder + u"/太阳.wav"_s), sun);
    EXPECT_TRUE(contents(folder + u"/quillar-log.csv"_s).contains(",pending"));
    EXPECT_TRUE(QDir(folder).entryList({u"*恢复*"_s}).isEmpty());
}

TEST_F(PendingTake, AJournalDeletedByHandWaitsNoMore) {
    loadItems(u"太阳\r\n"_s);
    record(0);
    ASSERT_EQ(PendingTakeCount(t->app), 1);
    QDir(JournalFolder()).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(folder));
    checkForFolder();
    EXPECT_EQ(PendingTakeCount(t->app), 0);
    EXPECT_TRUE(t->form.标签_暂存提示->isHidden());
    EXPECT_FALSE(QFile::exists(folder + u"/太阳.wav"_s));  // nothing was made up
}

TEST_F(PendingTake, ATakeWithoutAFolderGoesToTheFirstFolderSet) {
    folder.clear();
    t->form.编辑框_保存路径->clear();
    loadItems(u"太阳\r\n"_s);
    const QByteArray sun = record(0);
    ASSERT_EQ(PendingTakeCount(t->app), 1);
    const QString chosen = dir.filePath(u"chosen"_s);
    ASSERT_TRUE(QDir().mkpath(chosen));
    t->ui.folderAnswers.push_back(chosen);
    ChooseSaveFolder(t->app);
    EXPECT_EQ(PendingTakeCount(t->app), 0);
    EXPECT_EQ(contents(chosen + u"/太阳.wav"_s), sun);
}

}  // namespace
}  // namespace quillar::test
