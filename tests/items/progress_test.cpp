// Guidance through a long word list with the simulated engine: marks and the "recorded / total"
// count, F3 and Shift+F3, homographs with files of their own, and resuming at the item that was
// selected when a list was last left.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <cmath>

#include "app/settings.h"
#include "app/startup.h"
#include "items/item_file.h"
#include "items/item_list.h"
#include "items/recording_marks.h"
#include "kit/item_marks.h"
#include "record/take_log.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

constexpr std::uint8_t kRec = ItemMarks::kRecorded;
// The steady tone of these takes never falls to a background: each is judged noisy, a redo.
constexpr std::uint8_t kRedo = ItemMarks::kRecorded | ItemMarks::kRedo;

class Progress : public ::testing::Test {
  protected:
    void SetUp() override {
        SetSettingsFolder(dir.path());
        t.sim.setSignal([](int, std::int64_t frame) {
            return 0.25 * std::sin(0.05 * static_cast<double>(frame));
        });
        OnMainWindowCreated(t.app);
        folder = dir.filePath(u"rec"_s);
        ASSERT_TRUE(QDir().mkpath(folder));
        t.form.编辑框_保存路径->setText(folder);
    }
    void TearDown() override {
        OnMainWindowDestroyed(t.app);
        SetSettingsFolder(QString());
    }
    QString writeList(const QString& name, const QString& lines) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(lines.toUtf8());
        return path;
    }
    void load(const QString& lines) {
        LoadItemFile(t.app, writeList(u"items.txt"_s, lines));
        QCoreApplication::processEvents();  // the marks follow the first item
    }
    void touch(const QString& name) { QFile(folder + u'/' + name).open(QIODevice::WriteOnly); }
    QListWidget* list() { return t.form.列表框_录音文本列表; }
    std::vector<std::uint8_t> marks() {
        std::vector<std::uint8_t> m;
        for (int i = 0; i < list()->count(); ++i) {
            m.push_back(t.form.条目标记->mark(i));
        }
        return m;
    }
    QString count() { return t.form.标签_录音进度->text(); }
    void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QKeyEvent event(QEvent::KeyPress, key, mods);
        QApplication::sendEvent(list(), &event);
    }
    void record(int blocks = 2) {
        press(Qt::Key_Return);
        for (int i = 0; i < blocks; ++i) {
            t.sim.pumpCaptureBlock();
        }
        press(Qt::Key_Return);
    }

    QTemporaryDir dir;
    TestApp t;
    QString folder;
};

TEST_F(Progress, MarksAndCountAfterLoadSaveAndFolderChange) {
    touch(u"一.wav"_s);
    touch(u"三.wav"_s);
    touch(u"三.wav.bak"_s);
    ASSERT_TRUE(QDir(folder).mkdir(u"二.wav"_s));  // a folder is no recording
    TakeLogEntry clipped;
    clipped.file = folder + u"/三.wav"_s;
    clipped.clipped = true;
    ASSERT_TRUE(AppendTakeLog(clipped));  // a clipped take of an earlier session
    load(u"一\r\n二\r\n三\r\n四\r\n"_s);
    EXPECT_EQ(marks(), (std::vector<std::uint8_t>{kRec, 0, kRedo, 0}));
    EXPECT_EQ(count(), u"2 / 4"_s);
    EXPECT_EQ(list()->item(0)->text(), u"一"_s);  // the text stays the item's own

    list()->setCurrentRow(3);
    record();
    EXPECT_EQ(marks(), (std::vector<std::uint8_t>{kRec, 0, kRedo, kRedo}));
    EXPECT_EQ(count(), u"3 / 4"_s);

    // 按钮3 into the folder, under the second item's name.
    t.ui.saveAnswers.push_back(folder + u"/二.wav"_s);
    ASSERT_TRUE(QDir(folder).rmdir(u"二.wav"_s));
    t.form.按钮3->click();
    EXPECT_EQ(marks(), (std::vector<std::uint8_t>{kRec, kRedo, kRedo, kRedo}));

    const QString other = dir.filePath(u"other"_s);
    ASSERT_TRUE(QDir().mkpath(other));
    QFile(other + u"/四.wav"_s).open(QIODevice::WriteOnly);
    t.ui.folderAnswers.push_back(other);
    ChooseSaveFolder(t.app);
    EXPECT_EQ(marks(), (std::vector<std::uint8_t>{0, 0, 0, kRec}));
    EXPECT_EQ(count(), u"1 / 4"_s);

    t.form.编辑框_保存路径->clear();
    RefreshItemMarks(t.app);
    EXPECT_EQ(count(), u"0 / 4"_s);
}

