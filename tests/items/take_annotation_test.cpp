// "标注文件" in the window: every saved take gets its TextGrid beside it, its item over the speech
// of its own audio, whether saved by Enter, by 按钮3 or later as a pending take; an earlier take
// keeps its own; a TextGrid that cannot be written never costs the take.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <cmath>
#include <memory>

#include "annotation/take_textgrid.h"
#include "app/settings.h"
#include "app/startup.h"
#include "items/item_file.h"
#include "items/pending_saving.h"
#include "record/take_replacement.h"
#include "support/item_lines.h"
#include "support/read_textgrid.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

// A speech frame is 10 ms and the speech is widened by 20 ms on either side.
constexpr double kMarginSeconds = 0.020;
constexpr double kFrameSeconds = 0.010;

QStringList filesIn(const QString& folder, const QString& pattern) {
    return QDir(folder).entryList({pattern}, QDir::Files, QDir::Name);
}

class TakeAnnotation : public ::testing::Test {
  public:
    void SetUp() override {
        SetSettingsFolder(dir.path());
        folder = dir.filePath(u"录音"_s);
        ASSERT_TRUE(QDir().mkpath(folder));
        start();
    }
    void TearDown() override {
        if (t) {
            OnMainWindowDestroyed(t->app);
            t.reset();
        }
        SetSettingsFolder(QString());
    }
    void start() {
        t = std::make_unique<TestApp>();
        // Silence, and a 440 Hz tone from toneFrom to toneTo seconds of each capture.
        t->sim.setSignal([this](int, std::int64_t frame) {
            const double s = static_cast<double>(frame) / rate();
            return s >= toneFrom && s < toneTo ? 0.3 * std::sin(2 * M_PI * 440 * s) : 0.0;
        });
        OnMainWindowCreated(t->app);
        t->app.state.options.annotations = true;
        t->form.编辑框_保存路径->setText(folder);
    }
    double rate() const { return t->form.组合框2->currentData().toDouble(); }
    void press(int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(t->form.列表框_录音文本列表, &event);
    }
    // Enter on `row`, six blocks (0.6 s), Enter.
    void record(int row) {
        t->form.列表框_录音文本列表->setCurrentRow(row);
        press(Qt::Key_Return);
        for (int i = 0; i < 6; ++i) {
            t->sim.pumpCaptureBlock();
        }
        press(Qt::Key_Return);
    }
    // The item's interval of the TextGrid at `path` lies over the tone with the margin, to a
    // speech frame, and carries `text`.
    void expectToneMarked(const QString& path, const QString& text, double from, double to) {
        SCOPED_TRACE(path.toStdString());
        const ReadTextGrid grid = ReadTextGridFile(path);
        ASSERT_TRUE(grid.ok);
        const ReadInterval item = grid.labelled(u"item"_s);
        EXPECT_EQ(item.text, text);
        EXPECT_NEAR(item.xmin, from - kMarginSeconds, kFrameSeconds + 1e-6);
        EXPECT_NEAR(item.xmax, to + kMarginSeconds, kFrameSeconds + 1e-6);
        EXPECT_NEAR(grid.xmax, 0.6, 1e-3);
    }

    QTemporaryDir dir;
    QString folder;
    std::unique_ptr<TestApp> t;
    double toneFrom = 0.2;
    double toneTo = 0.4;
};

TEST_F(TakeAnnotation, AnEnterTakeGetsItsTextGridOnlyWithTheOptionAtItsKey) {
    LoadItemLines(t->app, dir, u"太阳\r\n月亮\r\n"_s);
    record(0);
    expectToneMarked(folder + u"/太阳.TextGrid"_s, u"太阳"_s, 0.2, 0.4);
    EXPECT_EQ(ReadTextGridFile(folder + u"/太阳.TextGrid"_s).tierNames, QStringList{u"item"_s});

    // Turned off: the next take has none, and the first keeps its own.
    t->app.state.options.annotations = false;
    record(1);
    EXPECT_TRUE(QFile::exists(folder + u"/月亮.wav"_s));
    EXPECT_EQ(filesIn(folder, u"*.TextGrid"_s), QStringList{u"太阳.TextGrid"_s});
    EXPECT_TRUE(t->ui.messages.empty());
}

TEST_F(TakeAnnotation, ATableTakeIsMarkedByItsIdAndItemWithItsGloss) {
    const QString list = dir.filePath(u"词表.csv"_s);
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(u"id,item,gloss\r\n0001,多,many\r\n0002,少,\r\n"_s.toUtf8());
    f.close();
    LoadItemFile(t->app, list);
    toneFrom = 0.1;
    toneTo = 0.5;
    record(0);
    record(1);
    struct Case {
        QString file;
        QString item;
        QString gloss;
    };
    const Case cases[] = {
        {u"0001多.TextGrid"_s, u"0001 多"_s, u"many"_s},
        {u"0002少.TextGrid"_s, u"0002 少"_s, QString()},  // an empty gloss still has its tier
    };
    for (const Case& c : cases) {
        const QString path = folder + u'/' + c.file;
        expectToneMarked(path, c.item, 0.1, 0.5);
        const ReadTextGrid grid = ReadTextGridFile(path);
        EXPECT_EQ(grid.tierNames, (QStringList{u"item"_s, u"gloss"_s}));
        const std::vector<ReadInterval> items = grid.tiers.value(u"item"_s);
        const std::vector<ReadInterval> glosses = grid.tiers.value(u"gloss"_s);
        ASSERT_EQ(items.size(), glosses.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_DOUBLE_EQ(items[i].xmin, glosses[i].xmin);
            EXPECT_DOUBLE_EQ(items[i].xmax, glosses[i].xmax);
        }
        EXPECT_EQ(grid.labelled(u"item"_s).xmin, items[1].xmin);
        EXPECT_EQ(glosses[1].text, c.gloss);
    }
}

