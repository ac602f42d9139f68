#include "app/recording_options_ui.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include "app/recording_options_file.h"
#include "app/settings.h"
#include "items/item_file.h"
#include "kit/main_form.h"
#include "kit/recording_options_dialog.h"
#include "record/hands_free.h"
#include "record/recording_control.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

class RecordingOptionsUi : public ::testing::Test {
  protected:
    void SetUp() override {
        SetSettingsFolder(dir.path(), true);
        t.form.组合框1->addItem("Simulated input", 0);
        t.form.组合框1->setCurrentIndex(0);
    }
    void TearDown() override { SetSettingsFolder(QString()); }
    // The user's answer: these values, then OK.
    void answerWith(const RecordingOptions& o) {
        t.ui.modalAnswer = [o](QDialog& d) {
            auto& dialog = dynamic_cast<RecordingOptionsDialog&>(d);
            dialog.preroll->setValue(o.preroll_ms);
            dialog.postroll->setValue(o.postroll_ms);
            dialog.channels->setCurrentIndex(dialog.channels->findData(o.channels));
            dialog.keepInput->setChecked(o.keep_input);
            dialog.language->setCurrentIndex(dialog.language->findData(o.language));
            dialog.annotations->setChecked(o.annotations);
            dialog.handsFree->setChecked(o.hands_free);
            dialog.sensitivity->setValue(o.sensitivity_db);
            dialog.silence->setValue(o.silence_ms);
            return int{QDialog::Accepted};
        };
    }
    QString ini() const { return dir.filePath("sys.ini"); }

    QTemporaryDir dir;
    TestApp t;
};

RecordingOptions chosen() {
    RecordingOptions o;
    o.preroll_ms = 450;
    o.postroll_ms = 2000;
    o.channels = 1;
    o.keep_input = false;
    o.language = "en";
    o.annotations = true;
    o.sensitivity_db = 20;
    o.silence_ms = 1200;
    return o;
}

TEST_F(RecordingOptionsUi, OkStoresTheValuesInSysIniAndTheProgram) {
    answerWith(chosen());
    t.form.按钮_录音选项->click();
    EXPECT_EQ(t.ui.modalTitles, QStringList{"录音选项"});
    EXPECT_EQ(t.app.state.options, chosen());
    EXPECT_EQ(ReadRecordingOptions(ini()), chosen());
    EXPECT_TRUE(t.ui.messages.empty());

    // Opened again (with F6 on the item list), it shows what was stored; cancel changes nothing.
    RecordingOptions shown;
    t.ui.modalAnswer = [&shown](QDialog& d) {
        shown = dynamic_cast<RecordingOptionsDialog&>(d).options();
        return int{QDialog::Rejected};
    };
    QTest::keyClick(t.form.列表框_录音文本列表, Qt::Key_F6);
    EXPECT_EQ(t.ui.modalTitles.size(), 2);
    EXPECT_EQ(shown, chosen());
    EXPECT_EQ(ReadRecordingOptions(ini()), chosen());
}

// Hands-free recording listens to the kept input: without it the box cannot be ticked, and with
// it OK switches the mode on at once.
TEST_F(RecordingOptionsUi, HandsFreeOnlyWithTheInputKeptOpen) {
    RecordingOptions o = chosen();
    o.hands_free = true;
    answerWith(o);
    t.form.按钮_录音选项->click();
    EXPECT_FALSE(t.app.state.options.hands_free) << "the input is not kept open";
    EXPECT_FALSE(t.app.hands_free->on());

    o.keep_input = true;
    answerWith(o);
    t.form.按钮_录音选项->click();
    EXPECT_EQ(t.app.state.options, o);
    EXPECT_EQ(ReadRecordingOptions(ini()), o);
    EXPECT_TRUE(t.app.hands_free->on());
    EXPECT_FALSE(t.form.标签_自动录音->isHidden());

    o.hands_free = false;
    answerWith(o);
    t.form.按钮_录音选项->click();
    EXPECT_FALSE(t.app.hands_free->on());
}

TEST_F(RecordingOptionsUi, NeverOpensDuringATake) {
    answerWith(chosen());
    ToggleRecording(t.app);
    ASSERT_TRUE(TakeRunning(t.app));
    t.form.按钮_录音选项->click();
    QTest::keyClick(t.form.列表框_录音文本列表, Qt::Key_F6);
    EXPECT_TRUE(t.ui.modalTitles.isEmpty());
    EXPECT_NE(t.app.state.options, chosen());
    EXPECT_FALSE(QFile::exists(ini()));
    ToggleRecording(t.app);
}

TEST_F(RecordingOptionsUi, AFailedWriteIsSaidAndTheValuesHoldForThisRun) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("sys.ini"));  // a folder where the file should be
    answerWith(chosen());
    OpenRecordingOptions(t.app);
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(t.ui.messages[0].text.contains(QDir::toNativeSeparators(ini())));
    EXPECT_EQ(t.app.state.options, chosen());
}

TEST(RecordingOptionsDialogValues, BrokenValuesShowAsTheNearestOffered) {
    RecordingOptionsDialog dialog;
    RecordingOptions broken;
    broken.preroll_ms = 5000;
    broken.postroll_ms = -20;
    broken.channels = 7;
    broken.keep_input = false;
    broken.language = "fr";
    dialog.setOptions(broken);
    RecordingOptions expected;
    expected.preroll_ms = kMaxMarginMs;
    expected.postroll_ms = 0;
    expected.channels = 2;
    expected.keep_input = false;
    expected.language = "auto";
    EXPECT_EQ(dialog.options(), expected);
    EXPECT_FALSE(dialog.preroll->isEnabled());  // nothing before the key without the input open
}

TEST_F(RecordingOptionsUi, ATemplateThatWouldLoseATakeIsRefusedInTheDialogWithTheReason) {
    const QString table = dir.filePath("单字.csv");
    {
        QFile f(table);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QStringLiteral("编号,字\r\n0015,磨\r\n0016,磨\r\n").toUtf8());
    }
    t.form.编辑框_保存路径->setText(dir.filePath("rec"));
    LoadItemFile(t.app, table);
    struct Case {
        const char* nameTemplate;
        bool refused;
    };
    const Case cases[] = {
        {"{id}{item}", false}, {"{speaker}/{list}/{id:4}", false},
        {"{item}", true},     // the two 磨 would share one file
        {"{gloss}", true},    // neither id nor item
        {"{id}{item", true},  // not a template
    };
    for (const Case& c : cases) {
        RecordingOptions o = t.app.state.options;
        o.name_template = QString::fromUtf8(c.nameTemplate);
        EXPECT_EQ(!NamingProblemOf(t.app, o).isEmpty(), c.refused) << c.nameTemplate;
    }
    // Through the dialog: OK with a refused template keeps it open and the options as they were.
    const RecordingOptions before = t.app.state.options;
    bool stayedOpen = false;
    t.ui.modalAnswer = [&stayedOpen](QDialog& d) {
        auto& dialog = dynamic_cast<RecordingOptionsDialog&>(d);
        dialog.nameTemplate->setText(QStringLiteral("{item}"));
        dialog.accept();
        stayedOpen = dialog.result() != QDialog::Accepted && !dialog.nameProblem->isHidden();
        return int{QDialog::Rejected};
    };
    OpenRecordingOptions(t.app);
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(t.app.state.options, before);
}

}  // namespace
}  // namespace quillar::test
