// Every control event of the main window, bound to its handler. The handler for any event is
// found here in one step.
#include "app/event_wiring.h"

#include "record/recorder.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <chrono>

#include "app/meter_channel.h"
#include "app/recording_options_ui.h"
#include "app/session_ui.h"
#include "app/settings.h"
#include "app/startup.h"
#include "items/closed_takes.h"
#include "items/hands_free_mode.h"
#include "items/item_list.h"
#include "items/item_prompt.h"
#include "items/item_skipping.h"
#include "items/pending_saving.h"
#include "items/recording_marks.h"
#include "items/take_quality_line.h"
#include "kit/app.h"
#include "kit/combo_box.h"
#include "kit/help_window.h"
#include "kit/main_form.h"
#include "kit/queued_calls.h"
#include "playback/audition.h"
#include "playback/file_playback.h"
#include "record/monitoring.h"
#include "record/recording_control.h"
#include "record/saving.h"
#include "record/status_display.h"
#include "spectrum/level_meter_display.h"

namespace quillar {

namespace {

// The keyboard loop lives in the item list: whatever a button, a dialog or a box was for, the
// next Enter records. A button keeps the focus its click gave it, and Enter on a button of a
// window that is no dialog does nothing, so the list takes the keys back after each of them.
void keysBackToItemList(App& app) {
    app.form.列表框_录音文本列表->setFocus(Qt::OtherFocusReason);
}

int shiftStateOf(Qt::KeyboardModifiers modifiers) {
    return (modifiers & Qt::ShiftModifier ? kShiftDown : 0) |
           (modifiers & Qt::ControlModifier ? kControlDown : 0) |
           (modifiers & Qt::AltModifier ? kAltDown : 0);
}

// Key-down on the item list, as key codes: Enter and Return are 13, either Control key 17, F3
// 114; the shift keys as kShiftDown, kControlDown and kAltDown. F6 opens the recording options,
// F7 the session, F8 the reason to skip the item and F10 plays the item's prompt (between takes
// only); F9 switches hands-free recording.
// Auto-repeated Enter and Ctrl are dropped: one physical press is one action, so holding Enter
// cannot start and stop recordings in a burst over an item's file.
class ItemListKeys : public QObject {
  public:
    ItemListKeys(App& app, QObject* parent) : QObject(parent), m_app(app) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return QObject::eventFilter(watched, event);
        }
        auto* key = static_cast<QKeyEvent*>(event);
        int code = 0;
        switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                code = kKeyEnter;
                break;
            case Qt::Key_Control:
                code = kKeyControl;
                break;
            case Qt::Key_F3:
                code = kKeyF3;
                break;
            case Qt::Key_F4:
                code = kKeyF4;
                break;
            case Qt::Key_F6:
                if (!key->isAutoRepeat()) {
                    OpenRecordingOptions(m_app);
                    keysBackToItemList(m_app);
                }
                return true;
            case Qt::Key_F9:
                if (!key->isAutoRepeat()) {
                    ToggleHandsFree(m_app);
                }
                return true;
            case Qt::Key_F7:
                if (!key->isAutoRepeat()) {
                    OpenSessionDialog(m_app);
                    keysBackToItemList(m_app);
                }
                return true;
            case Qt::Key_F8:
                if (!key->isAutoRepeat()) {
                    SkipCurrentItem(m_app);
                    keysBackToItemList(m_app);
                }
                return true;
            case Qt::Key_F10:
                if (!key->isAutoRepeat()) {
                    PlayCurrentPrompt(m_app);
                }
                return true;
            default:
                return QObject::eventFilter(watched, event);
        }
        // Held F3 (F4) walks on through the unrecorded items (those to redo), as a held arrow
        // key walks the list.
        if (!key->isAutoRepeat() || code == kKeyF3 || code == kKeyF4) {
            OnItemListKeyDown(m_app, code, shiftStateOf(key->modifiers()));
        }
        return code != kKeyControl;  // Enter, F3 and F4 are ours; Ctrl goes on to the list
    }

  private:
    App& m_app;
};

}  // namespace

