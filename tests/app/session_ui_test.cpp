// The session from the window: the dialog from its button and F7 between takes, its file in the
// auto-save folder, and the file read again when the folder is set.
#include "app/session_ui.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include "kit/main_form.h"
#include "kit/session_dialog.h"
#include "record/recording_control.h"
#include "session/session.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

Session chosen() {
    Session s;
    s.speaker.code = u"S01"_s;
    s.speaker.name = u"王五"_s;
    s.speaker.languages = {u"cmn"_s, u"wuu"_s};
    s.site.place = u"上海市金山区"_s;
    s.site.latitude = 30.74;
    s.fieldworker = u"李四"_s;
    s.consent = u"given"_s;
    return s;
}

class SessionUi : public ::testing::Test {
  protected:
    void SetUp() override {
        t.form.组合框1->addItem(u"Simulated input"_s, 0);
        t.form.组合框1->setCurrentIndex(0);
        t.form.编辑框_保存路径->setText(dir.path());
    }
    // The user's answer: these values, then OK, as a person presses it.
    void answerWith(const Session& s) {
        t.ui.modalAnswer = [s](QDialog& d) {
            auto& dialog = dynamic_cast<SessionDialog&>(d);
            dialog.setSession(s);
            dialog.ok->click();
            return dialog.result();
        };
    }
    QString file() const { return dir.filePath(u"quillar-session.json"_s); }

    QTemporaryDir dir;
    TestApp t;
};

TEST_F(SessionUi, OkKeepsTheSessionAndWritesItIntoTheFolder) {
    answerWith(chosen());
    t.form.按钮_录音场次->click();
    EXPECT_EQ(t.ui.modalTitles, QStringList{u"录音场次"_s});
    ASSERT_TRUE(t.app.state.session.has_value());
    EXPECT_EQ(*t.app.state.session, chosen());
    EXPECT_EQ(readSessionFile(file()).session, chosen());
    EXPECT_TRUE(t.ui.messages.empty());

    // F7 on the item list shows it again as kept, the device and today with it; cancel
    // changes nothing.
    Session shown;
    QString recordedBy;
    t.ui.modalAnswer = [&](QDialog& d) {
        auto& dialog = dynamic_cast<SessionDialog&>(d);
        shown = dialog.session();
        recordedBy = dialog.recordedBy->text();
        dialog.speakerCode->setText(u"S99"_s);
        return int{QDialog::Rejected};
    };
    QTest::keyClick(t.form.列表框_录音文本列表, Qt::Key_F7);
    EXPECT_EQ(t.ui.modalTitles.size(), 2);
    EXPECT_EQ(shown, chosen());
    EXPECT_TRUE(recordedBy.contains(u"Simulated input"_s));
    EXPECT_TRUE(recordedBy.contains(QDate::currentDate().toString(Qt::ISODate)));
    EXPECT_EQ(*t.app.state.session, chosen());
    EXPECT_EQ(readSessionFile(file()).session, chosen());
}

TEST_F(SessionUi, NeverOpensDuringATake) {
    answerWith(chosen());
    ToggleRecording(t.app);
    ASSERT_TRUE(TakeRunning(t.app));
    t.form.按钮_录音场次->click();
    QTest::keyClick(t.form.列表框_录音文本列表, Qt::Key_F7);
    EXPECT_TRUE(t.ui.modalTitles.isEmpty());
    EXPECT_FALSE(t.app.state.session.has_value());
    EXPECT_FALSE(QFile::exists(file()));
    ToggleRecording(t.app);
}

TEST_F(SessionUi, AValueOkRefusesIsNeitherKeptNorWritten) {
    Session wrong = chosen();
    wrong.site.latitude = 123.0;  // the dialog would refuse it typed; shown, it refuses it too
    QString said;
    t.ui.modalAnswer = [&](QDialog& d) {
        auto& dialog = dynamic_cast<SessionDialog&>(d);
        dialog.setSession(wrong);
        dialog.ok->click();
        said = dialog.message->text();
        return dialog.result();
    };
    OpenSessionDialog(t.app);
    EXPECT_TRUE(said.contains(u"纬度"_s)) << said.toStdString();
    EXPECT_FALSE(t.app.state.session.has_value());
    EXPECT_FALSE(QFile::exists(file()));
    EXPECT_TRUE(t.ui.messages.empty());  // said inside the dialog, not in a box of its own

    // An answer that reports OK without the dialog's own OK is held to the same rule.
    t.ui.modalAnswer = [&](QDialog& d) {
        dynamic_cast<SessionDialog&>(d).setSession(wrong);
        return int{QDialog::Accepted};
    };
    OpenSessionDialog(t.app);
    EXPECT_FALSE(t.app.state.session.has_value());
}

