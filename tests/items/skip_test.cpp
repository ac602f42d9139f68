// F8 passes over an item: the reason chosen with the keys in the small chooser, the skip's line in
// the take log (template subfolders too), the grey mark and the count apart, F3 passing over it,
// a later take ending it, and nothing at all while a take runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <variant>

#include "app/settings.h"
#include "app/startup.h"
#include "items/item_file.h"
#include "items/recording_marks.h"
#include "kit/item_marks.h"
#include "kit/skip_item_dialog.h"
#include "record/take_log.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

constexpr std::uint8_t kSkip = ItemMarks::kSkipped;

class Skipping : public ::testing::Test {
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
    void load(const QString& name, const QString& lines) {
        const QString path = dir.filePath(name);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(lines.toUtf8());
        f.close();
        LoadItemFile(t.app, path);
        QCoreApplication::processEvents();
    }
    QListWidget* list() { return t.form.列表框_录音文本列表; }
    std::vector<std::uint8_t> marks() {
        std::vector<std::uint8_t> m;
        for (int i = 0; i < list()->count(); ++i) {
            m.push_back(t.form.条目标记->mark(i));
        }
        return m;
    }
    void press(int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(list(), &event);
    }
    // The chooser answered with `keys`, typed into the widget that has the keyboard in it.
    void answerWith(std::vector<std::variant<Qt::Key, QString>> keys) {
        t.ui.modalAnswer = [keys](QDialog& window) {
            auto& dialog = dynamic_cast<SkipItemDialog&>(window);
            QWidget* focus = dialog.reasons;
            for (const auto& k : keys) {
                if (const auto* text = std::get_if<QString>(&k)) {
                    // Typed as an input method hands over Chinese: the text of one key event.
                    QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, *text);
                    QApplication::sendEvent(dialog.other, &typed);
                    focus = dialog.other;
                    continue;
                }
                // Unshown, the dialog has no focus of its own: the keys go where they would, to
                // the line for the words once 4 has been pressed.
                QTest::keyClick(focus, std::get<Qt::Key>(k));
                if (focus == dialog.reasons && std::get<Qt::Key>(k) == Qt::Key_4) {
                    focus = dialog.other;
                }
            }
            return dialog.result();
        };
    }
    void record() {
        press(Qt::Key_Return);
        t.sim.pumpCaptureBlock();
        t.sim.pumpCaptureBlock();
        press(Qt::Key_Return);
    }
    std::vector<QStringList> logOf(const QString& where) {
        QFile f(where + u'/' + kTakeLogName);
        return f.open(QIODevice::ReadOnly) ? ParseCsv(f.readAll()) : std::vector<QStringList>{};
    }

    QTemporaryDir dir;
    TestApp t;
    QString folder;
};

TEST_F(Skipping, EachReasonIsChosenWithTheKeysAndEscChoosesNone) {
    using K = std::vector<std::variant<Qt::Key, QString>>;
    const struct {
        const char* what;
        K keys;
        QString reason;  // empty: cancelled
    } cases[] = {
        {"Enter on the first row", K{Qt::Key_Return}, u"发音人不会说"_s},
        {"down, Enter", K{Qt::Key_Down, Qt::Key_Return}, u"不适用"_s},
        {"its number", K{Qt::Key_3}, u"以后再录"_s},
        {"4, words, Enter", K{Qt::Key_4, u" 说的是\"ma\", 不是 mo "_s, Qt::Key_Return},
         u"说的是\"ma\", 不是 mo"_s},
        {"Esc", K{Qt::Key_Escape}, {}},
        {"a row, then Esc", K{Qt::Key_Down, Qt::Key_Escape}, {}},
        {"4 and Enter with no words", K{Qt::Key_4, Qt::Key_Return, Qt::Key_Escape}, {}},
    };
    for (const auto& c : cases) {
        QFile::remove(folder + u'/' + kTakeLogName);
        load(u"items.txt"_s, u"一\r\n二\r\n"_s);
        list()->setCurrentRow(1);
        answerWith(c.keys);
        press(Qt::Key_F8);
        EXPECT_EQ(t.ui.modalTitles.back(), u"跳过条目"_s) << c.what;
        const std::vector<QStringList> log = logOf(folder);
        if (c.reason.isEmpty()) {
            EXPECT_TRUE(log.empty()) << c.what;
            EXPECT_EQ(marks(), (std::vector<std::uint8_t>{0, 0})) << c.what;
            continue;
        }
        ASSERT_EQ(log.size(), 2u) << c.what;
        EXPECT_EQ(log[1][1], u"二"_s) << c.what;
        EXPECT_EQ(log[1][12], u"skipped"_s) << c.what;
        EXPECT_EQ(log[1][16], c.reason) << c.what;
        EXPECT_EQ(marks(), (std::vector<std::uint8_t>{0, kSkip})) << c.what;
    }
}

