#include "items/item_list.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include "kit/drawing_board.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

struct PathCase {
    const char* name;
    QString folder;
    QString item;
    QString expected;
};

TEST(RecordingPathOf, OneRuleForLookupAndSave) {
    const PathCase cases[] = {
        {"plain", u"/rec"_s, u"爸爸"_s, u"/rec/爸爸.wav"_s},
        {"folder with trailing slash", u"/rec/"_s, u"a"_s, u"/rec//a.wav"_s},
        {"blanks at the two ends of the path", u"  /rec"_s, u"a  "_s, u"/rec/a  .wav"_s},
        {"blanks inside stay", u"/my rec"_s, u" a b"_s, u"/my rec/ a b.wav"_s},
        {"TABs removed anywhere", u"/r\tec"_s, u"a\tb\t"_s, u"/rec/ab.wav"_s},
        {"separator in the item", u"/rec"_s, u"爸爸/父亲"_s, u"/rec/爸爸_父亲.wav"_s},
        {"no way up and out, and never hidden", u"/rec"_s, u"../../etc/x"_s,
         u"/rec/_.._.._etc_x.wav"_s},
        {"NUL in the item", u"/rec"_s, u"a\u0000b"_s, u"/rec/a_b.wav"_s},
        {"control characters in the item", u"/rec"_s, u"a\rb\u001bc\u007f"_s, u"/rec/a_b_c_.wav"_s},
        {"empty item: no name to look up", u"/rec"_s, QString(), QString()},
        {"blank item: no name to look up", u"/rec"_s, u" \t "_s, QString()},
        {"hidden name", u"/rec"_s, u".x"_s, u"/rec/_.x.wav"_s},
        {"only dots and blanks", u"/rec"_s, u". ."_s, u"/rec/_. ..wav"_s},
        {"relative folder", u"rec"_s, u"a"_s, u"rec/a.wav"_s},
        {"empty folder: no path", QString(), u"a"_s, QString()},
        {"blank folder: no path", u" \t "_s, u"a"_s, QString()},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(RecordingPathOf(c.folder, c.item), c.expected) << c.name;
    }
}

class ItemSelection : public ::testing::Test {
  protected:
    void SetUp() override {
        t.form.show();  // the boards get their canvas size
        t.form.编辑框_保存路径->setText(dir.path());
        t.form.列表框_录音文本列表->addItems({u"有录音"_s, u"没有"_s, u"a\tb"_s});
    }
    void select(int row) { t.form.列表框_录音文本列表->setCurrentRow(row); }
    QString file(const QString& name) { return dir.filePath(name); }

    QTemporaryDir dir;
    TestApp t;
};

TEST_F(ItemSelection, ShowsTheItemAndItsRecordingWhenThereIsOne) {
    QFile(file(u"有录音.wav"_s)).open(QIODevice::WriteOnly);
    QFile(file(u"ab.wav"_s)).open(QIODevice::WriteOnly);
    struct Step {
        int row;
        QString text;
        QString recording;
    };
    const Step steps[] = {
        {0, u"有录音"_s, file(u"有录音.wav"_s)},
        {1, u"没有"_s, QString()},
        {2, u"a\tb"_s, file(u"ab.wav"_s)},  // found without its TAB
    };
    for (const Step& s : steps) {
        select(s.row);
        EXPECT_EQ(t.form.编辑框_当前录音文本->text(), s.text) << s.row;
        EXPECT_EQ(t.form.编辑框_当前录音文件->text(), s.recording) << s.row;
        EXPECT_EQ(t.form.按钮_播放录音->isEnabled(), !s.recording.isEmpty()) << s.row;
    }
}

TEST_F(ItemSelection, ItemWithoutRecordingClearsTheOldWaveform) {
    QFile(file(u"有录音.wav"_s)).open(QIODevice::WriteOnly);
    select(0);
    t.form.画板3->setPenColour(Qt::red);
    t.form.画板3->line(0, 0, 20, 20);
    ASSERT_EQ(t.form.画板3->canvas().pixelColor(5, 5).rgb(), QColor(Qt::red).rgb());
    select(1);
    EXPECT_EQ(t.form.画板3->canvas().pixelColor(5, 5).rgb(), t.form.画板3->background().rgb());
}

TEST_F(ItemSelection, AFolderNamedLikeTheRecordingIsNoRecording) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"没有.wav"_s));
    select(1);
    EXPECT_EQ(t.form.编辑框_当前录音文件->text(), QString());
    EXPECT_FALSE(t.form.按钮_播放录音->isEnabled());
}

TEST_F(ItemSelection, EmptyListShowsNothing) {
    t.form.列表框_录音文本列表->clear();
    OnItemSelected(t.app);
    EXPECT_EQ(t.form.编辑框_当前录音文本->text(), QString());
    EXPECT_EQ(t.form.编辑框_当前录音文件->text(), QString());
    EXPECT_FALSE(t.form.按钮_播放录音->isEnabled());
}

TEST_F(ItemSelection, EmptyFolderNeverLooksAtTheRoot) {
    t.form.编辑框_保存路径->clear();
    select(0);
    EXPECT_EQ(t.form.编辑框_当前录音文件->text(), QString());
}

}  // namespace
}  // namespace quillar::test
