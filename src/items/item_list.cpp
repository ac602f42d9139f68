#include "items/item_list.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "items/pending_saving.h"
#include "items/recording_marks.h"
#include "kit/app.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "naming/recording_names.h"
#include "playback/file_playback.h"
#include "playback/waveform_view.h"
#include "record/recorder.h"
#include "record/recording_control.h"
#include "record/saving.h"
#include "record/take_info.h"
#include "record/take_log.h"
#include "record/take_logging.h"

namespace quillar {

namespace {

QString currentItemText(const App& app) {
    const QListWidgetItem* item = app.form.列表框_录音文本列表->currentItem();
    return item != nullptr ? item->text() : QString();
}

void showRecording(App& app, const QString& path) {
    app.form.编辑框_当前录音文件->setText(path);
    app.form.按钮_播放录音->setEnabled(true);
    ShowWaveform(app, path);
}

// The take was not written: say why and what became of it, so that nobody moves on believing it
// is saved, or fearing it is lost.
void reportFailedAutoSave(App& app, const QString& lead, const QString& path, int error,
                          bool pending) {
    QString text =
        lead + (path.isEmpty()
                    ? Texts::tr("没有设置自动保存路径，录音没有自动保存。\n")
                    : Texts::tr("录音没有自动保存（%1），无法写入文件：\n%2\n")
                          .arg(SaveErrorText(error), ElideMiddle(QDir::toNativeSeparators(path))));
    if (pending) {
        text += path.isEmpty()
                    ? Texts::tr("\n这段录音已暂存于 %1，设置自动保存路径后会自动保存，不会丢失。")
                          .arg(ElideMiddle(QDir::toNativeSeparators(JournalFolder())))
                    : Texts::tr("\n这段录音已暂存于 %1，文件夹可以写入时会自动保存，不会丢失。")
                          .arg(ElideMiddle(QDir::toNativeSeparators(JournalFolder())));
    } else {
        text += Texts::tr("\n录音仍在内存中，可以用“保存录音”另行保存。");
    }
    app.ui.message(&app.form, Texts::tr("系统提示"), text, MessageIcon::Error);
}

// The take in record_buffer, saved to the item and folder it began on. The path written, or
// empty when nothing was (an empty take, or a failure already reported, after `lead`).
QString autoSave(App& app, const QString& lead = QString()) {
    ProgramState& s = app.state;
    // An empty recording writes nothing and says nothing: an existing file of the item stays.
    if (s.record_buffer.empty()) {
        return QString();
    }
    const QString path =
        TakeFilePath(s.take_folder, s.take_item, s.take_occurrence, s.take_started);
    const SaveResult saved = path.isEmpty() ? SaveResult{} : WriteRecordingFile(app, path);
    if (!saved) {
        reportFailedAutoSave(app, lead, path, saved.error, KeepTakePending(app));
        return QString();
    }
    MarkTakeRecorded(app, s.take_row, s.take_item, path, app.recorder->check().clipped());
    LogTake(app, path, saved.replaced, kTakeHowEnter);
    if (app.form.列表框_录音文本列表->currentRow() == s.take_row) {
        showRecording(app, path);
    }
    // The folder takes files again: what waits for it follows.
    SavePendingTakes(app);
    return path;
}

// The take ended because its device went: saved as the next Enter would have done, to the item
// it began on, and said so. A failed save has said so in its own box and left the take pending.
void reportDeviceLoss(App& app) {
    // As the next Enter would have done, to the item the take began on. A failed save has
    // said so in its own box and left the take pending.
    QString text = Texts::tr("录音设备已断开（设备被拔出或声音服务已停止），录音已停止。");
    if (app.state.take_begun_with_enter && !app.state.record_buffer.empty()) {
        const QString saved = autoSave(app, text);
        if (!saved.isEmpty()) {
            app.ui.message(
                &app.form, Texts::tr("系统提示"),
                text +
                    Texts::tr("断开之前录下的内容已自动保存为：\n%1\n也可以用“保存录音”另行保存。")
                        .arg(ElideMiddle(QDir::toNativeSeparators(saved))),
                MessageIcon::Error);
        }
        return;
    }
    if (app.state.record_buffer.empty()) {
        text += Texts::tr("断开之前没有录到声音。");
    } else {
        text += Texts::tr("断开之前录下的内容保留在内存中，可以用“保存录音”保存。");
    }
    app.ui.message(&app.form, Texts::tr("系统提示"), text, MessageIcon::Error);
}

}  // namespace

QString RecordingPathOf(const QString& folder, const QString& item) {
    return RecordingPathOf(folder, item, 1);
}

QString RecordingPathOf(const QString& folder, const QString& item, int occurrence) {
    const QString dir = CleanFolder(folder);
    if (dir.isEmpty()) {
        return QString();
    }
    const QString name = ItemFileName(item, occurrence, NameRulesOf(dir));
    return name.isEmpty() ? QString() : dir + u'/' + name;
}

QString RecordingPathOf(App& app) {
    const QListWidget* list = app.form.列表框_录音文本列表;
    return RecordingPathOf(app.form.编辑框_保存路径->text(), currentItemText(app),
                           occurrenceOfRow(list, list->currentRow()));
}

void ShowCurrentItemRecording(App& app) {
    const QString path = RecordingPathOf(app);
    if (app.form.编辑框_当前录音文件->text().isEmpty() && !path.isEmpty() &&
        QFileInfo(path).isFile()) {
        showRecording(app, path);
    }
}

void OnItemSelected(App& app) {
    MainForm& f = app.form;
    // The file of the item left behind must not go on playing over the new item's waveform.
    EndCurrentRecordingPlayback(app);
    f.编辑框_当前录音文本->setText(currentItemText(app));
    const QString path = RecordingPathOf(app);
    f.编辑框_当前录音文件->clear();
    f.按钮_播放录音->setEnabled(false);
    for (DrawingBoard* board : {f.画板3, f.画板4}) {
        board->clear();
        board->update();
    }
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        showRecording(app, path);
    }
}

