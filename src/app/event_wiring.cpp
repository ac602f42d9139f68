// Every control event of the main window, bound to its handler. The handler for any event is
// found here in one step.
#include "app/event_wiring.h"

#include <QCheckBox>
#include <QEvent>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "app/settings.h"
#include "app/startup.h"
#include "items/item_list.h"
#include "kit/app.h"
#include "kit/help_window.h"
#include "kit/main_form.h"
#include "playback/audition.h"
#include "playback/file_playback.h"
#include "record/monitoring.h"
#include "record/recording_control.h"
#include "record/saving.h"
#include "record/status_display.h"

namespace quillar {

namespace {

// Key-down on the item list, as key codes: Enter and Return are 13, either Control key 17.
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
            default:
                return QObject::eventFilter(watched, event);
        }
        if (!key->isAutoRepeat()) {
            OnItemListKeyDown(m_app, code, static_cast<int>(key->modifiers()));
        }
        return code == kKeyEnter;  // Enter is ours; Ctrl goes on to the list
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
    QObject::connect(f.按钮_设置保存路径, &QPushButton::clicked, [&app] { ChooseSaveFolder(app); });
    QObject::connect(f.按钮_选择录音文本, &QPushButton::clicked, [&app] { ChooseItemFile(app); });
    QObject::connect(f.按钮_保存当前配置, &QPushButton::clicked, [&app] { SaveSettings(app); });

    QObject::connect(f.列表框_录音文本列表, &QListWidget::currentRowChanged,
                     [&app](int) { OnItemSelected(app); });
    f.列表框_录音文本列表->installEventFilter(new ItemListKeys(app, f.列表框_录音文本列表));

    QObject::connect(f.按钮1, &QPushButton::clicked, [&app] { ToggleRecording(app); });
    QObject::connect(f.按钮4, &QPushButton::clicked, [&app] { PauseOrResume(app); });
    QObject::connect(f.选择框1, &QCheckBox::clicked, [&app] { ToggleMonitoring(app); });
    QObject::connect(f.按钮3, &QPushButton::clicked, [&app] { SaveRecordingAs(app); });
    QObject::connect(f.按钮2, &QPushButton::clicked, [&app] { ToggleAudition(app); });
    QObject::connect(f.按钮_播放录音, &QPushButton::clicked, [&app] { PlayCurrentRecording(app); });

    QObject::connect(f.时钟1, &QTimer::timeout, [&app] { OnStatusTick(app); });
    QObject::connect(f.时钟2, &QTimer::timeout, [&app] { OnAuditionTick(app); });
    QObject::connect(f.时钟3, &QTimer::timeout, [&app] { OnBlinkTick(app); });
}

}  // namespace quillar