TEST_F(Progress, ANewListShowsItsFirstItemFirstAndNoMarkOfTheListBefore) {
    touch(u"一.wav"_s);
    load(u"一\r\n二\r\n"_s);
    ASSERT_EQ(marks(), (std::vector<std::uint8_t>{kRec, 0}));

    LoadItemFile(t.app, writeList(u"other.txt"_s, u"甲\r\n一\r\n"_s));
    EXPECT_EQ(t.form.编辑框_当前录音文本->text(), u"甲"_s);
    EXPECT_EQ(marks(), (std::vector<std::uint8_t>{0, 0})) << "a mark of the list before";
    EXPECT_EQ(count(), u"0 / 2"_s);
    QCoreApplication::processEvents();
    EXPECT_EQ(marks(), (std::vector<std::uint8_t>{0, kRec}));
    EXPECT_EQ(count(), u"1 / 2"_s);
}

TEST_F(Progress, ClippedTakeOfThisSessionIsMarkedAtTheStop) {
    t.sim.setSignal([](int, std::int64_t frame) { return frame % 50 < 25 ? 1.0 : -1.0; });
    load(u"一\r\n二\r\n"_s);
    record();
    EXPECT_EQ(marks(), (std::vector<std::uint8_t>{kRedo, 0}));
    // Also when the log line is lost: the session knows.
    QFile::remove(folder + u'/' + kTakeLogName);
    RefreshItemMarks(t.app);
    EXPECT_EQ(marks(), (std::vector<std::uint8_t>{kRedo, 0}));
}

TEST_F(Progress, ALineForEveryTakeNamesTheEarlierTakeItReplaced) {
    load(u"一\r\n"_s);
    record();
    record(3);
    QFile f(folder + u'/' + kTakeLogName);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const std::vector<QStringList> log = ParseCsv(f.readAll());
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1][11], QString());
    EXPECT_TRUE(log[2][11].startsWith(u"早前录音/一."_s)) << log[2][11].toStdString();
    EXPECT_TRUE(QFile::exists(folder + u'/' + log[2][11]));
    EXPECT_EQ(log[2][3], u"0.300"_s);  // three 100 ms blocks
    EXPECT_EQ(log[2][12], u"enter"_s);
    EXPECT_EQ(t.form.标签_录音进度->text(), u"1 / 1"_s);  // the earlier take is no item's file
}

TEST_F(Progress, F3AndShiftF3GoToTheNextUnrecordedItemAndWrap) {
    touch(u"b.wav"_s);
    touch(u"c.wav"_s);
    load(u"a\r\nb\r\nc\r\nd\r\ne\r\n"_s);
    const struct {
        int from;
        Qt::KeyboardModifiers mods;
        int to;
    } steps[] = {
        {0, Qt::NoModifier, 3},    {3, Qt::NoModifier, 4},    {4, Qt::NoModifier, 0},
        {0, Qt::ShiftModifier, 4}, {3, Qt::ShiftModifier, 0}, {1, Qt::NoModifier, 3},
        {2, Qt::ShiftModifier, 0},
    };
    for (const auto& s : steps) {
        list()->setCurrentRow(s.from);
        press(Qt::Key_F3, s.mods);
        EXPECT_EQ(list()->currentRow(), s.to) << s.from << " shift " << (s.mods != 0);
        EXPECT_EQ(t.form.编辑框_当前录音文本->text(), list()->item(s.to)->text());
    }
}

