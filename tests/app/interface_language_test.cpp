// The window in English: no Chinese character left on screen (the user's own items and paths
// aside), every text within its control at its fixed size, and a session behaving as it does in
// Chinese. The Chinese texts as written are checked by the main window's own tests, which run
// without a translation.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <cmath>
#include <functional>

#include "app/settings.h"
#include "app/startup.h"
#include "items/item_file.h"
#include "kit/help_window.h"
#include "kit/ui_language.h"
#include "kit/ui_seam.h"
#include "playback/audition.h"
#include "record/recording_control.h"
#include "record/status_display.h"
#include "record/take_replacement.h"
#include "support/item_lines.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

bool isChinese(char32_t c) {
    return (c >= 0x3000 && c <= 0x303F) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFF00 && c <= 0xFFEF) || (c >= 0x20000 && c <= 0x3FFFF);
}

bool hasChinese(const QString& text) {
    for (const char32_t c : text.toUcs4()) {
        if (isChinese(c)) {
            return true;
        }
    }
    return false;
}

// Controls whose text is the user's: items, paths, the recording's name.
bool holdsUserData(const QWidget* w) {
    static const QStringList kNames = {u"编辑框_保存路径"_s, u"编辑框_录音文本源路径"_s,
                                       u"编辑框_当前录音文本"_s, u"编辑框_当前录音文件"_s,
                                       u"列表框_录音文本列表"_s};
    return kNames.contains(w->objectName());
}

// A push button's text that fills its button edge to edge reads as cut off: it keeps this much
// of the button's contents free, in pixels, half on either side.
constexpr int kButtonTextMargin = 6;

// One line of text as a control shows it, the width it has for it and the margin it must keep.
struct Shown {
    QString control;
    QString line;
    int textWidth;
    int room;
    int margin = 0;
};

void addLines(std::vector<Shown>* out, const QWidget* w, const QString& text, int room,
              int margin = 0) {
    QString plain = text;
    plain.remove(u'\r');
    for (const QString& line : plain.split(u'\n')) {
        out->push_back(
            {w->objectName(), line, w->fontMetrics().horizontalAdvance(line), room, margin});
    }
}

// Every text of the window's controls, shown or hidden for now (a hidden warning shows later).
std::vector<Shown> shownTexts(const QWidget& root) {
    std::vector<Shown> out;
    for (const QWidget* w : root.findChildren<QWidget*>()) {
        if (holdsUserData(w) || w->objectName().isEmpty()) {
            continue;
        }
        QStyle* style = w->style();
        if (const auto* b = qobject_cast<const QAbstractButton*>(w)) {
            QStyleOptionButton o;
            o.initFrom(b);
            o.rect = b->rect();
            const bool push = qobject_cast<const QPushButton*>(w) != nullptr;
            const QStyle::SubElement e = push ? QStyle::SE_PushButtonContents
                                         : w->inherits("QRadioButton")
                                             ? QStyle::SE_RadioButtonContents
                                             : QStyle::SE_CheckBoxContents;
            addLines(&out, w, b->text(), style->subElementRect(e, &o, b).width(),
                     push ? kButtonTextMargin : 0);
        } else if (const auto* l = qobject_cast<const QLabel*>(w)) {
            addLines(&out, w, l->text(), l->contentsRect().width());
        } else if (const auto* e = qobject_cast<const QLineEdit*>(w)) {
            const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, e);
            const QMargins m = e->textMargins();
            addLines(&out, w, e->text(), e->width() - 2 * frame - 4 - m.left() - m.right());
        } else if (const auto* g = qobject_cast<const QGroupBox*>(w)) {
            addLines(&out, w, g->title(), g->width() - 16);
        } else if (const auto* c = qobject_cast<const QComboBox*>(w)) {
            QStyleOptionComboBox o;
            o.initFrom(c);
            o.rect = c->rect();
            o.frame = true;
            const int room =
                style->subControlRect(QStyle::CC_ComboBox, &o, QStyle::SC_ComboBoxEditField, c)
                    .width();
            for (int i = 0; i < c->count(); ++i) {
                addLines(&out, w, c->itemText(i), room);
            }
        }
    }
    return out;
}

