#include "record/recording_control.h"

#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "kit/app.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "playback/audition.h"
#include "playback/file_playback.h"
#include "record/clip_check.h"
#include "record/monitoring.h"
#include "record/size_texts.h"
#include "record/status_display.h"
#include "record/take_info.h"
#include "record/take_safety.h"
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
constexpr std::uint32_t kChannels = 2;

void showRecordingSize(App& app) {
    app.form.编辑框4->setText(QString(kFileSizeLabel) +
                              FormatByteSize(app.state.record_buffer.size()));
}

// The captions of 按钮1 and 按钮4 and the state text of 编辑框1, from the state alone.
void showState(App& app) {
    MainForm& f = app.form;
    const RecordingState state = app.state.recording_state;
    f.按钮1->setText(state == RecordingState::Idle ? kStartCaption : kStopCaption);
    f.按钮4->setText(state == RecordingState::Paused ? kResumeCaption : kPauseCaption);
    f.编辑框1->setText(state == RecordingState::Idle     ? kStateStopped
                       : state == RecordingState::Paused ? kStatePaused
                                                         : kStateRecording);
}

void setSettingsEnabled(MainForm& f, bool enabled) {
    f.组合框1->setEnabled(enabled);
    f.组合框2->setEnabled(enabled);
    f.组合框3->setEnabled(enabled);
}

// False when the device could not be opened or capture could not start; the window is then
// left half-way and the caller takes it back to idle.
bool StartRecording(App& app) {
    MainForm& f = app.form;
    ProgramState& s = app.state;

    // The audition plays record_buffer in place: it must end before the buffer is dropped.
    app.engine.freeStream(s.audition_stream);
    StopAuditionIfRunning(app);
    // A saved take still playing would be heard by the microphone and land in the new one.
    EndCurrentRecordingPlayback(app);
    // The previous take is discarded now, and its journal with it; the journal's thread must be
    // gone before the buffer is cleared.
    EndTakeJournal(app);
    s.record_buffer.clear();
    s.take_begun_with_enter = false;  // the item list says so after the start
    s.signal_active = 1;
    setSettingsEnabled(f, false);
    f.按钮2->setEnabled(false);
    f.按钮3->setEnabled(false);

    const int device = f.组合框1->currentIndex();
    const std::uint32_t rate = f.组合框2->currentData().toUInt();
    const std::uint32_t flags = f.组合框3->currentData().toUInt();
    // Before the first block: a monitoring stream armed in another format would play these
    // bytes as that format (16-bit samples heard as floats are full-scale noise).
    MatchMonitoringToRecording(app, rate, flags);
    if (device < 0 || !app.engine.openCapture(device)) {
        return false;
    }
    const audio::Handle channel =
        app.engine.startCapture(rate, kChannels, flags, &OnRecordData, &app);
    if (channel == 0) {
        return false;
    }
    // Known now rather than at the first block, so a pause within the first 100 ms really
    // pauses the device instead of going to a handle of 0 while capture runs on. The callback
    // stores the same value.
    s.record_handle.store(channel, std::memory_order_release);
    BeginTakeCheck(app, bitsForSampleFlags(flags));

    // The take belongs to the item and folder of this moment, whatever is selected at its stop.
    TakeInfo take;
    const QListWidget* list = f.列表框_录音文本列表;
    const QListWidgetItem* item = list->currentItem();
    take.item = item != nullptr ? item->text() : QString();
    take.occurrence = occurrenceOfRow(list, list->currentRow());
    take.folder = f.编辑框_保存路径->text();
    take.rate = rate;
    take.bits = bitsForSampleFlags(flags);
    take.channels = kChannels;
    take.device = f.组合框1->currentText();
    take.started = QDateTime::currentDateTime();
    s.take_item = take.item;
    s.take_occurrence = take.occurrence;
    s.take_row = item != nullptr ? list->currentRow() : -1;
    s.take_folder = take.folder;
    s.take_started = take.started;
    BeginTakeJournal(app, take);

    f.标签4->hide();
    f.按钮4->setEnabled(true);
    setInterval(f.时钟1, kStatusIntervalMs);
    f.编辑框1->setText(kStateRecording);
    setTextFitted(f.标签4, kNoticeNoSignal);
    return true;
}

