#include "kit/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QTimer>
#include <algorithm>

#include "kit/control_table.h"
#include "kit/item_marks.h"
#include "kit/media_player.h"
#include "kit/queued_calls.h"
#include "kit/ui_texts.h"
#include "program_identity.h"

namespace quillar {

namespace {

// Group boxes as the layout expects them: the frame runs through the middle of the caption, so
// controls placed 11 to 16 pixels below a box's top edge sit inside the frame, not on it.
const char* const kGroupBoxSheet =
    "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 7px; }"
    "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
    " left: 7px; top: 0px; padding: 0px 2px; }";

}  // namespace

void setUpApplicationLook() {
    // One style on every desktop: the layout is in fixed pixels and must not move with a theme.
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    // The size of a desktop's default dialog font (9 points at 96 dpi), in a CJK face.
    QFont font;
    font.setFamilies({"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Source Han Sans SC",
                      "Droid Sans Fallback", "Sans Serif"});
    font.setPixelSize(kDefaultFontPixels);
    QApplication::setFont(font);
    QApplication::setApplicationName("Quillar");
    QApplication::setApplicationVersion(QString::fromLatin1(kProgramVersion));
}

MainForm::MainForm(audio::AudioEngine& engine, QWidget* parent)
    : QWidget(parent), queuedCalls(new QueuedCalls(this)) {
    setObjectName("main window");
    setWindowTitle(Texts::tr("Quillar V1.1【田野调查录音工具 · 开源自由软件】"));
    setFixedSize(kMainWindowWidth, kMainWindowHeight);
    setStyleSheet(kGroupBoxSheet);
    buildControls(*this, mainWindowControls());
    // The help, options and session buttons reach over the recording area's frame; they must
    // stay clickable.
    按钮_帮助->raise();
    按钮_录音选项->raise();
    按钮_录音场次->raise();
    条目标记 = new ItemMarks(列表框_录音文本列表);

    for (const ComboItem& item : sampleRateItems()) {
        组合框2->addItem(Texts::tr(item.text.toUtf8().constData()), item.value);
    }
    组合框2->setCurrentIndex(4);
    for (const ComboItem& item : sampleWidthItems()) {
        组合框3->addItem(Texts::tr(item.text.toUtf8().constData()), item.value);
    }
    组合框3->setCurrentIndex(1);

    媒体播放1 = new MediaPlayer(engine, 分组框7);
    媒体播放1->setObjectName("媒体播放1");

    通用对话框2.filter = Texts::tr("TXT文件 (*.txt)");
    通用对话框2.defaultExt = "txt";

    通用对话框1.filter = Texts::tr("wav 音频文件 (*.wav)");
    通用对话框1.defaultExt = "wav";
    通用对话框1.initialName = "Record";
    QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    通用对话框1.initialDir =
        (!desktop.isEmpty() && QDir(desktop).exists()) ? desktop : QDir::homePath();

    // Enter must record as soon as the window is up, without a click into the list first.
    列表框_录音文本列表->setFocus(Qt::OtherFocusReason);
}

MainForm::~MainForm() = default;

void MainForm::closeEvent(QCloseEvent* event) {
    if (onClosing && !onClosing()) {
        event->ignore();
        return;
    }
    runDestroyingHook();
    event->accept();
}

void MainForm::runDestroyingHook() {
    if (onDestroying) {
        auto hook = std::move(onDestroying);
        onDestroying = nullptr;
        hook();
    }
}

void setTextFitted(QLabel* label, const QString& text) {
    label->setText(text);
    int width = label->width();
    const QString name = label->objectName();
    for (const ControlRow& row : mainWindowControls()) {
        if (name == QString::fromUtf8(row.name)) {
            width = row.geometry.width();
            break;
        }
    }
    // Left-aligned text starts at the contents rectangle plus the indent; a frame or margin
    // would take as much again on the right.
    const QMargins m = label->contentsMargins();
    const int indent = std::max(label->indent(), 0);
    const int needed = label->fontMetrics().horizontalAdvance(text) + m.left() + m.right() +
                       2 * label->frameWidth() + indent;
    label->resize(std::max(width, needed), label->height());
}

void setInterval(QTimer* timer, int ms) {
    if (ms <= 0) {
        timer->stop();
        timer->setInterval(0);
    } else {
        timer->setInterval(ms);
        if (!timer->isActive()) {
            timer->start();
        }
    }
}

int intervalOf(const QTimer* timer) {
    return timer->isActive() ? timer->interval() : 0;
}

int occurrenceOfRow(const QListWidget* list, int row) {
    const QListWidgetItem* item = list->item(row);
    if (item == nullptr) {
        return 1;
    }
    const QString text = item->text();
    int occurrence = 1;
    for (int i = 0; i < row; ++i) {
        occurrence += list->item(i)->text() == text;
    }
    return occurrence;
}

}  // namespace quillar