TEST_F(Progress, VerdictsMarkTheItemsAndF4GoesToThoseToRedo) {
    // Takes of an earlier session, judged; d's line is from before takes were judged.
    const struct {
        const char16_t* name;
        quality::Problem problems;
    } takes[] = {{u"a", 0},
                 {u"b", quality::kCutStart},
                 {u"c", quality::kTooQuiet},
                 {u"e", quality::kSilent}};
    for (const auto& take : takes) {
        TakeLogEntry e;
        e.file = folder + u'/' + QString::fromUtf16(take.name) + u".wav"_s;
        e.peak = 0.5;
        e.judged = true;
        e.judgement.noiseDbfs = -61.2;
        e.judgement.snrDb = 43.4;
        e.judgement.problems = take.problems;
        quality::SettleVerdict(e.judgement);
        ASSERT_TRUE(AppendTakeLog(e));
        touch(QString::fromUtf16(take.name) + u".wav"_s);
    }
    touch(u"d.wav"_s);
    TakeLogEntry old;
    old.file = folder + u"/d.wav"_s;
    ASSERT_TRUE(AppendTakeLog(old));
    load(u"a\r\nb\r\nc\r\nd\r\ne\r\nf\r\n"_s);
    constexpr std::uint8_t kGood = ItemMarks::kRecorded | ItemMarks::kGood;
    constexpr std::uint8_t kCheck = ItemMarks::kRecorded | ItemMarks::kCheck;
    EXPECT_EQ(marks(), (std::vector<std::uint8_t>{kGood, kRedo, kCheck, kRec, kRedo, 0}));

    const struct {
        int from;
        Qt::KeyboardModifiers mods;
        int to;
    } steps[] = {
        {0, Qt::NoModifier, 1},    {1, Qt::NoModifier, 4},    {4, Qt::NoModifier, 1},
        {1, Qt::ShiftModifier, 4}, {5, Qt::ShiftModifier, 4}, {2, Qt::ShiftModifier, 1},
    };
    for (const auto& s : steps) {
        list()->setCurrentRow(s.from);
        press(Qt::Key_F4, s.mods);
        EXPECT_EQ(list()->currentRow(), s.to) << s.from << " shift " << (s.mods != 0);
    }

    // The line under the waveform follows the selection.
    QLabel* line = t.form.标签_录音质量;
    list()->setCurrentRow(1);
    EXPECT_FALSE(line->isHidden());
    EXPECT_EQ(line->text().trimmed(),
              u"峰值 -6.0 dBFS · 噪声 -61 dBFS · 信噪比 43 dB · 开头被截断"_s);
    list()->setCurrentRow(3);  // no judgement in the log
    EXPECT_TRUE(line->isHidden());
    list()->setCurrentRow(5);  // no recording
    EXPECT_TRUE(line->isHidden());

    // A take of this session: judged at the stop, logged with its verdict, marked and shown.
    record();
    EXPECT_EQ(marks()[5], kRedo);  // the test's steady tone has no quiet background
    EXPECT_FALSE(line->isHidden());
    EXPECT_TRUE(line->text().contains(u"噪声太大"_s)) << line->text().toStdString();
    QFile f(folder + u'/' + kTakeLogName);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QStringList last = ParseCsv(f.readAll()).back();
    ASSERT_EQ(last.size(), 20);
    EXPECT_EQ(last[15], u"redo"_s);
    EXPECT_EQ(last[16], u"noisy"_s);
}

TEST_F(Progress, F3WithEveryItemRecordedStaysAndTheLastUnrecordedIsKept) {
    touch(u"a.wav"_s);
    touch(u"b.wav"_s);
    load(u"a\r\nb\r\n"_s);
    list()->setCurrentRow(1);
    press(Qt::Key_F3);
    EXPECT_EQ(list()->currentRow(), 1);
    QFile::remove(folder + u"/b.wav"_s);
    RefreshItemMarks(t.app);
    press(Qt::Key_F3);  // the selected item is the only one left
    EXPECT_EQ(list()->currentRow(), 1);
    list()->clear();
    RefreshItemMarks(t.app);
    press(Qt::Key_F3);  // nothing to go to, nothing breaks
    EXPECT_EQ(list()->currentRow(), -1);
}