void wireEvents(App& app) {
    MainForm& f = app.form;
    f.onClosing = [&app] { return ConfirmClose(app); };
    f.onDestroying = [&app] { OnMainWindowDestroyed(app); };

    QObject::connect(f.按钮_帮助, &QPushButton::clicked, [&app] { OpenHelpWindow(app); });
    QObject::connect(f.按钮_录音选项, &QPushButton::clicked, [&app] { OpenRecordingOptions(app); });
    QObject::connect(f.按钮_录音场次, &QPushButton::clicked, [&app] { OpenSessionDialog(app); });
    QObject::connect(f.按钮_设置保存路径, &QPushButton::clicked, [&app] { ChooseSaveFolder(app); });
    QObject::connect(f.按钮_选择录音文本, &QPushButton::clicked, [&app] { ChooseItemFile(app); });
    QObject::connect(f.按钮_保存当前配置, &QPushButton::clicked, [&app] { SaveSettings(app); });

    QObject::connect(f.列表框_录音文本列表, &QListWidget::currentRowChanged,
                     [&app](int) { OnItemSelected(app); });
    f.列表框_录音文本列表->installEventFilter(new ItemListKeys(app, f.列表框_录音文本列表));
    // The judgement goes with the recording shown, whoever shows or clears it.
    QObject::connect(f.编辑框_当前录音文件, &QLineEdit::textChanged,
                     [&app] { ShowTakeQuality(app); });

    // A microphone plugged in after start-up shows the next time the list is opened. The box is
    // disabled while a take runs, so this is always between takes.
    if (auto* devices = dynamic_cast<ComboBox*>(f.组合框1)) {
        devices->beforePopup = [&app] { ListRecordingDevices(app); };
    }

    // A closed take is saved once the recorder's notification is over: right after the handler
    // that closed it, or, when a device call's completion closed it, from the event loop.
    app.file_closed_takes = [&app] { SaveClosedTakes(app); };
    app.state.hands_free_prompt = [&app](int row, std::function<void()> done) {
        PlayPromptThen(app, row, std::move(done));
    };
    MakePendingWriter(app);
    MakeRecorder(app, [&app](int change) {
        if (change == static_cast<int>(Recorder::Change::Closed)) {
            QMetaObject::invokeMethod(
                &app.form, [&app] { SaveClosedTakes(app); }, Qt::QueuedConnection);
        }
    });
    MakeHandsFree(app);  // the recorder tick feeds it the input
    QObject::connect(f.时钟_录音收尾, &QTimer::timeout, [&app] { OnRecorderTick(app); });
    // The kept input follows the device, rate and width chosen.
    for (QComboBox* box : {f.组合框1, f.组合框2, f.组合框3}) {
        QObject::connect(box, &QComboBox::currentIndexChanged, [&app] { KeepInputOpen(app); });
    }
    QObject::connect(f.按钮1, &QPushButton::clicked, [&app] { ToggleRecording(app); });
    QObject::connect(f.按钮4, &QPushButton::clicked, [&app] { PauseOrResume(app); });
    QObject::connect(f.选择框1, &QCheckBox::clicked, [&app] { ToggleMonitoring(app); });
    QObject::connect(f.按钮3, &QPushButton::clicked, [&app] {
        SaveRecordingAs(app);
        RefreshItemMarks(app);  // the take may have gone to an item's file
    });
    // A folder typed into the box; one chosen with 按钮_设置保存路径 refreshes the marks itself.
    QObject::connect(f.编辑框_保存路径, &QLineEdit::editingFinished, [&app] {
        if (app.form.编辑框_保存路径->isModified()) {
            app.form.编辑框_保存路径->setModified(false);
            StopAndSaveRunningTake(app);  // to the folder it began in
            LoadFolderSession(app);
            RefreshItemMarks(app);
            SavePendingTakes(app);
        }
    });
    QObject::connect(f.按钮2, &QPushButton::clicked, [&app] { ToggleAudition(app); });
    QObject::connect(f.按钮_播放录音, &QPushButton::clicked, [&app] { PlayCurrentRecording(app); });

    // After every button's own handler (connected above, so run first), and after whatever box
    // or dialog it showed has closed. The folder box keeps the keys while it is typed into; the
    // Return that ends the typing hands them back.
    for (QAbstractButton* button : f.findChildren<QAbstractButton*>()) {
        QObject::connect(button, &QAbstractButton::clicked, [&app] { keysBackToItemList(app); });
    }
    QObject::connect(f.编辑框_保存路径, &QLineEdit::returnPressed,
                     [&app] { keysBackToItemList(app); });

    // The engine's thread only passes the news on; the form's queued calls drop it once the window
    // is gone.
    app.engine.setCaptureLostNotice([&app](audio::Handle) {
        app.form.queuedCalls->post([&app] { OnRecordingDeviceLost(app); });
    });

    const auto meterLook = [&app] {
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        OnMeterTick(app, MeterChannel(app),
                    std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    };
    // During a take the meter looks with each status tick, so that the spectrum and the meter
    // reach the screen in one repaint rather than two at different moments.
    QObject::connect(f.时钟1, &QTimer::timeout, [&app, meterLook] {
        OnStatusTick(app);
        meterLook();
    });
    QObject::connect(f.时钟2, &QTimer::timeout, [&app] { OnAuditionTick(app); });
    QObject::connect(f.时钟3, &QTimer::timeout, [&app] {
        OnBlinkTick(app);
        DrawLevelMeter(*app.form.画板2, app.state.level_meter);  // the blink may clear the board
    });
    QObject::connect(f.时钟_电平, &QTimer::timeout, [&app, meterLook] {
        if (!app.form.时钟1->isActive()) {
            meterLook();
        }
    });
    QObject::connect(f.时钟_暂存, &QTimer::timeout, [&app] { SavePendingTakes(app, true); });
}

}  // namespace quillar
