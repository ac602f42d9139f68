#include "app/startup.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "app/session_ui.h"
#include "app/settings.h"
#include "audio/audio_engine.h"
#include "items/closed_takes.h"
#include "items/item_file.h"
#include "items/pending_saving.h"
#include "kit/app.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "kit/ui_texts.h"
#include "record/device_worker.h"
#include "record/recorder.h"
#include "record/recording_control.h"
#include "record/take_recovery.h"
#include "record/take_safety.h"
#include "spectrum/level_meter_display.h"
#include "spectrum/live_display.h"

namespace quillar {

namespace {

// A backend that never stops naming devices must not hang start-up.
constexpr int kMaxCaptureDevices = 256;
// Beyond the post-roll, how long closing waits for the takes still collecting theirs, ms: the
// server hands over the last of it a block or more after the moment it was heard.
constexpr int kCloseSlackMs = 1000;

}  // namespace

void ListRecordingDevices(App& app) {
    // Listing asks the sound server, which may hang: it runs on the device worker, and the box
    // is filled when the names come back.
    auto names = std::make_shared<QStringList>();
    audio::AudioEngine& engine = app.engine;
    app.device_worker->submit(
        [&engine, names] {
            std::string name;
            for (int device = 0; device < kMaxCaptureDevices; ++device) {
                if (!engine.captureDeviceName(device, &name)) {
                    break;
                }
                names->append(QString::fromStdString(name));
            }
        },
        [&app, names] { ShowRecordingDevices(app, *names); });
    WatchDeviceCalls(app);
}

void ShowRecordingDevices(App& app, const QStringList& names) {
    QComboBox* box = app.form.组合框1;
    QStringList shown;
    for (int i = 0; i < box->count(); ++i) {
        shown.append(box->itemText(i));
    }
    if (shown == names) {
        return;  // the kept input stays as it is
    }
    const QString chosen = box->currentText();
    const int before = box->currentIndex();
    {
        // Emptying the box on the way would close the kept input and open another device.
        const QSignalBlocker quiet(box);
        box->clear();
        // Item index = device number: recording opens the device by the combo box's index.
        for (int device = 0; device < names.size(); ++device) {
            box->addItem(names[device], device);
        }
        // The device chosen before stays chosen while it is there; otherwise the system
        // default. Selects nothing when there is no device.
        box->setCurrentIndex(std::max(0, box->findText(chosen, Qt::MatchExactly)));
    }
    // The engine numbers its devices afresh with each list. The same name at the same number is
    // the same device; anything else is opened anew.
    if (box->currentIndex() != before || box->currentText() != chosen) {
        app.state.input_device = -1;
        emit box->currentIndexChanged(box->currentIndex());
    }
}

void OnMainWindowCreated(App& app) {
    MainForm& f = app.form;

    ListRecordingDevices(app);

    f.画板1->line(0, 0, f.画板1->width(), 0);

    // Without an output device playback and monitoring stay silent; nothing else depends on it.
    // Its probe waits on the sound server, so it runs on the device worker.
    audio::AudioEngine& engine = app.engine;
    app.device_worker->submit([&engine] { engine.initOutput(-1, 44100); });

    初始化频谱(*f.画板2, app.engine);
    f.画板2->resize(static_cast<int>(f.分组框3->width() - 20.0), f.画板2->height());
    setInterval(f.时钟_电平, kMeterTickMs);

    ReadSettings(app);
    LoadFolderSession(app);
    const QString itemFile = f.编辑框_录音文本源路径->text();
    if (!itemFile.isEmpty() && QFileInfo(itemFile).isFile()) {
        QString id;
        const int row = ReadItemPosition(SettingsFilePath(), itemFile, &id);
        LoadItemFile(app, itemFile, std::max(0, row), id);
    }
    // Last, once the auto-save folder is known: takes whose save failed go to their items, and
    // the takes of a run that did not end cleanly are recovered.
    ResumePendingTakes(app);
    RecoverUnfinishedTakes(app);
    // Open from now on, so that the first take has its pre-roll and the meter its input.
    KeepInputOpen(app);
}

bool ConfirmClose(App& app) {
    // Takes the user stopped collect their post-roll first, as in a session, and are saved.
    if (TakeClosing(app)) {
        setTextFitted(app.form.标签4, Texts::tr("正在保存录音……"));
        app.form.标签4->show();
        LetClosingTakesFinish(
            app, std::chrono::milliseconds(app.state.options.postroll_ms + kCloseSlackMs));
        SaveClosedTakes(app);
    }
    const bool recording = TakeRunning(app);
    const int inMemory = PendingInMemoryCount(app);
    if (!recording && inMemory == 0 && !TakeOnlyInMemory(app)) {
        return true;
    }
    const QString question = recording ? Texts::tr(
                                             "正在录音，这段录音还没有保存，退出后将会丢失。\n"
                                             "确定要退出吗？")
                             : inMemory > 0 ? Texts::tr(
                                                  "有 %1 段录音既无法写入文件夹，也无法暂存到磁盘，"
                                                  "退出后将会丢失。\n确定要退出吗？")
                                                  .arg(inMemory)
                                            : Texts::tr(
                                                  "这段录音还没有保存，退出后将会丢失。\n"
                                                  "确定要退出吗？");
    if (!app.ui.confirm(&app.form, Texts::tr("系统提示"), question)) {
        return false;
    }
    // The user let the take go: nothing to recover at the next start.
    if (app.recorder) {
        app.recorder->dropTake();
    }
    EndTakeJournal(app);
    return true;
}

void OnMainWindowDestroyed(App& app) {
    RememberItemPosition(app);
    // The event loop may run on a little after this: the recorder's tick must not look for a
    // worker that is gone.
    setInterval(app.form.时钟_录音收尾, 0);
    // A pending take being written to a folder that hangs is not waited for.
    LeavePendingTakes(app);
    // The worker goes first (it may hold a device call), then the capture.
    app.device_worker.reset();
    app.engine.freeCapture();
    // Ended without the user's word (the session logs out): the journal takes the last of the
    // audio and stays, to be recovered at the next start.
    if (app.recorder) {
        app.recorder->leaveJournalForRecovery();
    }
    app.engine.freeOutput();
}

}  // namespace quillar
