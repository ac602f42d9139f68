#include "record/recording_control.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QThread>

#include "kit/app.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "playback/audition.h"
#include "playback/file_playback.h"
#include "record/clip_check.h"
#include "record/device_worker.h"
#include "record/monitoring.h"
#include "record/recorder.h"
#include "record/size_texts.h"
#include "record/status_display.h"
#include "record/take_info.h"
#include "record/wav_image.h"

namespace quillar {

namespace {

const LaterText kStartCaption{QT_TRANSLATE_NOOP("Quillar", "开始录音")};
const LaterText kStopCaption{QT_TRANSLATE_NOOP("Quillar", "停止录音")};
const LaterText kPauseCaption{QT_TRANSLATE_NOOP("Quillar", "暂停录音")};
const LaterText kResumeCaption{QT_TRANSLATE_NOOP("Quillar", "继续录音")};
const LaterText kStateStopped{QT_TRANSLATE_NOOP("Quillar", "停止中")};
const LaterText kStateRecording{QT_TRANSLATE_NOOP("Quillar", "录制中")};
const LaterText kStatePaused{QT_TRANSLATE_NOOP("Quillar", "暂停中")};
const LaterText kNoticeNoSignal{QT_TRANSLATE_NOOP("Quillar", "未检测到声音信号")};
const LaterText kNoticeWaiting{QT_TRANSLATE_NOOP("Quillar", "等待录音中")};
const LaterText kMessageTitle{QT_TRANSLATE_NOOP("Quillar", "系统提示")};
const LaterText kFileSizeLabel{QT_TRANSLATE_NOOP("Quillar", "文件大小 ")};

constexpr int kStatusIntervalMs = 30;
// How often a take that opens, closes or waits is looked at, and how long a device call may
// take before the window says that the sound server is not answering.
constexpr int kPollIntervalMs = 15;
constexpr int kServerPatienceMs = 500;
constexpr int kInputRetryMs = 2000;
constexpr int kWatchIntervalMs = 100;

void showRecordingSize(App& app) {
    app.form.编辑框4->setText(QString(kFileSizeLabel) +
                              FormatByteSize(app.state.record_buffer.size()));
}

// The captions of 按钮1 and 按钮4 and the state text of 编辑框1, from the state alone.
void showState(App& app) {
    MainForm& f = app.form;
    const RecordingState state = app.state.recording_state;
    const bool stopped = state == RecordingState::Idle || state == RecordingState::Closing;
    f.按钮1->setText(stopped ? kStartCaption : kStopCaption);
    f.按钮4->setText(state == RecordingState::Paused ? kResumeCaption : kPauseCaption);
    f.编辑框1->setText(state == RecordingState::Idle || state == RecordingState::Closing
                           ? kStateStopped
                       : state == RecordingState::Paused ? kStatePaused
                                                         : kStateRecording);
}

void setSettingsEnabled(MainForm& f, bool enabled) {
    f.组合框1->setEnabled(enabled);
    f.组合框2->setEnabled(enabled);
    f.组合框3->setEnabled(enabled);
}

Recorder::Format chosenFormat(const App& app) {
    Recorder::Format format;
    format.rate = app.form.组合框2->currentData().toUInt();
    format.flags = app.form.组合框3->currentData().toUInt();
    format.channels = static_cast<std::uint32_t>(app.state.options.channels);
    return format;
}

// The recorder's state as the window shows it: a take still opening already reads as recording.
RecordingState shownState(Recorder::State state) {
    switch (state) {
        case Recorder::State::Idle:
            return RecordingState::Idle;
        case Recorder::State::Opening:
        case Recorder::State::Recording:
            return RecordingState::Recording;
        case Recorder::State::Paused:
            return RecordingState::Paused;
        case Recorder::State::Closing:
            return RecordingState::Closing;
    }
    return RecordingState::Idle;
}

// What the new take belongs to: the item and folder of this moment (or of the Enter that queued
// it), whatever is selected at its stop.
void fixTakeTarget(App& app) {
    ProgramState& s = app.state;
    const QListWidget* list = app.form.列表框_录音文本列表;
    if (s.queued_take) {
        s.queued_take = false;
        s.take_item = s.queued_item;
        s.take_occurrence = s.queued_occurrence;
        s.take_row = s.queued_row;
        s.take_begun_with_enter = true;
    } else {
        const QListWidgetItem* item = list->currentItem();
        s.take_item = item != nullptr ? item->text() : QString();
        s.take_occurrence = occurrenceOfRow(list, list->currentRow());
        s.take_row = item != nullptr ? list->currentRow() : -1;
    }
    s.take_folder = app.form.编辑框_保存路径->text();
    s.take_started = QDateTime::currentDateTime();
}

// Everything that must be out of the way before record_buffer is cleared for a new take.
void prepareForTake(App& app) {
    MainForm& f = app.form;
    ProgramState& s = app.state;
    // The audition plays record_buffer in place: it must end before the buffer is dropped.
    app.engine.freeStream(s.audition_stream);
    StopAuditionIfRunning(app);
    // A saved take still playing would be heard by the microphone and land in the new one.
    EndCurrentRecordingPlayback(app);
    // The previous take is discarded now, and its journal with it (the recorder drops it).
    f.标签_录音保护->hide();
    s.take_begun_with_enter = false;  // the item list says so after the start
    s.save_when_closed = false;
    s.closed_by_loss = false;
    s.signal_active = 1;
    setSettingsEnabled(f, false);
    f.按钮2->setEnabled(false);
    f.按钮3->setEnabled(false);
}

// The take captures.
void onStarted(App& app) {
    MainForm& f = app.form;
    ProgramState& s = app.state;
    // Known now rather than at the first block, so a pause within the first 100 ms really
    // pauses the device.
    s.record_handle.store(app.recorder->channel(), std::memory_order_release);
    // The recorder's check has begun; its journal begins when this has been told.
    s.take_device = f.组合框1->currentText();

    f.标签4->hide();
    f.按钮4->setEnabled(true);
    setInterval(f.时钟1, kStatusIntervalMs);
    setTextFitted(f.标签4, kNoticeNoSignal);
}

// The stop was taken: the window shows it at once, whatever the post-roll still adds.
void onStopping(App& app) {
    MainForm& f = app.form;
    f.画板2->update();
    setInterval(f.时钟1, 0);
    setTextFitted(f.标签4, kNoticeWaiting);
    f.按钮4->setEnabled(false);
    app.state.signal_active = 0;
}

// The take is whole in record_buffer and judged: the WAV image and the size.
void onClosed(App& app) {
    MainForm& f = app.form;
    ProgramState& s = app.state;
    // The recorder has finished the journal and the check; an empty take has no journal left.
    if (!app.recorder->takeOnlyInMemory()) {
        f.标签_录音保护->hide();
    }
    setSettingsEnabled(f, true);
    if (s.record_buffer.empty()) {
        return;
    }
    f.按钮2->setEnabled(true);
    f.按钮3->setEnabled(true);
    const Recorder::Format format = app.recorder->format();
    BuildWavImage(s.record_buffer, format.rate, bitsForSampleFlags(format.flags),
                  static_cast<std::uint16_t>(format.channels));
    showRecordingSize(app);
}

void onStartFailed(App& app) {
    onStopping(app);
    setSettingsEnabled(app.form, true);
    app.ui.message(&app.form, kMessageTitle,
                   Texts::tr("无法打开录音设备，请检查录音设备是否连接或被其他程序占用。"),
                   MessageIcon::Error);
}

// Stops the take as the user would and says why; the take stays in memory (and in its journal).
void stopKeepingTake(App& app, const QString& why) {
    ToggleRecording(app);
    app.ui.message(&app.form, kMessageTitle,
                   why + Texts::tr("已录内容保留在内存中，请点击“保存录音”保存。"),
                   MessageIcon::Warning);
}

// The capture thread refused a block at the WAV size limit: stop as the user would, unless the
// user already stopped that recording (or started another) before this call came round.
void StopAtSizeLimit(App& app) {
    if (!TakeRunning(app) || !app.state.record_buffer.refusedAppend()) {
        return;
    }
    stopKeepingTake(app, Texts::tr("录音已达到 WAV 文件能记录的最大长度（约 4 GB），已自动停止。"));
}

}  // namespace

bool TakeRunning(const App& app) {
    const RecordingState state = app.state.recording_state;
    return state == RecordingState::Recording || state == RecordingState::Paused;
}

bool TakeClosing(const App& app) {
    return app.state.recording_state == RecordingState::Closing;
}

void FinishClosingTake(App& app) {
    app.recorder->finishNow();
    // The take's own device closes on the worker; the window is going, so wait for it here.
    for (int i = 0; i < 300 && app.recorder->state() == Recorder::State::Closing; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
}

bool StopAtDeviceLoss(App& app) {
    const audio::Handle channel = app.recorder->channel();
    if (channel == 0 || !app.engine.captureLost(channel)) {
        return false;
    }
    const bool running = TakeRunning(app);
    app.state.closed_by_loss = running;
    app.recorder->deviceLost();
    return running;
}

void StopAtLowMemory(App& app) {
    if (!TakeRunning(app)) {
        return;
    }
    stopKeepingTake(app, Texts::tr("电脑的可用内存快要用完了，录音已自动停止。"));
}

void ToggleRecording(App& app) {
    Recorder& recorder = *app.recorder;
    switch (recorder.state()) {
        case Recorder::State::Idle:
            prepareForTake(app);
            fixTakeTarget(app);
            // Before the first block: a monitoring stream armed in another format would play
            // these bytes as that format (16-bit samples heard as floats are full-scale noise).
            MatchMonitoringToRecording(app, chosenFormat(app).rate, chosenFormat(app).flags);
            recorder.start(app.form.组合框1->currentIndex(), chosenFormat(app),
                           static_cast<std::uint32_t>(app.state.options.effectivePrerollMs()));
            break;
        case Recorder::State::Closing:
            // The next take begins as soon as this one is closed, with its pre-roll from now.
            recorder.start(app.form.组合框1->currentIndex(), chosenFormat(app),
                           static_cast<std::uint32_t>(app.state.options.effectivePrerollMs()));
            break;
        default:
            recorder.stop(static_cast<std::uint32_t>(app.state.options.postroll_ms));
            break;
    }
    FollowRecorder(app);
}

void PauseOrResume(App& app) {
    Recorder& recorder = *app.recorder;
    if (recorder.state() == Recorder::State::Recording) {
        recorder.pause();
    } else {
        recorder.resume();
    }
}

namespace {

// What the take's journal is told of the take that begins: what the window fixed for it.
JournalSetup journalSetup(App& app) {
    JournalSetup setup;
    setup.folder = [] { return JournalFolder(); };
    setup.describe = [&app] {
        const ProgramState& s = app.state;
        TakeInfo take;
        take.item = s.take_item;
        take.occurrence = s.take_occurrence;
        take.folder = s.take_folder;
        take.device = s.take_device;
        take.started = s.take_started;
        return take;
    };
    setup.post = [&app](std::function<void()> fn) {
        QMetaObject::invokeMethod(&app.form, std::move(fn), Qt::QueuedConnection);
    };
    return setup;
}

}  // namespace

void MakeRecorder(App& app, std::function<void(int)> then) {
    if (!app.device_worker) {
        app.device_worker = std::make_shared<DeviceWorker>([&app](std::function<void()> fn) {
            QMetaObject::invokeMethod(&app.form, std::move(fn), Qt::QueuedConnection);
        });
    }
    app.recorder = std::make_shared<Recorder>(
        app.engine, app.state.record_buffer, *app.device_worker,
        [&app, then = std::move(then)](Recorder::Change change) {
            OnRecorderChange(app, static_cast<int>(change));
            if (then) {
                then(static_cast<int>(change));
            }
        },
        [&app] {
            QMetaObject::invokeMethod(
                &app.form, [&app] { StopAtSizeLimit(app); }, Qt::QueuedConnection);
        },
        RecorderShared{&app.state.monitor_stream, &app.state.last_block_size});
    app.recorder->keepJournals(journalSetup(app));
}

void KeepInputOpen(App& app) {
    if (!app.device_worker) {
        return;  // the window is closing
    }
    Recorder& recorder = *app.recorder;
    if (recorder.state() != Recorder::State::Idle) {
        return;  // the boxes are disabled during a take; its close comes back here
    }
    if (!app.state.options.keep_input || app.form.组合框1->currentIndex() < 0) {
        recorder.closeInput();
        return;
    }
    const Recorder::Format format = chosenFormat(app);
    const int device = app.form.组合框1->currentIndex();
    if (recorder.input() == Recorder::Input::Open && recorder.format() == format &&
        device == app.state.input_device) {
        return;
    }
    app.state.input_device = device;
    MatchMonitoringToRecording(app, format.rate, format.flags);
    recorder.openInput(device, format);
    FollowRecorder(app);
}

void WatchDeviceCalls(App& app) {
    if (intervalOf(app.form.时钟_录音收尾) == 0) {
        setInterval(app.form.时钟_录音收尾, kPollIntervalMs);
    }
}

void FollowRecorder(App& app) {
    MainForm& f = app.form;
    app.state.recording_state = shownState(app.recorder->state());
    showState(app);
    if (app.recorder->needsPolling()) {
        setInterval(f.时钟_录音收尾, kPollIntervalMs);
    } else if (TakeRunning(app) && intervalOf(f.时钟_录音收尾) == 0) {
        setInterval(f.时钟_录音收尾, kWatchIntervalMs);  // a stall is told during a take
    }
}

void OnRecorderChange(App& app, int change) {
    ProgramState& s = app.state;
    switch (static_cast<Recorder::Change>(change)) {
        case Recorder::Change::Started:
            if (s.recording_state == RecordingState::Closing || s.queued_take) {
                // A take queued during the previous one's close: the window prepares now.
                prepareForTake(app);
                fixTakeTarget(app);
            }
            onStarted(app);
            break;
        case Recorder::Change::StartFailed:
            onStartFailed(app);
            break;
        case Recorder::Change::Paused:
        case Recorder::Change::Resumed: {
            const bool resume = static_cast<Recorder::Change>(change) == Recorder::Change::Resumed;
            setInterval(app.form.时钟1, resume ? kStatusIntervalMs : 0);
            s.signal_active = resume ? 1 : 0;
            app.form.画板2->update();
            if (!resume) {
                showRecordingSize(app);
                ShowRecordedTime(app);
            }
            break;
        }
        case Recorder::Change::Stopping:
            onStopping(app);
            break;
        case Recorder::Change::Closed:
            onClosed(app);
            break;
        case Recorder::Change::Clipped:
            ShowClipWarning(app);
            return;
        case Recorder::Change::Unprotected:
            // A notice, not a message box: the take goes on and the keyboard stays with the list.
            app.form.标签_录音保护->show();
            return;
        case Recorder::Change::MemoryLow:
            StopAtLowMemory(app);
            return;
        case Recorder::Change::InputChanged:
            if (app.recorder->input() != Recorder::Input::Closed &&
                intervalOf(app.form.时钟_录音收尾) == 0) {
                setInterval(app.form.时钟_录音收尾, kWatchIntervalMs);
            }
            break;
    }
    FollowRecorder(app);
}

void OnRecorderTick(App& app) {
    MainForm& f = app.form;
    if (!app.device_worker) {
        return;  // the window is closing: the recorder's device calls are over
    }
    app.recorder->poll();
    // A kept input whose device went is tried again now and then, quietly.
    if (app.recorder->input() == Recorder::Input::Lost && app.state.options.keep_input &&
        app.recorder->state() == Recorder::State::Idle && app.device_worker->outstanding() == 0 &&
        ++app.state.input_retry_ticks * intervalOf(f.时钟_录音收尾) >= kInputRetryMs) {
        app.state.input_retry_ticks = 0;
        app.state.input_device = -1;
        KeepInputOpen(app);
    }
    const audio::Handle channel = app.recorder->channel();
    const bool waiting =
        app.device_worker->busyFor() > std::chrono::milliseconds(kServerPatienceMs) ||
        (channel != 0 && app.engine.captureStalled(channel));
    if (waiting == f.标签_声音服务->isHidden()) {
        setTextFitted(f.标签_声音服务, Texts::tr("声音服务没有响应，正在等待……"));
        f.标签_声音服务->setVisible(waiting);
    }
    app.recorder->refreshInputAfterStall();
    // Quick while a take moves on, unhurried while only a kept input is watched, off otherwise.
    // A take that simply records needs no quick look: the receiver does its work.
    const bool busy =
        app.recorder->needsPolling() || waiting || app.device_worker->outstanding() != 0;
    const bool watching = app.recorder->input() != Recorder::Input::Closed || TakeRunning(app);
    setInterval(f.时钟_录音收尾, busy ? kPollIntervalMs : watching ? kWatchIntervalMs : 0);
}

}  // namespace quillar
