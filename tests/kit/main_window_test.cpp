// The main window as built from its layout table: every control with its class, container,
// geometry, text and look, the initial states, the combo items, the dialogs and the help window.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <optional>

#include "kit/control_table.h"
#include "kit/drawing_board.h"
#include "kit/help_window.h"
#include "kit/main_form.h"
#include "kit/shape_box.h"
#include "support/test_app.h"

// Rows name only what differs from the defaults.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace quillar::test {
namespace {

// What a user sees of one control, written out independently of the layout table.
struct Expected {
    const char* name;
    const char* qtClass;
    const char* container;
    QRect geometry;               // empty for the invisible kinds (timers, player)
    std::optional<QString> text;  // none: our own credits, checked on their own
    int fontPixels = kDefaultFontPixels;
    bool bold = false;
    std::optional<QColor> background;  // labels without one are transparent
    std::optional<QColor> foreground;
    bool hidden = false;
    bool disabled = false;
};

const QColor kGreen(128, 224, 0);
const QColor kGrey(236, 236, 236);
const QRect kNone;

// clang-format off
const Expected kControls[] = {
    {"按钮_帮助", "QPushButton", "main window", {992, -1, 48, 24}, "帮助"},
    {"按钮_录音选项", "QPushButton", "main window", {920, -1, 70, 24}, "录音选项"},
    {"按钮_录音场次", "QPushButton", "main window", {848, -1, 70, 24}, "录音场次"},
    {"标签10", "QLabel", "main window", {2, 672, 1016, 24}, std::nullopt, 12, false, {}, QColor(0, 0, 0)},
    {"分组框1", "QGroupBox", "main window", {8, 8, 304, 664}, "录音设置"},
    {"分组框2", "QGroupBox", "main window", {320, 9, 712, 663}, ""},
    {"标签1", "QLabel", "分组框1", {16, 16, 56, 32}, "录音设备"},
    {"组合框1", "QComboBox", "分组框1", {72, 22, 208, 20}, ""},
    {"标签2", "QLabel", "分组框1", {16, 48, 56, 32}, "录音质量"},
    {"组合框2", "QComboBox", "分组框1", {72, 54, 208, 20}, "44100 Hz（CD光盘音质）"},
    {"标签3", "QLabel", "分组框1", {16, 80, 56, 32}, "输出功率"},
    {"组合框3", "QComboBox", "分组框1", {88, 86, 72, 20}, "16 Bit"},
    {"选择框1", "QCheckBox", "分组框1", {171, 83, 104, 24}, "实时回放录音"},
    {"分组框6", "QGroupBox", "分组框1", {8, 107, 280, 48}, "", 10},
    {"单选框1", "QRadioButton", "分组框6", {16, 12, 80, 24}, "波浪频谱图"},
    {"单选框2", "QRadioButton", "分组框6", {165, 12, 80, 24}, "柱型频谱图"},
    {"标签6", "QLabel", "分组框1", {8, 155, 280, 24}, "录音文件自动保存路径", 12, false, kGreen},
    {"编辑框_保存路径", "QLineEdit", "分组框1", {8, 182, 248, 40}, ""},
    {"按钮_设置保存路径", "QPushButton", "分组框1", {256, 182, 32, 40}, "设置"},
    {"标签7", "QLabel", "分组框1", {8, 227, 280, 24}, "录音内容源文件（支持ANSI和UTF-8两种编码）", 12, false, kGreen},
    {"编辑框_录音文本源路径", "QLineEdit", "分组框1", {8, 252, 248, 39}, ""},
    {"按钮_选择录音文本", "QPushButton", "分组框1", {256, 251, 32, 40}, "选择"},
    {"按钮_保存当前配置", "QPushButton", "分组框1", {192, 291, 96, 24}, "保存当前配置"},
    {"标签8", "QLabel", "分组框1", {8, 292, 80, 24}, "录音文本列表", 12, false, kGreen},
    {"标签_录音进度", "QLabel", "分组框1", {90, 292, 100, 24}, "0 / 0"},
    {"列表框_录音文本列表", "QListWidget", "分组框1", {8, 316, 280, 316}, ""},
    {"标签5", "QLabel", "分组框1", {8, 634, 288, 24},
     "确保焦点在列表，按回车键录音，再按回车自动保存。\r\n按CTRL 键可以播放当前选中的录音。",
     12, false, {}, QColor(255, 0, 0)},
    {"分组框5", "QGroupBox", "分组框2", {8, 8, 688, 263}, ""},
    {"编辑框_当前录音文本", "quillar::LargeTypeBox", "分组框5", {8, 10, 672, 245}, "", 48, true},
    {"标签_自动录音", "QLabel", "分组框5", {16, 228, 300, 22}, "", 12, false, QColor(0, 96, 0), QColor(255, 255, 255), true},
    {"分组框7", "QGroupBox", "分组框2", {8, 274, 688, 48}, ""},
    {"标签9", "QLabel", "分组框7", {8, 16, 88, 24}, "已有录音文件："},
    {"编辑框_当前录音文件", "QLineEdit", "分组框7", {96, 11, 512, 32}, ""},
    {"进度条1", "QProgressBar", "分组框7", {96, 32, 512, 16}, "", 12, false, {}, {}, true},
    {"媒体播放1", "quillar::MediaPlayer", "分组框7", kNone, ""},
    {"按钮_播放录音", "QPushButton", "分组框7", {624, 11, 56, 32}, "播放", 12, false, {}, {}, false, true},
    {"分组框8", "QGroupBox", "分组框2", {8, 320, 688, 144}, ""},
    {"外形框1", "quillar::ShapeBox", "分组框8", {8, 13, 672, 123}, "", 12, false, kGrey},
    {"画板3", "quillar::DrawingBoard", "外形框1", {8, 0, 664, 91}, "", 12, false, QColor(0, 96, 192)},
    {"画板4", "quillar::DrawingBoard", "画板3", {16, 4, 640, 15}, "", 12, false, QColor(0, 0, 128), {}, true},
    {"标签_录音质量", "QLabel", "画板3", {8, 73, 648, 18}, "", 12, false, QColor(0, 48, 96), QColor(255, 255, 255), true},
    {"画板5", "quillar::DrawingBoard", "外形框1", {8, 91, 672, 27}, "", 12, false, kGreen},
    {"标签_指针", "QLabel", "外形框1", {3, 88, 10, 10}, "▲", 12, false, {}, QColor(0, 255, 0), true},
    {"外形框2", "quillar::ShapeBox", "分组框8", {16, 13, 1, 90}, "", 12, false, QColor(0, 0, 0)},
    {"分组框4", "QGroupBox", "分组框2", {8, 463, 688, 48}, ""},
    {"按钮1", "QPushButton", "分组框4", {16, 11, 100, 32}, "开始录音", 16},
    {"按钮4", "QPushButton", "分组框4", {192, 11, 100, 32}, "暂停录音", 16, false, {}, {}, false, true},
    {"按钮2", "QPushButton", "分组框4", {368, 11, 100, 32}, "试听录音", 16, false, {}, {}, false, true},
    {"按钮3", "QPushButton", "分组框4", {560, 11, 100, 32}, "保存录音", 16, false, {}, {}, false, true},
    {"分组框3", "QGroupBox", "分组框2", {8, 507, 688, 152}, ""},
    {"画板2", "quillar::DrawingBoard", "分组框3", {8, 13, 672, 104}, "", 12, false, QColor(0, 0, 128)},
    {"标签4", "QLabel", "画板2", {8, 40, 80, 24}, "等待录音中", 12, false, QColor(0, 0, 0), QColor(255, 255, 255)},
    {"标签_削波警告", "QLabel", "画板2", {440, 8, 224, 30}, " 削波！录音音量过大", 18, true, QColor(220, 0, 0), QColor(255, 255, 255), true},
    {"标签_日志提示", "QLabel", "画板2", {8, 78, 656, 22}, "", 12, false, QColor(0, 0, 0), QColor(255, 96, 96), true},
    {"标签_录音保护", "QLabel", "画板2", {440, 44, 224, 20}, "本次录音未受保护：无法写入恢复文件", 12, false, QColor(192, 0, 0), QColor(255, 255, 255), true},
    {"标签_暂存提示", "QLabel", "画板2", {8, 4, 428, 34}, "", 12, false, QColor(192, 0, 0), QColor(255, 255, 255), true},
    {"时钟1", "QTimer", "画板2", kNone, ""},
    {"时钟2", "QTimer", "画板2", kNone, ""},
    {"时钟3", "QTimer", "画板2", kNone, ""},
    {"时钟_暂存", "QTimer", "画板2", kNone, ""},
    {"标签_声音服务", "QLabel", "画板2", {96, 40, 340, 24}, "", 12, false, QColor(192, 0, 0), QColor(255, 255, 255), true},
    {"时钟_录音收尾", "QTimer", "画板2", kNone, ""},
    {"标签_播放提示", "QLabel", "画板2", {8, 40, 180, 24}, "录音中不能播放", 12, false, QColor(0, 0, 0), QColor(255, 200, 0), true},
    {"时钟_电平", "QTimer", "画板2", kNone, ""},
    {"画板1", "quillar::DrawingBoard", "分组框3", {8, 112, 672, 32}, "", 12, false, kGrey},
    {"编辑框1", "QLineEdit", "画板1", {1, 5, 80, 24}, "停止中", 12, false, QColor(255, 255, 255), kGreen},
    {"编辑框2", "QLineEdit", "画板1", {81, 5, 224, 24}, "录制时间:00:00:00"},
    {"编辑框3", "QLineEdit", "画板1", {305, 6, 224, 24}, "每帧大小 0 字节"},
    {"编辑框4", "QLineEdit", "画板1", {529, 6, 136, 24}, "文件大小 0 字节"},
};
// clang-format on

// The two dialogs keep their set-up as values, not objects; every other row is an object.
constexpr int kDialogCount = 2;

QString textOf(const QObject* o) {
    if (auto* b = qobject_cast<const QAbstractButton*>(o)) {
        return b->text();
    }
    if (auto* l = qobject_cast<const QLabel*>(o)) {
        return l->text();
    }
    if (auto* e = qobject_cast<const QLineEdit*>(o)) {
        return e->text();
    }
    if (auto* g = qobject_cast<const QGroupBox*>(o)) {
        return g->title();
    }
    if (auto* c = qobject_cast<const QComboBox*>(o)) {
        return c->currentText();
    }
    return QString();
}

std::optional<QColor> backgroundOf(const QWidget* w) {
    if (auto* board = qobject_cast<const DrawingBoard*>(w)) {
        return board->background();
    }
    if (auto* shape = qobject_cast<const ShapeBox*>(w)) {
        return shape->colour();
    }
    if (qobject_cast<const QLineEdit*>(w)) {
        return w->palette().color(QPalette::Base);
    }
    if (!w->autoFillBackground()) {
        return std::nullopt;
    }
    return w->palette().color(QPalette::Window);
}

class MainWindowTest : public ::testing::Test {
  protected:
    TestApp t;
};

TEST_F(MainWindowTest, EveryControlHasItsClassContainerGeometryTextAndLook) {
    ASSERT_EQ(mainWindowControls().size(), 71u);
    ASSERT_EQ(std::size(kControls) + kDialogCount, 71u);
    for (const Expected& e : kControls) {
        SCOPED_TRACE(e.name);
        QObject* o = t.form.findChild<QObject*>(QString::fromUtf8(e.name));
        ASSERT_NE(o, nullptr);
        EXPECT_STREQ(o->metaObject()->className(), e.qtClass);
        ASSERT_NE(o->parent(), nullptr);
        EXPECT_EQ(o->parent()->objectName(), QString::fromUtf8(e.container));
        if (e.text) {
            EXPECT_EQ(textOf(o), *e.text);
        }
        auto* w = qobject_cast<QWidget*>(o);
        if (!w) {
            continue;
        }
        EXPECT_EQ(w->geometry(), e.geometry);
        EXPECT_EQ(w->font().pixelSize(), e.fontPixels);
        EXPECT_EQ(w->font().bold(), e.bold);
        EXPECT_EQ(w->isHidden(), e.hidden);
        EXPECT_EQ(w->isEnabled(), !e.disabled);
        if (!qobject_cast<QLineEdit*>(w) || e.background) {
            EXPECT_EQ(backgroundOf(w), e.background);
        }
        if (e.foreground) {
            const QPalette::ColorRole role =
                qobject_cast<QLineEdit*>(w) ? QPalette::Text : QPalette::WindowText;
            EXPECT_EQ(w->palette().color(role), *e.foreground);
        }
    }
}

TEST_F(MainWindowTest, TheCreditsLineAndTheLargeItemFontAreSet) {
    EXPECT_TRUE(t.form.标签10->text().contains("Quillar"));
    EXPECT_TRUE(t.form.windowTitle().startsWith("Quillar V1.1【"));
    EXPECT_TRUE(t.form.windowTitle().endsWith("】"));
    EXPECT_EQ(t.form.编辑框_当前录音文本->font().families().value(0), "微软雅黑");
}

TEST_F(MainWindowTest, WindowHasItsClientSizeAndEveryControlFitsInIt) {
    EXPECT_EQ(t.form.size(), QSize(kMainWindowWidth, kMainWindowHeight));
    // The help button starts one pixel above the client area by design; nothing may end outside.
    for (QWidget* w : t.form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_LE(w->geometry().right(), t.form.width() - 1);
        EXPECT_LE(w->geometry().bottom(), t.form.height() - 1);
    }
}

TEST_F(MainWindowTest, InitialStates) {
    MainForm& f = t.form;
    for (QWidget* w : {static_cast<QWidget*>(f.按钮4), static_cast<QWidget*>(f.按钮2),
                       static_cast<QWidget*>(f.按钮3), static_cast<QWidget*>(f.按钮_播放录音)}) {
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    }
    EXPECT_TRUE(f.按钮1->isEnabled());
    for (QWidget* w : {static_cast<QWidget*>(f.标签_指针), static_cast<QWidget*>(f.画板4),
                       static_cast<QWidget*>(f.进度条1)}) {
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    }
    EXPECT_TRUE(f.单选框2->isChecked());
    EXPECT_FALSE(f.单选框1->isChecked());
    EXPECT_FALSE(f.选择框1->isChecked());
    EXPECT_EQ(f.组合框2->currentIndex(), 4);
    EXPECT_EQ(f.组合框2->currentText(), "44100 Hz（CD光盘音质）");
    EXPECT_EQ(f.组合框3->currentIndex(), 1);
    EXPECT_EQ(f.组合框3->currentText(), "16 Bit");
    EXPECT_EQ(f.组合框1->count(), 0);
    EXPECT_EQ(f.列表框_录音文本列表->count(), 0);
    EXPECT_EQ(f.标签5->text().split("\r\n").size(), 2);
}

TEST_F(MainWindowTest, TimersStartAsDesigned) {
    EXPECT_EQ(intervalOf(t.form.时钟1), 0);
    EXPECT_EQ(intervalOf(t.form.时钟2), 0);
    EXPECT_EQ(intervalOf(t.form.时钟3), 700);
    EXPECT_TRUE(t.form.时钟3->isActive());
}

TEST_F(MainWindowTest, ComboItemsCarryTheirValues) {
    struct Item {
        QComboBox* combo;
        int index;
        const char* text;
        int value;
    };
    const Item items[] = {
        {t.form.组合框2, 0, "8000 Hz（电话通话音质）", 8000},
        {t.form.组合框2, 1, "12000 HZ（AM调幅广播音质）", 12000},
        {t.form.组合框2, 2, "22050 Hz（FM调频广播音质）", 22050},
        {t.form.组合框2, 3, "32000 Hz（MP3播放器音质）", 32000},
        {t.form.组合框2, 4, "44100 Hz（CD光盘音质）", 44100},
        {t.form.组合框2, 5, "48000 Hz（录音室音质）", 48000},
        {t.form.组合框3, 0, "8 Bit", 1},
        {t.form.组合框3, 1, "16 Bit", 0},
        {t.form.组合框3, 2, "32 Bit", 256},
        {t.form.组合框3, 3, "24 Bit", 1024},
    };
    EXPECT_EQ(t.form.组合框2->count(), 6);
    EXPECT_EQ(t.form.组合框3->count(), 4);
    for (const Item& i : items) {
        SCOPED_TRACE(i.text);
        EXPECT_EQ(i.combo->itemText(i.index), QString::fromUtf8(i.text));
        EXPECT_EQ(i.combo->itemData(i.index).toInt(), i.value);
    }
}

TEST_F(MainWindowTest, FileDialogsAreSetUp) {
    const CommonDialog& open = t.form.通用对话框2;
    EXPECT_EQ(open.filter, "TXT文件 (*.txt)");
    EXPECT_EQ(open.defaultExt, "txt");
    EXPECT_TRUE(open.title.isEmpty());
    EXPECT_TRUE(open.initialName.isEmpty());
    EXPECT_TRUE(open.initialDir.isEmpty());

    const CommonDialog& save = t.form.通用对话框1;
    EXPECT_EQ(save.filter, "wav 音频文件 (*.wav)");
    EXPECT_EQ(save.defaultExt, "wav");
    EXPECT_EQ(save.initialName, "Record");
    EXPECT_TRUE(save.title.isEmpty());
    EXPECT_FALSE(save.initialDir.isEmpty());
    EXPECT_TRUE(QDir(save.initialDir).exists());
}

TEST_F(MainWindowTest, ItemListHasTheFocusWhenTheWindowOpens) {
    t.form.show();
    QApplication::setActiveWindow(&t.form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&t.form));
    EXPECT_EQ(QApplication::focusWidget(), t.form.列表框_录音文本列表);
}

