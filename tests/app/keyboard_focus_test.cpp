// The item list keeps the keyboard: after a button, a dialog or a box, the next Enter records,
// with no click into the list first. The window is shown and active, so the focus moves as a
// desktop moves it (a clicked button takes it).
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

#include "app/settings.h"
#include "app/startup.h"
#include "record/recording_control.h"
#include "support/item_lines.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

class KeyboardFocus : public ::testing::Test {
  protected:
    void SetUp() override {
        SetSettingsFolder(dir.path());
        OnMainWindowCreated(t.app);
        folder = dir.filePath(u"录音"_s);
        ASSERT_TRUE(QDir().mkpath(folder));
        f().编辑框_保存路径->setText(folder);
        LoadItemLines(t.app, dir, u"爸爸\r\n妈妈\r\n"_s);
        f().show();
        QApplication::setActiveWindow(&f());
        ASSERT_TRUE(QTest::qWaitForWindowActive(&f()));
    }
    void TearDown() override {
        OnMainWindowDestroyed(t.app);
        SetSettingsFolder(QString());
    }
    MainForm& f() { return t.form; }
    QListWidget* list() { return f().列表框_录音文本列表; }
    // A key as the desktop delivers it: to whichever widget has the focus.
    static void keyToFocus(Qt::Key key) {
        QWidget* target = QApplication::focusWidget();
        ASSERT_NE(target, nullptr);
        QTest::keyClick(target, key);
    }
    QString writeList(const QString& name, const QByteArray& lines) {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(lines);
        return path;
    }

    QTemporaryDir dir;
    TestApp t;
    QString folder;
};

TEST_F(KeyboardFocus, EveryButtonHandsTheKeysBackToTheList) {
    struct Case {
        const char* what;
        std::function<void()> click;
        std::size_t boxes = 0;  // message boxes it shows on the way
    };
    const QString otherFolder = dir.filePath(u"别处"_s);
    ASSERT_TRUE(QDir().mkpath(otherFolder));
    // A dialog that moves the focus on while it is open, as a real one does.
    t.ui.modalAnswer = [this](QDialog&) {
        f().组合框2->setFocus();
        return int{QDialog::Rejected};
    };
    const Case cases[] = {
        {"选择, a word list chosen",
         [&] {
             t.ui.openAnswers.push_back(writeList(u"other.txt"_s, "月亮\r\n星星\r\n"));
             QTest::mouseClick(f().按钮_选择录音文本, Qt::LeftButton);
         }},
        {"选择, cancelled", [&] { QTest::mouseClick(f().按钮_选择录音文本, Qt::LeftButton); }},
        {"设置, a folder chosen",
         [&] {
             t.ui.folderAnswers.push_back(otherFolder);
             QTest::mouseClick(f().按钮_设置保存路径, Qt::LeftButton);
         }},
        {"设置, cancelled", [&] { QTest::mouseClick(f().按钮_设置保存路径, Qt::LeftButton); }},
        {"录音选项", [&] { QTest::mouseClick(f().按钮_录音选项, Qt::LeftButton); }},
        {"F6", [&] { QTest::keyClick(list(), Qt::Key_F6); }},
        {"帮助", [&] { QTest::mouseClick(f().按钮_帮助, Qt::LeftButton); }},
        {"保存当前配置 and its message box",
         [&] { QTest::mouseClick(f().按钮_保存当前配置, Qt::LeftButton); }, 1},
        {"the monitoring check box", [&] { QTest::mouseClick(f().选择框1, Qt::LeftButton); }},
        {"the spectrum's radio button", [&] { QTest::mouseClick(f().单选框1, Qt::LeftButton); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        f().编辑框_当前录音文本->setFocus();  // anywhere but the list
        const std::size_t messages = t.ui.messages.size();
        c.click();
        EXPECT_EQ(QApplication::focusWidget(), list());
        keyToFocus(Qt::Key_Return);
        EXPECT_TRUE(TakeRunning(t.app)) << "the next Enter records";
        keyToFocus(Qt::Key_Return);
        EXPECT_FALSE(TakeRunning(t.app));
        EXPECT_EQ(t.ui.messages.size(), messages + c.boxes);
    }
}

TEST_F(KeyboardFocus, TheRecordButtonsLeaveTheNextKeyToTheList) {
    QTest::mouseClick(f().按钮1, Qt::LeftButton);
    ASSERT_TRUE(TakeRunning(t.app));
    EXPECT_EQ(QApplication::focusWidget(), list());
    t.sim.pumpCaptureBlock();
    QTest::mouseClick(f().按钮4, Qt::LeftButton);  // pause
    EXPECT_EQ(QApplication::focusWidget(), list());
    QTest::mouseClick(f().按钮4, Qt::LeftButton);  // resume
    t.sim.pumpCaptureBlock();
    keyToFocus(Qt::Key_Return);  // the Enter that stops and saves
    EXPECT_FALSE(TakeRunning(t.app));
    EXPECT_TRUE(QFile::exists(folder + u"/爸爸.wav"_s));
}

TEST_F(KeyboardFocus, TheFolderBoxKeepsTheKeysUntilItsReturn) {
    const QString typed = dir.filePath(u"typed"_s);
    ASSERT_TRUE(QDir().mkpath(typed));
    QTest::mouseClick(f().编辑框_保存路径, Qt::LeftButton);
    ASSERT_EQ(QApplication::focusWidget(), f().编辑框_保存路径);
    f().编辑框_保存路径->selectAll();
    QTest::keyClicks(f().编辑框_保存路径, typed);
    EXPECT_EQ(f().编辑框_保存路径->text(), typed) << "every key went into the box";
    EXPECT_EQ(QApplication::focusWidget(), f().编辑框_保存路径);
    EXPECT_FALSE(TakeRunning(t.app));

    keyToFocus(Qt::Key_Return);  // ends the typing
    EXPECT_EQ(QApplication::focusWidget(), list());
    keyToFocus(Qt::Key_Return);
    t.sim.pumpCaptureBlock();
    keyToFocus(Qt::Key_Return);
    EXPECT_TRUE(QFile::exists(typed + u"/爸爸.wav"_s)) << "saved into the folder typed";
}

}  // namespace
}  // namespace quillar::test