TEST_F(TakeAnnotation, AReplacedTakeTakesItsTextGridIntoTheEarlierTakes) {
    LoadItemLines(t->app, dir, u"太阳\r\n"_s);
    record(0);
    toneFrom = 0.3;
    toneTo = 0.5;
    record(0);
    expectToneMarked(folder + u"/太阳.TextGrid"_s, u"太阳"_s, 0.3, 0.5);
    const QString earlier = folder + u'/' + kEarlierTakesFolder;
    const QStringList wavs = filesIn(earlier, u"*.wav"_s);
    ASSERT_EQ(wavs.size(), 1);
    expectToneMarked(annotation::TextGridPathOf(earlier + u'/' + wavs[0]), u"太阳"_s, 0.2, 0.4);

    // A take saved without the option replaces one with it: the earlier TextGrid still goes,
    // so that none lies beside a take it does not describe.
    t->app.state.options.annotations = false;
    record(0);
    EXPECT_FALSE(QFile::exists(folder + u"/太阳.TextGrid"_s));
    EXPECT_EQ(filesIn(earlier, u"*.TextGrid"_s).size(), 2);
}

TEST_F(TakeAnnotation, SaveAsPutsOneBesideTheChosenFileAndKeepsTheOneItReplaces) {
    LoadItemLines(t->app, dir, u"太阳\r\n"_s);
    record(0);
    const QString chosen = dir.filePath(u"chosen.wav"_s);
    t->ui.saveAnswers = {chosen, chosen};
    t->form.按钮3->click();
    expectToneMarked(dir.filePath(u"chosen.TextGrid"_s), u"太阳"_s, 0.2, 0.4);
    t->form.按钮3->click();
    EXPECT_TRUE(QFile::exists(dir.filePath(u"chosen.TextGrid"_s)));
    const QString earlier = dir.filePath(kEarlierTakesFolder);
    const QStringList wavs = filesIn(earlier, u"*.wav"_s);
    ASSERT_EQ(wavs.size(), 1);
    EXPECT_TRUE(QFile::exists(annotation::TextGridPathOf(earlier + u'/' + wavs[0])));
}

TEST_F(TakeAnnotation, APendingTakeGetsItsTextGridWhenItsFolderReturns) {
    LoadItemLines(t->app, dir, u"太阳\r\n月亮\r\n"_s);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    record(0);  // the save fails: pending, with the option of its key
    record(1);
    ASSERT_EQ(PendingTakeCount(t->app), 2);
    // Turned off meanwhile: the pending takes keep what they were recorded under.
    t->app.state.options.annotations = false;
    t->ui.messages.clear();
    ASSERT_TRUE(QDir().mkpath(folder));
    SavePendingTakes(t->app);
    ASSERT_EQ(PendingTakeCount(t->app), 0);
    expectToneMarked(folder + u"/太阳.TextGrid"_s, u"太阳"_s, 0.2, 0.4);
    expectToneMarked(folder + u"/月亮.TextGrid"_s, u"月亮"_s, 0.2, 0.4);
    EXPECT_TRUE(t->ui.messages.empty());
}

TEST_F(TakeAnnotation, APendingTakeKeptAsAnEarlierTakeHasItsTextGridBesideIt) {
    LoadItemLines(t->app, dir, u"太阳\r\n"_s);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    record(0);  // pending
    ASSERT_TRUE(QDir().mkpath(folder));
    toneFrom = 0.3;
    toneTo = 0.5;
    record(0);  // saved at once, then the older pending take goes beside it
    ASSERT_EQ(PendingTakeCount(t->app), 0);
    expectToneMarked(folder + u"/太阳.TextGrid"_s, u"太阳"_s, 0.3, 0.5);
    const QString earlier = folder + u'/' + kEarlierTakesFolder;
    const QStringList wavs = filesIn(earlier, u"*.wav"_s);
    ASSERT_EQ(wavs.size(), 1);
    expectToneMarked(annotation::TextGridPathOf(earlier + u'/' + wavs[0]), u"太阳"_s, 0.2, 0.4);
}

TEST_F(TakeAnnotation, ATextGridThatCannotBeWrittenNeverCostsTheTake) {
    LoadItemLines(t->app, dir, u"太阳\r\n"_s);
    // A folder where the TextGrid should go: its rename into place fails.
    ASSERT_TRUE(QDir().mkpath(folder + u"/太阳.TextGrid"_s));
    record(0);
    EXPECT_TRUE(QFile::exists(folder + u"/太阳.wav"_s));
    EXPECT_EQ(PendingTakeCount(t->app), 0);
    EXPECT_TRUE(t->ui.messages.empty());
    QFile log(folder + u"/quillar-log.csv"_s);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains(u"太阳.wav"_s.toUtf8()));
    // And nothing half-written beside it.
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(u"TextGrid"_s).size(), 0);
}

}  // namespace
}  // namespace quillar::test
