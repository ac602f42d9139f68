#include "record/recording_control.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QThread>
#include <vector>

#include "kit/app.h"
#include "kit/drawing_board.h"
#include "kit/item_rows.h"
#include "kit/main_form.h"
#include "kit/queued_calls.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "playback/audition.h"
#include "playback/file_playback.h"
#include "playback/prompt_playback.h"
#include "record/clip_check.h"
#include "record/device_worker.h"
#include "record/hands_free.h"
#include "record/monitoring.h"
#include "record/recorder.h"
#include "record/size_texts.h"
#include "record/status_display.h"
#include "record/take_info.h"
#include "record/take_naming.h"
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
// How often a take that records has its frames collected from the capture ring and checked.
constexpr int kCollectIntervalMs = 30;

void showRecordingSize(App& app) {
    app.form.编辑框4->setText(QString(kFileSizeLabel) + FormatByteSize(ShownRecording(app).size()));
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

// What the new take belongs to: the item, list and folder of this moment, whatever is selected,
// loaded or set when it stops or closes.
TakeTarget targetNow(const App& app, bool enter, bool handsFree = false) {
    const QListWidget* list = app.form.列表框_录音文本列表;
    const QListWidgetItem* item = list->currentItem();
    const ItemEntry entry = CurrentItemEntry(app);
    TakeTarget target;
    target.item = entry.item;
    target.occurrence = OccurrenceOfRow(app, list->currentRow());
    target.row = item != nullptr ? list->currentRow() : -1;
    target.list = app.state.item_load_generation;
    target.folder = app.form.编辑框_保存路径->text();
    target.started = QDateTime::currentDateTime();
    target.device = app.form.组合框1->currentText();
    target.enter = enter;
    target.handsFree = handsFree;
    TakeLabels& labels = target.labels;
    labels.id = entry.id;
    labels.note = entry.note;
    labels.gloss = entry.gloss;
    labels.list = app.form.编辑框_录音文本源路径->text();
    labels.session = app.state.session;
    LabelTakeNaming(app, labels);
    labels.annotate = app.state.options.annotations;
    return target;
}

// Everything that must be out of the way before a take begins.
void prepareForTake(App& app) {
    MainForm& f = app.form;
    ProgramState& s = app.state;
    // The audition plays record_buffer in place: it must end before the buffer is dropped.
    app.engine.freeStream(s.audition_stream);
    StopAuditionIfRunning(app);
    // A saved take or a prompt still playing would be heard by the microphone and land in the
    // new one.
    EndCurrentRecordingPlayback(app);
    StopPrompt(app);
    // The take before, if the user never saved it, is let go now with its journal.
    f.标签_录音保护->hide();
    if (s.latest_take) {
        s.latest_take->dropJournal();
        s.latest_take.reset();
    }
    s.record_buffer.clear();
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

void reportStartFailed(App& app) {
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

// The running take reached the WAV size limit: stop as the user would, unless the user already
// stopped it before this call came round.
void StopAtSizeLimit(App& app) {
    const Take* take = app.recorder->runningTake();
    if (take == nullptr || !take->reachedSizeLimit()) {
        return;
    }
    stopKeepingTake(app, Texts::tr("录音已达到 WAV 文件能记录的最大长度（约 4 GB），已自动停止。"));
}

void fileClosedTakes(App& app) {
    if (app.file_closed_takes) {
        app.file_closed_takes();
    }
}

// Runs `fn` on the window thread once the current handler, and the notification it may be in,
// has returned.
void later(App& app, std::function<void()> fn) {
    app.form.queuedCalls->post(std::move(fn));
}

}  // namespace

bool TakeRunning(const App& app) {
    const RecordingState state = app.state.recording_state;
    return state == RecordingState::Recording || state == RecordingState::Paused;
}

bool TakeClosing(const App& app) {
    return app.recorder && app.recorder->takesUnderway() > 0 && !TakeRunning(app);
}

const RecordBuffer& ShownRecording(const App& app) {
    if (app.recorder) {
        if (const std::shared_ptr<Take>& take = app.recorder->latestTake();
            take && take->underway()) {
            return take->audio();
        }
    }
    return app.state.record_buffer;
}

bool LetClosingTakesFinish(App& app, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    // The device worker's completions and the timers run meanwhile; keys and clicks wait until
    // the window has decided whether it closes.
    while (app.recorder->takesUnderway() > 0 && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        app.recorder->poll();
        if (app.recorder->takesUnderway() > 0) {
            QThread::msleep(10);
        }
    }
    app.recorder->finishNow();
    // A take's own device still closing on the worker: a moment for its completion.
    for (int i = 0; i < 100 && app.recorder->takesUnderway() > 0; ++i) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        QThread::msleep(10);
        app.recorder->finishNow();
    }
    FollowRecorder(app);
    fileClosedTakes(app);
    return app.recorder->takesUnderway() == 0;
}

bool StopAtDeviceLoss(App& app) {
    const audio::Handle channel = app.recorder->channel();
    if (channel == 0 || !app.engine.captureLost(channel)) {
        return false;
    }
    const bool running = TakeRunning(app);
    app.recorder->deviceLost();
    FollowRecorder(app);
    fileClosedTakes(app);
    return running;
}

void StopAtLowMemory(App& app) {
    if (!TakeRunning(app)) {
        return;
    }
    stopKeepingTake(app, Texts::tr("电脑的可用内存快要用完了，录音已自动停止。"));
}

void ToggleRecording(App& app) {
    ToggleRecording(app, false);
}

void ToggleRecording(App& app, bool fromItemList) {
    Recorder& recorder = *app.recorder;
    if (Take* take = recorder.runningTake()) {
        if (fromItemList) {
            take->saveToItem();  // Enter stops a take into its item, however it began
        }
        recorder.stop(static_cast<std::uint32_t>(app.state.options.postroll_ms));
    } else {
        prepareForTake(app);
        const Recorder::Format format = chosenFormat(app);
        // Before the first block: a monitoring stream armed in another format would play these
        // bytes as that format (16-bit samples heard as floats are full-scale noise).
        MatchMonitoringToRecording(app, format.rate, format.flags);
        recorder.start(app.form.组合框1->currentIndex(), format,
                       static_cast<std::uint32_t>(app.state.options.effectivePrerollMs()),
                       targetNow(app, fromItemList));
    }
    FollowRecorder(app);
    fileClosedTakes(app);
}

bool StartHandsFreeTake(App& app, std::optional<std::uint64_t> onset) {
    Recorder& recorder = *app.recorder;
    if (recorder.runningTake() != nullptr) {
        return false;
    }
    if (!onset) {
        ToggleRecording(app, true);
        return recorder.runningTake() != nullptr;
    }
    const Recorder::Format format = chosenFormat(app);
    if (recorder.input() != Recorder::Input::Open || !(recorder.format() == format)) {
        return false;
    }
    prepareForTake(app);
    MatchMonitoringToRecording(app, format.rate, format.flags);
    const bool started = recorder.startAt(
        *onset, format, static_cast<std::uint32_t>(app.state.options.effectivePrerollMs()),
        targetNow(app, true, true));
    FollowRecorder(app);
    if (!started && recorder.takesUnderway() == 0) {
        setSettingsEnabled(app.form, true);
    }
    fileClosedTakes(app);
    return started;
}

quality::Judgement StopHandsFreeTake(App& app, std::optional<std::uint64_t> end) {
    Recorder& recorder = *app.recorder;
    Take* take = recorder.runningTake();
    if (take == nullptr) {
        return quality::Judgement{};
    }
    take->saveToItem();
    const std::uint32_t post = static_cast<std::uint32_t>(app.state.options.postroll_ms);
    if (!end || !recorder.stopAt(*end, post)) {
        recorder.stop(post);
    }
    // What has come so far is judged now, before the post-roll (silence) is in.
    const std::shared_ptr<Take> stopped = recorder.latestTake();
    recorder.poll();
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    recorder.checkTake(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    const quality::Judgement judgement =
        stopped ? stopped->check().judgementSoFar() : quality::Judgement{};
    FollowRecorder(app);
    fileClosedTakes(app);
    return judgement;
}

void FeedHandsFree(App& app) {
    if (!app.hands_free || !app.recorder) {
        return;
    }
    HandsFree& mode = *app.hands_free;
    ProgramState& s = app.state;
    const RecordingOptions& o = s.options;
    if (!o.hands_free || !o.keep_input) {
        if (mode.on()) {
            // A take running when the mode ends is stopped and saved as by Enter.
            if (mode.phase() == HandsFree::Phase::Recording ||
                mode.phase() == HandsFree::Phase::ByHand) {
                StopHandsFreeTake(app, std::nullopt);
            }
            mode.end();
        }
        return;
    }
    const Recorder& r = *app.recorder;
    const audio::Handle channel = r.input() == Recorder::Input::Open ? r.channel() : 0;
    const quality::VoiceSettings settings{static_cast<double>(o.sensitivity_db), o.silence_ms};
    const std::uint32_t channels = channel != 0 ? app.engine.channelCount(channel) : 0;
    const std::uint32_t rate = channel != 0 ? app.engine.sampleRate(channel) : 0;
    // The input's last moments, which the engine still holds, give the noise floor at once.
    bool past = false;
    if (!mode.on()) {
        mode.begin(rate, channels, settings);
        s.hands_free_channel = channel;
        s.hands_free_cursor = 0;
        past = true;
    } else {
        mode.setSettings(settings);
    }
    if ((mode.phase() == HandsFree::Phase::Recording || mode.phase() == HandsFree::Phase::ByHand) &&
        r.runningTake() == nullptr) {
        mode.takeStoppedElsewhere();  // a list load, a lost device, the size limit
    }
    if (channel != s.hands_free_channel) {
        s.hands_free_channel = channel;
        s.hands_free_cursor = 0;
        past = true;
        if (channel != 0) {
            mode.inputChanged(rate, channels);
        }
    }
    mode.inputAvailable(channel != 0);
    if (channel == 0 || channels == 0) {
        return;
    }
    constexpr std::uint32_t kChunkFrames = 4096;
    static std::vector<float> buffer;
    buffer.resize(std::size_t{kChunkFrames} * channels);
    // Each piece is heard before the next is read: a take begun on it is running for the next.
    while (app.hands_free && mode.on() && s.hands_free_channel == channel) {
        const std::uint32_t got =
            app.engine.samplesSince(channel, &s.hands_free_cursor, buffer.data(), kChunkFrames);
        if (got == 0) {
            break;
        }
        // Nothing begins while a dialog holds the window (the options, a message): what was
        // said meanwhile is passed over, not taken as the next item's.
        if (past) {
            mode.feedPast(buffer.data(), got, s.hands_free_cursor - got);
        } else if (QApplication::activeModalWidget() == nullptr) {
            mode.feed(buffer.data(), got, s.hands_free_cursor - got);
        }
        if (got < kChunkFrames) {
            break;
        }
    }
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

JournalSetup journalSetup(App& app) {
    JournalSetup setup;
    setup.folder = [] { return JournalFolder(); };
    setup.post = [&app](std::function<void()> fn) { later(app, std::move(fn)); };
    return setup;
}

}  // namespace

void MakeRecorder(App& app, std::function<void(int)> then) {
    if (!app.device_worker) {
        app.device_worker = std::make_shared<DeviceWorker>(
            [&app](std::function<void()> fn) { later(app, std::move(fn)); });
    }
    app.recorder = std::make_shared<Recorder>(
        app.engine, *app.device_worker,
        [&app, then = std::move(then)](Recorder::Change change) {
            OnRecorderChange(app, static_cast<int>(change));
            if (then) {
                then(static_cast<int>(change));
            }
        },
        RecorderShared{&app.state.last_block_size});
    app.recorder->keepJournals(journalSetup(app));
}

void KeepInputOpen(App& app) {
    if (!app.device_worker) {
        return;  // the window is closing
    }
    Recorder& recorder = *app.recorder;
    if (recorder.takesUnderway() > 0) {
        return;  // the boxes are disabled during a take; the last take's close comes back here
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
    if (app.recorder->needsPolling() && intervalOf(f.时钟_录音收尾) != kPollIntervalMs) {
        setInterval(f.时钟_录音收尾, kPollIntervalMs);
    }
}

void OnRecorderChange(App& app, int change) {
    ProgramState& s = app.state;
    switch (static_cast<Recorder::Change>(change)) {
        case Recorder::Change::Started:
            onStarted(app);
            break;
        case Recorder::Change::StartFailed:
            onStopping(app);
            if (app.recorder->takesUnderway() == 0) {
                setSettingsEnabled(app.form, true);
            }
            later(app, [&app] { reportStartFailed(app); });
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
            // Saved once this notification is over (the wiring's SaveClosedTakes).
            if (app.recorder->takesUnderway() == 0) {
                setSettingsEnabled(app.form, true);
            }
            break;
        case Recorder::Change::Clipped:
            ShowClipWarning(app);
            return;
        case Recorder::Change::Unprotected:
            // A notice, not a message box: the take goes on and the keyboard stays with the list.
            app.form.标签_录音保护->show();
            return;
        case Recorder::Change::MemoryLow:
            later(app, [&app] { StopAtLowMemory(app); });
            return;
        case Recorder::Change::SizeLimit:
            later(app, [&app] { StopAtSizeLimit(app); });
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
    FeedHandsFree(app);
    // Quick while a take closes or a device call runs, steady while a take only records (its
    // frames are collected here), unhurried while only a kept input is watched, off otherwise.
    const Recorder& r = *app.recorder;
    const bool closing = r.takesUnderway() > (r.runningTake() != nullptr ? 1U : 0U);
    const bool busy = closing || waiting || app.device_worker->outstanding() != 0 ||
                      r.state() == Recorder::State::Opening;
    const bool watching = r.input() != Recorder::Input::Closed || TakeRunning(app);
    fileClosedTakes(app);
    const bool listening = app.hands_free && app.state.options.hands_free;
    setInterval(f.时钟_录音收尾, busy                            ? kPollIntervalMs
                                 : r.needsPolling() || listening ? kCollectIntervalMs
                                 : watching                      ? kWatchIntervalMs
                                                                 : 0);
}

}  // namespace quillar