void OnItemListKeyDown(App& app, int keyCode, int shift) {
    if (keyCode == kKeyEnter) {
        ProgramState& s = app.state;
        if (TakeClosing(app)) {
            // The next take, for the item selected now, begins once this one is saved.
            if (!s.queued_take) {
                const QListWidget* list = app.form.列表框_录音文本列表;
                s.queued_take = true;
                s.queued_item = currentItemText(app);
                s.queued_occurrence = occurrenceOfRow(list, list->currentRow());
                s.queued_row = list->currentItem() != nullptr ? list->currentRow() : -1;
                ToggleRecording(app);
            }
        } else if (TakeRunning(app)) {
            s.save_when_closed = true;
            ToggleRecording(app);  // saved when it has closed (OnTakeClosed)
        } else {
            ToggleRecording(app);
            if (TakeRunning(app)) {
                s.take_begun_with_enter = true;
            }
        }
    } else if (keyCode == kKeyF3) {
        SelectNextUnrecorded(app, (shift & kShiftDown) != 0);
    } else if (keyCode == kKeyF4) {
        SelectNextRedo(app, (shift & kShiftDown) != 0);
    } else if (keyCode == kKeyControl) {
        const QString path = app.form.编辑框_当前录音文件->text();
        if (!path.isEmpty() && QFileInfo(path).isFile()) {
            PlayCurrentRecording(app);
        }
    }
}

void OnRecordingDeviceLost(App& app) {
    // Ends the take (saved in OnTakeClosed once closed) or, between takes, notes the kept input
    // as lost without a word.
    StopAtDeviceLoss(app);
}

void OnTakeClosed(App& app) {
    ProgramState& s = app.state;
    if (s.closed_by_loss) {
        s.closed_by_loss = false;
        reportDeviceLoss(app);
    } else if (s.save_when_closed) {
        autoSave(app);
    }
    s.save_when_closed = false;
}

void StopAndSaveRunningTake(App& app) {
    if (TakeRunning(app)) {
        app.state.save_when_closed = true;
        ToggleRecording(app);
    }
    // No wait for the post-roll: the list or folder changes now, and the take is saved where
    // it began.
    if (TakeClosing(app)) {
        app.state.queued_take = false;
        FinishClosingTake(app);
    }
}

}  // namespace quillar