// Fails for each line wider than its control and, in English, for each Chinese character.
void expectFitting(const QWidget& window, const char* when, bool english) {
    SCOPED_TRACE(when);
    EXPECT_FALSE(english && hasChinese(window.windowTitle())) << window.windowTitle().toStdString();
    for (const Shown& s : shownTexts(window)) {
        EXPECT_FALSE(english && hasChinese(s.line))
            << s.control.toStdString() << ": \"" << s.line.toStdString() << "\"";
        EXPECT_LE(s.textWidth + s.margin, s.room)
            << s.control.toStdString() << ": \"" << s.line.toStdString() << "\" is cut off"
            << (s.margin > 0 ? " or fills its button to the edges" : "");
    }
}

void expectEnglishAndFitting(const QWidget& window, const char* when) {
    expectFitting(window, when, true);
}

class EnglishInterface : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(translator.load(u":/i18n/quillar_en.qm"_s));
        QCoreApplication::installTranslator(&translator);
        SetSettingsFolder(dir.path());
        t = std::make_unique<TestApp>();
        t->sim.setSignal([](int channel, std::int64_t frame) {
            return 0.5 * std::sin(0.05 * static_cast<double>(frame) + channel);
        });
        OnMainWindowCreated(t->app);
    }
    void TearDown() override {
        OnMainWindowDestroyed(t->app);
        t.reset();
        SetSettingsFolder(QString());
        QCoreApplication::removeTranslator(&translator);
    }
    void loadItems(const QString& lines) { LoadItemLines(t->app, dir, lines); }
    void press(int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(t->form.列表框_录音文本列表, &event);
    }
    MainForm& f() { return t->form; }

    QTranslator translator;
    QTemporaryDir dir;
    std::unique_ptr<TestApp> t;
};

TEST_F(EnglishInterface, IdleWindowIsEnglishAndEveryTextFits) {
    expectEnglishAndFitting(f(), "idle");
    EXPECT_EQ(f().按钮1->text(), u"Record"_s);
    EXPECT_EQ(f().组合框2->itemText(4), u"44100 Hz (CD quality)"_s);
    EXPECT_EQ(f().组合框2->itemData(4).toInt(), 44100) << "values stay what they were";
    for (const QWidget* w : {f().标签_削波警告, f().标签_录音保护, f().标签_暂存提示}) {
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    }
}

