// The dialog "录音场次": it gives back what it was shown, keys it has no field for included, and
// OK refuses, inside the dialog, values the session file cannot hold.
#include "kit/session_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <functional>

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

Session fullSession() {
    Session s;
    s.speaker = {u"老男"_s, u"张三"_s, u"male"_s, 1952, u"主要发音人"_s, {u"wuu"_s, u"cmn"_s}};
    s.site = {u"ZJ-KQ"_s, u"浙江省绍兴市柯桥区"_s, 30.0833, 120.4937};
    s.fieldworker = u"李四"_s;
    s.consent = u"given"_s;
    s.notes = u"第二天下午录，窗外有鸡叫。"_s;
    s.original = QJsonObject{{u"project"_s, u"吴语词汇"_s}, {u"fieldworker"_s, u"李四"_s}};
    return s;
}

TEST(SessionDialog, GivesBackWhatItShowsWithTheKeysItHasNoFieldFor) {
    std::vector<Session> sessions{Session{}, fullSession()};
    // Values written by hand or another program: kept as they were.
    Session odd = fullSession();
    odd.speaker.sex = u"F"_s;
    odd.consent = u"口头同意，录在第一条里"_s;
    odd.site.latitude = -33.8688;
    odd.site.longitude = std::nullopt;
    odd.speaker.birthYear = std::nullopt;
    odd.speaker.languages.clear();
    sessions.push_back(odd);
    for (const Session& s : sessions) {
        SessionDialog dialog;
        dialog.setSession(s);
        const Session back = dialog.session();
        EXPECT_EQ(back, s) << s.speaker.code.toStdString();
        EXPECT_EQ(back.original, s.original);
        EXPECT_TRUE(dialog.problem().isEmpty());
    }
}

TEST(SessionDialog, ConsentIsAChoiceOrTheFieldworkersWords) {
    struct Case {
        const char* name;
        std::function<void(SessionDialog&)> answer;
        QString stored;
    };
    const Case cases[] = {
        {"given", [](SessionDialog& d) { d.consent->setCurrentIndex(0); }, u"given"_s},
        {"not given", [](SessionDialog& d) { d.consent->setCurrentIndex(1); }, u"not given"_s},
        {"own words", [](SessionDialog& d) { d.consent->setEditText(u" 口头同意 "_s); },
         u"口头同意"_s},
        {"typed choice", [](SessionDialog& d) { d.consent->setEditText(u"未同意"_s); },
         u"not given"_s},
        {"nothing", [](SessionDialog& d) { d.consent->setEditText(QString()); }, QString()},
    };
    for (const Case& c : cases) {
        SessionDialog dialog;
        c.answer(dialog);
        EXPECT_EQ(dialog.session().consent, c.stored) << c.name;
    }
    // Shown again, a stored choice is the choice.
    SessionDialog dialog;
    Session s;
    s.consent = u"not given"_s;
    dialog.setSession(s);
    EXPECT_EQ(dialog.consent->currentIndex(), 1);
}

TEST(SessionDialog, OkRefusesWhatTheFileCannotHoldAndSaysWhyInside) {
    struct Case {
        const char* field;
        QString text;
        bool right;
    };
    const int thisYear = QDate::currentDate().year();
    const Case cases[] = {
        {"languages", u"cmn, wuu"_s, true},
        {"languages", u"cmn wuu，yue"_s, true},
        {"languages", u""_s, true},
        {"languages", u"cmn, WUU"_s, false},
        {"languages", u"zh"_s, false},
        {"languages", u"cmn, zh-CN"_s, false},
        {"birthYear", u""_s, true},
        {"birthYear", u"1900"_s, true},
        {"birthYear", QString::number(thisYear), true},
        {"birthYear", u"1899"_s, false},
        {"birthYear", QString::number(thisYear + 1), false},
        {"birthYear", u"19五二"_s, false},
        {"latitude", u"-90"_s, true},
        {"latitude", u"31,23"_s, true},
        {"latitude", u"90.01"_s, false},
        {"latitude", u"北纬31"_s, false},
        {"latitude", u"nan"_s, false},
        {"longitude", u"-180"_s, true},
        {"longitude", u"121.47"_s, true},
        {"longitude", u"180.5"_s, false},
        {"longitude", u"inf"_s, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " = " + c.text.toStdString());
        SessionDialog dialog;
        auto* field = dialog.findChild<QLineEdit*>(QString::fromLatin1(c.field));
        ASSERT_NE(field, nullptr);
        field->setText(c.text);
        dialog.show();
        dialog.ok->click();
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.right);
        EXPECT_EQ(dialog.problem().isEmpty(), c.right);
        EXPECT_EQ(dialog.message->isVisible(), !c.right);
        if (!c.right) {
            EXPECT_FALSE(dialog.message->text().isEmpty());
            EXPECT_TRUE(dialog.isVisible());  // still open, to be put right
            EXPECT_TRUE(field->hasFocus() || !dialog.isActiveWindow());
        }
    }
}

TEST(SessionDialog, ShowsTheDayAndTheDeviceAsRecordedByThemselves) {
    SessionDialog dialog;
    dialog.setRecordedBy(QDate(2026, 12, 10), u"USB 麦克风"_s);
    EXPECT_TRUE(dialog.recordedBy->isReadOnly());
    EXPECT_TRUE(dialog.recordedBy->text().contains(u"2026-12-10"_s));
    EXPECT_TRUE(dialog.recordedBy->text().contains(u"USB 麦克风"_s));
    // The latest birth year follows the day the dialog is given.
    dialog.birthYear->setText(u"2026"_s);
    EXPECT_TRUE(dialog.problem().isEmpty());
    dialog.birthYear->setText(u"2027"_s);
    EXPECT_FALSE(dialog.problem().isEmpty());
}

}  // namespace
}  // namespace quillar::test