void StopRecording(App& app) {
    MainForm& f = app.form;
    ProgramState& s = app.state;

    f.画板2->update();
    setInterval(f.时钟1, 0);
    f.编辑框1->setText(kStateStopped);
    setTextFitted(f.标签4, kNoticeWaiting);
    f.按钮4->setText(kPauseCaption);
    f.按钮4->setEnabled(false);
    s.signal_active = 0;
    // After this no block arrives, so the buffer is the GUI thread's alone again.
    app.engine.freeCapture();
    // Before the header goes in front of the data: the journal reads the data where it lies.
    FinishTakeJournal(app);

    setSettingsEnabled(f, true);
    if (s.record_buffer.empty()) {
        return;
    }
    f.按钮2->setEnabled(true);
    f.按钮3->setEnabled(true);
    const std::uint32_t rate = f.组合框2->currentData().toUInt();
    const std::uint16_t bits = bitsForSampleFlags(f.组合框3->currentData().toUInt());
    BuildWavImage(s.record_buffer, rate, bits, kChannels);
    FinishTakeCheck(app);
    showRecordingSize(app);
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
    return app.state.recording_state != RecordingState::Idle;
}

bool StopAtDeviceLoss(App& app) {
    const audio::Handle channel = app.state.record_handle.load(std::memory_order_acquire);
    if (!TakeRunning(app) || !app.engine.captureLost(channel)) {
        return false;
    }
    ToggleRecording(app);
    return true;
}

void StopAtLowMemory(App& app) {
    if (!TakeRunning(app)) {
        return;
    }
    stopKeepingTake(app, Texts::tr("电脑的可用内存快要用完了，录音已自动停止。"));
}

std::uint16_t bitsForSampleFlags(std::uint32_t flags) {
    if (flags & audio::kSample8Bit) {
        return 8;
    }
    if (flags & audio::kSampleFloat) {
        return 32;
    }
    return 16;
}

void ToggleRecording(App& app) {
    MainForm& f = app.form;
    ProgramState& s = app.state;
    if (s.recording_state == RecordingState::Idle) {
        f.按钮1->setText(kStopCaption);
        s.recording_state = RecordingState::Recording;
        if (StartRecording(app)) {
            showState(app);
            return;
        }
        s.recording_state = RecordingState::Idle;
        // Nothing records: never show "录制中" over a dead device. Back to idle exactly as after
        // an empty recording, so an Enter-driven auto-save finds nothing to write.
        f.按钮1->setText(kStartCaption);
        StopRecording(app);
        showState(app);
        app.ui.message(&f, kMessageTitle,
                       Texts::tr("无法打开录音设备，请检查录音设备是否连接或被其他程序占用。"),
                       MessageIcon::Error);
        return;
    }
    f.按钮1->setText(kStartCaption);
    s.recording_state = RecordingState::Idle;
    StopRecording(app);
    showState(app);
}

void PauseOrResume(App& app) {
    MainForm& f = app.form;
    ProgramState& s = app.state;
    // Only a running take pauses; 按钮4 is disabled otherwise, and this keeps it so.
    if (s.recording_state == RecordingState::Idle) {
        return;
    }
    const bool resume = s.recording_state == RecordingState::Paused;
    s.recording_state = resume ? RecordingState::Recording : RecordingState::Paused;

    showState(app);
    setInterval(f.时钟1, resume ? kStatusIntervalMs : 0);
    s.signal_active = resume ? 1 : 0;
    f.画板2->update();
    const audio::Handle channel = s.record_handle.load(std::memory_order_acquire);
    if (resume) {
        app.engine.play(channel, false);
    } else {
        // The device finishes the chunk in flight before the pause returns, so the size and
        // time shown while paused are taken afterwards: they count exactly what is kept.
        app.engine.pause(channel);
        showRecordingSize(app);
        ShowRecordedTime(app);
    }
}

bool OnRecordData(audio::Handle channel, const void* data, std::uint32_t bytes, void* user) {
    App& app = *static_cast<App*>(user);
    ProgramState& s = app.state;
    s.record_handle.store(channel, std::memory_order_release);
    s.last_block_size.store(bytes, std::memory_order_release);

    const bool alreadyRefused = s.record_buffer.refusedAppend();
    if (!s.record_buffer.append(data, bytes)) {
        if (!alreadyRefused) {
            QMetaObject::invokeMethod(
                &app.form, [&app] { StopAtSizeLimit(app); }, Qt::QueuedConnection);
        }
        return false;
    }

    const audio::Handle monitor = s.monitor_stream.load(std::memory_order_acquire);
    app.engine.pushData(monitor, data, bytes);
    app.engine.play(monitor, false);
    return true;
}

}  // namespace quillar