TEST_F(Progress, HomographsGetFilesOfTheirOwn) {
    EXPECT_EQ(RecordingPathOf(u"/r"_s, u"打"_s, 1), u"/r/打.wav"_s);
    EXPECT_EQ(RecordingPathOf(u"/r"_s, u"打"_s, 3), u"/r/打 (3).wav"_s);
    EXPECT_EQ(RecordingPathOf(u"/r"_s, u"a\t"_s, 2), u"/r/a (2).wav"_s);
    load(u"打\r\n人\r\n打\r\n打\r\n"_s);
    record();
    list()->setCurrentRow(2);
    EXPECT_TRUE(t.form.编辑框_当前录音文件->text().isEmpty());  // the first's take is not its own
    record();
    list()->setCurrentRow(3);
    record();
    for (const QString& name : {u"打.wav"_s, u"打 (2).wav"_s, u"打 (3).wav"_s}) {
        EXPECT_TRUE(QFile::exists(folder + u'/' + name)) << name.toStdString();
    }
    list()->setCurrentRow(2);
    EXPECT_EQ(t.form.编辑框_当前录音文件->text(), folder + u"/打 (2).wav"_s);
    RefreshItemMarks(t.app);
    EXPECT_EQ(marks(), (std::vector<std::uint8_t>{kRedo, 0, kRedo, kRedo}));
    const std::vector<QStringList> log = ParseCsv([&] {
        QFile f(folder + u'/' + kTakeLogName);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }());
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[2][1], u"打"_s);
    EXPECT_EQ(log[2][2], u"打 (2).wav"_s);
}

TEST_F(Progress, ATableIsNamedByItsTemplateAndItsHomographsByTheirIds) {
    t.app.state.options.name_template = u"{speaker}/{list}/{id}{item}"_s;
    t.app.state.session.emplace();
    t.app.state.session->speaker.code = u"老男"_s;
    t.app.state.session->site.code = u"HZ01"_s;
    const QString table = writeList(u"单字.csv"_s,
                                    u"编号,字,释义\r\n0015,磨,grind\r\n"
                                    u"0016,磨,mill\r\n0020,多,many\r\n"_s);
    LoadItemFile(t.app, table);
    QCoreApplication::processEvents();
    ASSERT_EQ(list()->count(), 3);
    EXPECT_EQ(list()->item(1)->text(), u"0016 磨"_s);
    list()->setCurrentRow(1);
    record();
    const QString sub = folder + u"/老男/单字/"_s;
    EXPECT_TRUE(QFile::exists(sub + u"0016磨.wav"_s));
    EXPECT_FALSE(QFile::exists(sub + u"0015磨.wav"_s));
    EXPECT_EQ(t.form.编辑框_当前录音文件->text(), sub + u"0016磨.wav"_s);
    // The other 磨 is another item: unmarked, and F3 from the top finds it first.
    RefreshItemMarks(t.app);
    EXPECT_EQ(marks(), (std::vector<std::uint8_t>{0, kRedo, 0}));
    EXPECT_EQ(count(), u"1 / 3"_s);
    list()->setCurrentRow(2);
    press(Qt::Key_F3);
    EXPECT_EQ(list()->currentRow(), 0);
    QFile log(sub + kTakeLogName);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QStringList line = ParseCsv(log.readAll()).back();
    EXPECT_EQ(line.mid(17), (QStringList{u"0016"_s, u"老男"_s, u"HZ01"_s}));
    EXPECT_EQ(line[1], u"磨"_s);

    // Left on 0016, the table gains a row at its top: it opens on 0016 again.
    list()->setCurrentRow(1);
    RememberItemPosition(t.app);
    writeList(u"单字.csv"_s, u"编号,字\r\n0001,一\r\n0015,磨\r\n0016,磨\r\n0020,多\r\n"_s);
    QString id;
    const int row = ReadItemPosition(SettingsFilePath(), table, &id);
    EXPECT_EQ(row, 1);
    EXPECT_EQ(id, u"0016"_s);
    LoadItemFile(t.app, table, row, id);
    EXPECT_EQ(list()->currentRow(), 2);

    // A template by which two rows would share a file refuses the list, and the list stays.
    t.app.state.options.name_template = u"{item}"_s;
    t.ui.messages.clear();
    LoadItemFile(t.app, writeList(u"other.csv"_s, u"id,item\r\n1,磨\r\n2,磨\r\n"_s));
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_TRUE(t.ui.messages[0].text.contains(u"磨"_s));
    EXPECT_EQ(list()->count(), 4);
}