TEST_F(SessionUi, WithoutAFolderOrAWritableFileTheSessionHoldsAndAWarningSaysSo) {
    struct Case {
        const char* name;
        QString folder;
        bool namesFile;
    };
    const Case cases[] = {
        {"no folder", QString(), false},
        {"blank folder", u" \t"_s, false},
        {"folder gone", dir.filePath(u"拔掉的U盘"_s), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        t.ui.messages.clear();
        t.app.state.session.reset();
        t.form.编辑框_保存路径->setText(c.folder);
        answerWith(chosen());
        OpenSessionDialog(t.app);
        EXPECT_EQ(t.app.state.session, chosen());
        ASSERT_EQ(t.ui.messages.size(), 1u);
        EXPECT_EQ(t.ui.messages[0].icon, MessageIcon::Warning);
        if (c.namesFile) {
            EXPECT_TRUE(t.ui.messages[0].text.contains(
                QDir::toNativeSeparators(c.folder + u"/quillar-session.json"_s)));
        }
    }
}

TEST_F(SessionUi, KeysThatNoFieldShowsSurviveTheDialog) {
    QFile out(file());
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(
        R"({"fieldworker": "李四", "project": "吴语词汇", "speaker": {"code": "S01", "dialect_area": "太湖片"}})");
    out.close();
    LoadFolderSession(t.app);
    ASSERT_TRUE(t.app.state.session.has_value());
    Session changed = *t.app.state.session;
    changed.notes = u"重录了第 3 条"_s;
    t.ui.modalAnswer = [&](QDialog& d) {
        auto& dialog = dynamic_cast<SessionDialog&>(d);
        dialog.notes->setPlainText(changed.notes);
        dialog.ok->click();
        return dialog.result();
    };
    OpenSessionDialog(t.app);
    const SessionRead back = readSessionFile(file());
    ASSERT_TRUE(back.session.has_value()) << back.error.toStdString();
    EXPECT_EQ(*back.session, changed);
    EXPECT_EQ(back.session->original.value(u"project"_s).toString(), u"吴语词汇"_s);
    EXPECT_EQ(parseSession(sessionJson(*back.session)).session, changed);
    EXPECT_TRUE(QString::fromUtf8(sessionJson(*back.session)).contains(u"太湖片"_s));
}

TEST_F(SessionUi, TheFolderSessionIsReadWhenTheFolderIsSet) {
    struct Case {
        const char* name;
        std::optional<QByteArray> content;  // none: no file
        bool session;
        QString said;  // in the one message, empty for none
    };
    const Case cases[] = {
        {"no file", std::nullopt, false, {}},
        {"a session", R"({"fieldworker": "李四", "consent": "given"})", true, {}},
        {"broken on line 3", "{\n  \"fieldworker\": \"李四\",\n  \"consent\" \"given\"\n}", false,
         u"第 3 行"_s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        if (c.content) {
            QFile out(folder.filePath(u"quillar-session.json"_s));
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(*c.content);
        }
        t.ui.messages.clear();
        t.app.state.session = chosen();  // the session of the folder left
        t.ui.folderAnswers.push_back(folder.path());
        t.form.按钮_设置保存路径->click();
        ASSERT_EQ(t.form.编辑框_保存路径->text(), folder.path());
        EXPECT_EQ(t.app.state.session.has_value(), c.session);
        if (c.session) {
            EXPECT_EQ(t.app.state.session->fieldworker, u"李四"_s);
        }
        ASSERT_EQ(t.ui.messages.size(), c.said.isEmpty() ? 0u : 1u);
        if (!c.said.isEmpty()) {
            EXPECT_TRUE(t.ui.messages[0].text.contains(c.said))
                << t.ui.messages[0].text.toStdString();
        }
    }
}

TEST_F(SessionUi, AFolderTypedIntoItsBoxBringsItsSession) {
    QTemporaryDir folder;
    Session s = chosen();
    QString error;
    ASSERT_TRUE(writeSessionFile(folder.filePath(u"quillar-session.json"_s), s, &error));
    QLineEdit* box = t.form.编辑框_保存路径;
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, folder.path());
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(t.app.state.session, s);
}

}  // namespace
}  // namespace quillar::test