TEST_F(EnglishInterface, SessionFromTheKeyboardStaysEnglishAndKeepsItsFileNames) {
    // No auto-save folder: the second Enter cannot save, and says so in English.
    loadItems(u"水\r\n"_s);
    press(Qt::Key_Return);
    t->sim.pumpCaptureBlock();
    OnStatusTick(t->app);
    EXPECT_EQ(f().按钮1->text(), u"Stop"_s);
    EXPECT_EQ(f().编辑框1->text(), u"Recording"_s);
    expectEnglishAndFitting(f(), "recording");

    f().按钮4->click();
    EXPECT_EQ(f().按钮4->text(), u"Resume"_s);
    EXPECT_EQ(f().编辑框1->text(), u"Paused"_s);
    expectEnglishAndFitting(f(), "paused");
    f().按钮4->click();

    t->sim.pumpCaptureBlock();
    press(Qt::Key_Return);
    EXPECT_EQ(t->app.state.recording_state, RecordingState::Idle);
    EXPECT_EQ(f().按钮1->text(), u"Record"_s);
    ASSERT_EQ(t->ui.messages.size(), 1u);
    EXPECT_EQ(t->ui.messages[0].title, u"Quillar"_s);
    EXPECT_TRUE(t->ui.messages[0].text.startsWith(u"No auto-save folder is set"_s))
        << t->ui.messages[0].text.toStdString();
    EXPECT_FALSE(hasChinese(QString(t->ui.messages[0].text).remove(u"水"_s)))
        << t->ui.messages[0].text.toStdString();
    expectEnglishAndFitting(f(), "after the failed save");

    ToggleAudition(t->app);
    EXPECT_EQ(f().按钮2->text(), u"Stop"_s);
    EXPECT_EQ(f().编辑框1->text(), u"Listening"_s);
    expectEnglishAndFitting(f(), "listening");
    ToggleAudition(t->app);

    // With a folder, the pending take is saved under the item's own name, as in Chinese.
    const QString folder = dir.filePath(u"录音"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    f().编辑框_保存路径->setText(folder);
    press(Qt::Key_Return);
    t->sim.pumpCaptureBlock();
    press(Qt::Key_Return);
    EXPECT_TRUE(QFile::exists(folder + u"/水.wav"_s));
    EXPECT_FALSE(hasChinese(f().标签_录音质量->text())) << f().标签_录音质量->text().toStdString();
}

// Messages put together from pieces (the device lost, then what became of the take; why a take
// stopped, then where it is) read as sentences: a space after each, no Chinese punctuation.
TEST_F(EnglishInterface, MessagesJoinedFromPiecesReadAsSentences) {
    struct Case {
        const char* name;
        QString folder;  // the auto-save folder
        std::function<void()> start;
        std::int64_t frames;  // captured before the end
        std::function<void()> end;
        QString joined;  // where two pieces meet
    };
    const QString folder = dir.filePath(u"takes"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto enter = [this] { press(Qt::Key_Return); };
    const auto button = [this] { f().按钮1->click(); };
    const auto lost = [this] {
        t->sim.loseCapture();
        QCoreApplication::processEvents();
    };
    const auto lowMemory = [this] { StopAtLowMemory(t->app); };
    const Case cases[] = {
        {"lost device, the take saved", folder, enter, 4410, lost, u"stopped. What had"_s},
        {"lost device, nothing recorded", folder, enter, 0, lost, u"stopped. Nothing had"_s},
        {"lost device, the take in memory", folder, button, 4410, lost, u"stopped. What had"_s},
        {"low memory", folder, button, 4410, lowMemory, u"stopped. What was"_s},
        {"lost device, no folder to save to", QString(), enter, 4410, lost,
         u"stopped. No auto-save"_s},
    };
    loadItems(u"水\r\n"_s);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        t->ui.messages.clear();
        f().编辑框_保存路径->setText(c.folder);
        c.start();
        t->sim.pumpCapture(c.frames);
        c.end();
        ASSERT_EQ(t->ui.messages.size(), 1u);
        const QString text = t->ui.messages[0].text;
        EXPECT_TRUE(text.contains(c.joined)) << text.toStdString();
        const QString outsidePaths =
            QString(text).remove(QRegularExpression(u"\\S*/\\S*"_s)).remove(u"水"_s);
        EXPECT_FALSE(hasChinese(outsidePaths)) << text.toStdString();
        EXPECT_FALSE(outsidePaths.contains(QRegularExpression(u"[a-z)][.!?;:,][A-Za-z]"_s)))
            << text.toStdString();
        if (TakeRunning(t->app)) {
            enter();
        }
    }
}

TEST_F(EnglishInterface, HelpWindowIsEnglishButForTheEarlierTakesFolderItNames) {
    HelpWindow help(&f());
    EXPECT_FALSE(hasChinese(help.windowTitle()));
    const QString text = helpText();
    EXPECT_TRUE(text.contains(kEarlierTakesFolder)) << "the folder keeps its real name";
    EXPECT_FALSE(hasChinese(QString(text).remove(kEarlierTakesFolder))) << text.toStdString();
}

// Qt's own buttons (the seam's real question box, and the OK and Cancel of its dialogs) speak the
// interface's language, with Qt's translation installed as the program installs it.
TEST(QtTexts, FollowTheInterfaceLanguage) {
    struct Case {
        UiLanguage language;
        QString yes, no, ok, cancel;  // as shown, without the shortcut's mark
    };
    const Case cases[] = {
        {UiLanguage::Chinese, u"是(Y)"_s, u"否(N)"_s, u"确定"_s, u"取消"_s},
        {UiLanguage::English, u"Yes"_s, u"No"_s, u"OK"_s, u"Cancel"_s},
    };
    const auto shown = [](const QAbstractButton* b) {
        return b != nullptr ? QString(b->text()).remove(u'&') : u"(none)"_s;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.yes.toStdString());
        QCoreApplication& app = *QCoreApplication::instance();
        ASSERT_TRUE(InstallQtLanguage(app, c.language));
        QString yes, no;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            yes = shown(box->button(QMessageBox::Yes));
            no = shown(box->button(QMessageBox::No));
            box->button(QMessageBox::No)->click();
        });
        QtUi ui;
        EXPECT_FALSE(ui.confirm(nullptr, u"系统提示"_s, u"确定要退出吗？"_s));
        EXPECT_EQ(yes, c.yes);
        EXPECT_EQ(no, c.no);
        const QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        EXPECT_EQ(shown(buttons.button(QDialogButtonBox::Ok)), c.ok);
        EXPECT_EQ(shown(buttons.button(QDialogButtonBox::Cancel)), c.cancel);
        for (QTranslator* installed : app.findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(installed);
            delete installed;
        }
    }
}

TEST(ChineseInterface, EveryTextAsWrittenFitsItsControl) {
    TestApp t;
    expectFitting(t.form, "idle", false);
}

}  // namespace
}  // namespace quillar::test
