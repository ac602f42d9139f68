// The main window and its controls, under the names every handler uses. The controls are made
// from the layout table (control_table.cpp); the form holds pointers to them and nothing else.
#pragma once

#include <QWidget>
#include <functional>

#include "kit/large_type_box.h"  // a member's type every user of the current item needs whole
#include "kit/ui_seam.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

namespace quillar {

namespace audio {
class AudioEngine;
}
class DrawingBoard;
class MediaPlayer;
class ShapeBox;
class ItemMarks;
class QueuedCalls;

class MainForm : public QWidget {
    Q_OBJECT
  public:
    explicit MainForm(audio::AudioEngine& engine, QWidget* parent = nullptr);
    ~MainForm() override;

    // Asked before the window closes; false keeps it open.
    std::function<bool()> onClosing;
    // Called when the window is being closed, before its controls go (shut-down hook).
    std::function<void()> onDestroying;
    // Runs onDestroying once; later calls do nothing. The close event calls it, and so does the
    // program's end when the window went without one.
    void runDestroyingHook();
    // What other threads hand to the window (engine notices, the device worker, the item-file
    // reader); dropped unrun once the window is gone.
    QueuedCalls* const queuedCalls;

    // --- window -------------------------------------------------------------------------------
    QPushButton* 按钮_帮助 = nullptr;
    QPushButton* 按钮_录音选项 = nullptr;  // the recording options dialog, beside 按钮_帮助
    QPushButton* 按钮_录音场次 = nullptr;  // the session dialog, beside 按钮_录音选项
    QLabel* 标签10 = nullptr;
    QGroupBox* 分组框1 = nullptr;
    QGroupBox* 分组框2 = nullptr;
    // --- 分组框1: recording settings and the item list -----------------------------------------
    QLabel* 标签1 = nullptr;
    QComboBox* 组合框1 = nullptr;  // recording devices; item data = device number
    QLabel* 标签2 = nullptr;
    QComboBox* 组合框2 = nullptr;  // sample rates; item data = Hz
    QLabel* 标签3 = nullptr;
    QComboBox* 组合框3 = nullptr;  // sample widths; item data = sample flags
    QCheckBox* 选择框1 = nullptr;
    QGroupBox* 分组框6 = nullptr;
    QRadioButton* 单选框1 = nullptr;
    QRadioButton* 单选框2 = nullptr;
    QLabel* 标签6 = nullptr;
    QLineEdit* 编辑框_保存路径 = nullptr;
    QPushButton* 按钮_设置保存路径 = nullptr;
    QLabel* 标签7 = nullptr;
    QLineEdit* 编辑框_录音文本源路径 = nullptr;
    QPushButton* 按钮_选择录音文本 = nullptr;
    CommonDialog 通用对话框2;  // open dialog for the item file
    QPushButton* 按钮_保存当前配置 = nullptr;
    QLabel* 标签8 = nullptr;
    QListWidget* 列表框_录音文本列表 = nullptr;
    ItemMarks* 条目标记 = nullptr;    // the list's delegate: recorded and clipped marks
    QLabel* 标签_录音进度 = nullptr;  // "recorded / total" beside the list's caption
    QLabel* 标签5 = nullptr;
    // --- 分组框2: the recording area
    // --------------------------------------------------------------
    QGroupBox* 分组框5 = nullptr;
    // The current item in large type, wrapped when long, its gloss and note under it.
    LargeTypeBox* 编辑框_当前录音文本 = nullptr;
    // Hands-free recording's notice: what it waits for (a label: it never takes the keyboard).
    QLabel* 标签_自动录音 = nullptr;
    QGroupBox* 分组框7 = nullptr;
    QLabel* 标签9 = nullptr;
    QLineEdit* 编辑框_当前录音文件 = nullptr;
    QProgressBar* 进度条1 = nullptr;
    MediaPlayer* 媒体播放1 = nullptr;
    QPushButton* 按钮_播放录音 = nullptr;
    QGroupBox* 分组框8 = nullptr;
    ShapeBox* 外形框1 = nullptr;
    DrawingBoard* 画板3 = nullptr;
    DrawingBoard* 画板4 = nullptr;
    // The judgement of the shown recording's latest take, in words, along the waveform's foot.
    QLabel* 标签_录音质量 = nullptr;
    DrawingBoard* 画板5 = nullptr;
    QLabel* 标签_指针 = nullptr;
    ShapeBox* 外形框2 = nullptr;
    QGroupBox* 分组框4 = nullptr;
    QPushButton* 按钮1 = nullptr;
    QPushButton* 按钮4 = nullptr;
    QPushButton* 按钮2 = nullptr;
    QPushButton* 按钮3 = nullptr;
    QGroupBox* 分组框3 = nullptr;
    DrawingBoard* 画板2 = nullptr;
    QLabel* 标签4 = nullptr;
    QLabel* 标签_削波警告 = nullptr;  // red warning over the spectrum while a take clips
    QLabel* 标签_日志提示 = nullptr;  // says the take log cannot be written
    // Shown while the take in memory has no journal on disk (it could not be written).
    QLabel* 标签_录音保护 = nullptr;
    // Shown while takes whose auto-save failed wait in the state folder.
    QLabel* 标签_暂存提示 = nullptr;
    QTimer* 时钟_暂存 = nullptr;  // looks for their folders every few seconds while any wait
    // Says that the sound server does not answer while a device call or the capture waits on it.
    QLabel* 标签_声音服务 = nullptr;
    // Over 标签4 for a moment: a recording cannot be played while a take runs or closes.
    QLabel* 标签_播放提示 = nullptr;
    // Moves a take on while it opens, takes its post-roll or waits to begin.
    QTimer* 时钟_录音收尾 = nullptr;
    QTimer* 时钟_电平 = nullptr;  // the input level meter's look at the input
    QTimer* 时钟1 = nullptr;      // status timer, 30 ms while recording
    QTimer* 时钟2 = nullptr;      // audition timer, 30 ms while auditioning
    QTimer* 时钟3 = nullptr;      // blink timer, 700 ms always
    CommonDialog 通用对话框1;     // save dialog for recordings
    DrawingBoard* 画板1 = nullptr;
    QLineEdit* 编辑框1 = nullptr;
    QLineEdit* 编辑框2 = nullptr;
    QLineEdit* 编辑框3 = nullptr;
    QLineEdit* 编辑框4 = nullptr;

    // The text 编辑框2 showed when an audition started, put back when it stops.
    QString 编辑框2_saved_text;

  protected:
    void closeEvent(QCloseEvent* event) override;
};

// Pixel size of the default font, as a desktop's default dialog font has it.
inline constexpr int kDefaultFontPixels = 12;
// Style and default font of the whole program; call once after the QApplication exists.
void setUpApplicationLook();

// Sets a label's text and its width to hold that text in the label's font, never narrower than
// its width in the control table; left, top and height stay (GUI thread). For labels whose texts
// change at run time, such as 标签4's notices.
void setTextFitted(QLabel* label, const QString& text);

// Timer interval as the handlers use it: milliseconds between ticks, 0 stops the timer.
void setInterval(QTimer* timer, int ms);
// 0 when the timer is stopped, else its interval.
int intervalOf(const QTimer* timer);

// Which occurrence of its text the item at `row` of `list` is: 1 for the first in list order.
int occurrenceOfRow(const QListWidget* list, int row);

}  // namespace quillar