TEST_F(MainWindowTest, HelpButtonOpensTheHelpWindowModally) {
    QTest::mouseClick(t.form.按钮_帮助, Qt::LeftButton);
    EXPECT_EQ(t.ui.modalTitles, QStringList{"软件操作帮助"});
    QTest::mouseClick(t.form.按钮_帮助, Qt::LeftButton);
    EXPECT_EQ(t.ui.modalTitles.size(), 2);
}

TEST(HelpWindow, HoldsTheHelpTextInItsBox) {
    HelpWindow window;
    EXPECT_EQ(window.windowTitle(), "软件操作帮助");
    EXPECT_EQ(window.size(), QSize(kHelpWindowWidth, kHelpWindowHeight));
    ASSERT_NE(window.编辑框1, nullptr);
    EXPECT_EQ(window.编辑框1->objectName(), "编辑框1");
    EXPECT_EQ(window.编辑框1->geometry(), QRect(8, 8, 808, 696));
    EXPECT_EQ(window.编辑框1->font().pixelSize(), 19);
    EXPECT_FALSE(window.编辑框1->font().bold());
    QString shown = helpText();
    shown.replace("\r\n", "\n");
    EXPECT_EQ(window.编辑框1->toPlainText(), shown);
}

TEST(HelpWindow, TextHasItsSectionsInOrderWithCrLfLines) {
    const QString text = helpText();
    EXPECT_FALSE(text.contains(QRegularExpression("[^\r]\n")));
    EXPECT_FALSE(text.contains(QRegularExpression("\r[^\n]")));
    const QStringList lines = text.split("\r\n");
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith("【") && lines[0].endsWith("】"));
    EXPECT_TRUE(text.endsWith("【诚挚欢迎各位学者使用和指导】\r\n\r\n"));

    // Each heading in order, then the lines that must follow it verbatim.
    struct Section {
        const char* heading;
        std::vector<const char*> lines;
    };
    const Section sections[] = {
        {"【特别提醒】", {}},
        {"【如何录制电脑播放的音频】", {"将录音设备切换为扬声器即可。"}},
        {"【基本信息设置】",
         {"1.自动保存路径根据自己的研究需要自定义设置，比如设置为“E:\\XX方言调查\\发音人A\\词汇”，"
          "就表示当前录音的项目是针对XX方言的发音人A的词汇条目的录音。路径设置好之后，"
          "相关录音文件会自动保存到该目录下。",
          "2.录音内容源文件只支持TXT文档，支持UTF-8和ANSI两种存储编码。各调查条目应当各占一行。"
          "从其他文档中转存为本软件需要的TXT文档时，注意选择存储编码为UTF-8或ANSI。"}},
        {"【录音、保存和播放】",
         {"1.录音内容条目载入后，会在左侧列表显示，可按方向键上下切换，也可以鼠标点击切换。",
          "2.当焦点在列表上时，按回车键（Enter）就开始录音，再按一次则停止录音并自动保存文件到指定"
          "的目录。录音文件默认保存为WAV格式。",
          "3.已有录音文件的条目会在右侧已录音文件中显示具体路径，并有声波图。按Ctrl键可以播放录音。"
          "也可以点右侧路径旁的播放按钮进行播放。",
          "4.也可以用右侧的按钮操作录音和存储，但方便度不高，实操过程中建议尽量用回车键（Enter）和"
          "Ctrl快捷键。"}},
        {"【其他事项】", {}},
        {"【诚挚欢迎各位学者使用和指导】", {}},
    };
    qsizetype at = 0;
    for (const Section& s : sections) {
        SCOPED_TRACE(s.heading);
        const qsizetype heading = lines.indexOf(QString::fromUtf8(s.heading), at);
        ASSERT_GT(heading, at);
        // Sections are set apart by a blank line.
        EXPECT_TRUE(lines[heading - 1].isEmpty());
        for (size_t i = 0; i < s.lines.size(); ++i) {
            EXPECT_EQ(lines.value(heading + 1 + qsizetype(i)), QString::fromUtf8(s.lines[i]));
        }
        at = heading;
    }
    // The notice paragraph is followed by two blank lines.
    const qsizetype notice = lines.indexOf("【特别提醒】");
    EXPECT_FALSE(lines[notice + 1].isEmpty());
    EXPECT_TRUE(lines[notice + 2].isEmpty());
    EXPECT_TRUE(lines[notice + 3].isEmpty());
    // Numbered paragraphs of credits and contact, then where earlier takes go.
    const qsizetype other = lines.indexOf("【其他事项】");
    EXPECT_TRUE(lines[other + 1].startsWith("1."));
    EXPECT_TRUE(lines[other + 2].startsWith("2."));
    EXPECT_TRUE(lines[other + 3].startsWith("3.") && lines[other + 3].contains("“早前录音”"));
    EXPECT_TRUE(lines[other + 4].startsWith("4.") && lines[other + 4].contains("F3") &&
                lines[other + 4].contains("Shift+F3"));
    EXPECT_TRUE(lines[other + 5].startsWith("5.") && lines[other + 5].contains("quillar-log.csv"));
    EXPECT_TRUE(lines[other + 6].isEmpty());
}

}  // namespace
}  // namespace quillar::test