TEST_F(Progress, ResumesEachItemFileWhereItWasLeft) {
    const QString first = writeList(u"first.txt"_s, u"a\r\nb\r\nc\r\nd\r\n"_s);
    const QString second = writeList(u"sec=ond [x].txt"_s, u"p\r\nq\r\nr\r\n"_s);
    const QString fresh = writeList(u"fresh.txt"_s, u"x\r\ny\r\n"_s);
    t.ui.openAnswers = {first, second, first, fresh};
    ChooseItemFile(t.app);
    EXPECT_EQ(list()->currentRow(), 0);
    list()->setCurrentRow(2);
    ChooseItemFile(t.app);  // leaves `first` at 2
    EXPECT_EQ(list()->currentRow(), 0);
    list()->setCurrentRow(1);
    ChooseItemFile(t.app);  // back to `first`
    EXPECT_EQ(list()->currentRow(), 2);
    EXPECT_EQ(t.form.编辑框_当前录音文本->text(), u"c"_s);
    ChooseItemFile(t.app);  // a file not used before
    EXPECT_EQ(list()->currentRow(), 0);

    const QString ini = SettingsFilePath();
    EXPECT_EQ(ReadItemPosition(ini, second), 1);
    EXPECT_EQ(ReadItemPosition(ini, second.toUpper()), -1);  // paths differ by case on Linux
    EXPECT_EQ(ReadItemPosition(ini, fresh), -1);
    // The described section and keys are left as they are.
    EXPECT_EQ(ReadProfileString(ini, QString::fromUtf16(kSettingsSection),
                                QString::fromUtf16(kItemFileKey)),
              QString());
}

TEST_F(Progress, StartUpOpensTheItemFileAtTheItemSelectedAtTheLastClose) {
    const QString path = writeList(u"list.txt"_s, u"a\r\nb\r\nc\r\n"_s);
    ASSERT_TRUE(WriteProfileStrings(SettingsFilePath(), QString::fromUtf16(kSettingsSection),
                                    {{QString::fromUtf16(kItemFileKey), path}}));
    {
        TestApp first;
        OnMainWindowCreated(first.app);
        EXPECT_EQ(first.form.列表框_录音文本列表->currentRow(), 0);
        first.form.列表框_录音文本列表->setCurrentRow(2);
        OnMainWindowDestroyed(first.app);
    }
    TestApp again;
    OnMainWindowCreated(again.app);
    EXPECT_EQ(again.form.列表框_录音文本列表->currentRow(), 2);
    EXPECT_EQ(again.form.编辑框_当前录音文本->text(), u"c"_s);
    OnMainWindowDestroyed(again.app);

    // A list that shrank since starts at its first item.
    WriteItemPosition(SettingsFilePath(), path, 7);
    TestApp shrunk;
    OnMainWindowCreated(shrunk.app);
    EXPECT_EQ(shrunk.form.列表框_录音文本列表->currentRow(), 0);
    OnMainWindowDestroyed(shrunk.app);
}

}  // namespace
}  // namespace quillar::test