TEST_F(Skipping, TheMarkIsGreyTheCountApartF3PassesOverAndATakeEndsIt) {
    load(u"items.txt"_s, u"一\r\n二\r\n三\r\n四\r\n"_s);
    list()->setCurrentRow(1);
    answerWith({Qt::Key_2});
    press(Qt::Key_F8);
    ASSERT_EQ(marks(), (std::vector<std::uint8_t>{0, kSkip, 0, 0}));
    EXPECT_EQ(t.form.标签_录音进度->text(), u"0 / 4，跳过 1"_s);
    EXPECT_TRUE(ItemSkipped(t.app, 1));
    EXPECT_FALSE(ItemSkipped(t.app, 0));

    // The dot beside the item is grey.
    list()->resize(280, 200);
    list()->doItemsLayout();
    const QRect row = list()->visualItemRect(list()->item(1));
    ASSERT_FALSE(row.isEmpty());
    const QImage shot = list()->viewport()->grab().toImage();
    // Inside the dot, above its white dash.
    const QColor dot = shot.pixelColor(ItemMarks::kMarkWidth / 2 - 1, row.center().y() - 3);
    EXPECT_EQ(dot.red(), dot.green());
    EXPECT_EQ(dot.green(), dot.blue());
    EXPECT_LT(dot.red(), 200);

    // F3 from the first item passes over it; the arrow keys still reach it.
    list()->setCurrentRow(0);
    press(Qt::Key_F3);
    EXPECT_EQ(list()->currentRow(), 2);
    EXPECT_EQ(NextUnrecordedRow(t.app, 0, false), 2);
    EXPECT_EQ(NextUnrecordedRow(t.app, 2, true), 0);

    // The same after the marks are read again from the folder.
    RefreshItemMarks(t.app);
    EXPECT_EQ(marks(), (std::vector<std::uint8_t>{0, kSkip, 0, 0}));

    // A take of the item after all: recorded, no longer skipped, now and when read again.
    list()->setCurrentRow(1);
    record();
    EXPECT_FALSE(ItemSkipped(t.app, 1));
    EXPECT_EQ(t.form.标签_录音进度->text(), u"1 / 4"_s);
    RefreshItemMarks(t.app);
    EXPECT_FALSE(ItemSkipped(t.app, 1));
    EXPECT_NE(marks()[1] & ItemMarks::kRecorded, 0);
}

TEST_F(Skipping, NothingWhileATakeRunsOrWithoutAFolder) {
    load(u"items.txt"_s, u"一\r\n二\r\n"_s);
    answerWith({Qt::Key_1});
    press(Qt::Key_Return);
    press(Qt::Key_F8);
    EXPECT_TRUE(t.ui.modalTitles.isEmpty());
    t.sim.pumpCaptureBlock();
    press(Qt::Key_Return);
    EXPECT_EQ(marks()[0] & ItemMarks::kSkipped, 0);

    t.form.编辑框_保存路径->clear();
    press(Qt::Key_F8);
    EXPECT_TRUE(t.ui.modalTitles.isEmpty());
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0].title, u"跳过条目"_s);
}

// A table under a template with subfolders: the skip lies beside where the take would, keyed by
// the id, so the other row of the same text stays unskipped.
TEST_F(Skipping, ATableSkipLiesInTheTemplatesSubfolderByItsId) {
    t.app.state.options.name_template = u"{speaker}/{list}/{id}{item}"_s;
    t.app.state.session.emplace();
    t.app.state.session->speaker.code = u"老男"_s;
    t.app.state.session->site.code = u"HZ01"_s;
    load(u"单字.csv"_s, u"编号,字\r\n0015,磨\r\n0016,磨\r\n0020,多\r\n"_s);
    ASSERT_EQ(list()->count(), 3);
    list()->setCurrentRow(1);
    answerWith({Qt::Key_1});
    press(Qt::Key_F8);
    const std::vector<QStringList> log = logOf(folder + u"/老男/单字"_s);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].mid(17), (QStringList{u"0016"_s, u"老男"_s, u"HZ01"_s}));
    EXPECT_EQ(log[1][2], QString());
    EXPECT_TRUE(logOf(folder).empty());
    RefreshItemMarks(t.app);
    EXPECT_EQ(marks(), (std::vector<std::uint8_t>{0, kSkip, 0}));
    list()->setCurrentRow(0);
    press(Qt::Key_F3);
    EXPECT_EQ(list()->currentRow(), 2);
}

}  // namespace
}  // namespace quillar::test
