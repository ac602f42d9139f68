#include "items/item_list.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "items/hands_free_mode.h"
#include "items/pending_saving.h"
#include "items/recording_marks.h"
#include "kit/app.h"
#include "kit/drawing_board.h"
#include "kit/item_rows.h"
#include "kit/large_type_box.h"
#include "kit/main_form.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "naming/recording_names.h"
#include "playback/file_playback.h"
#include "playback/prompt_playback.h"
#include "playback/waveform_view.h"
#include "record/hands_free.h"
#include "record/recorder.h"
#include "record/recording_control.h"
#include "record/saving.h"
#include "record/take_info.h"
#include "record/take_log.h"
#include "record/take_logging.h"
#include "record/take_naming.h"

namespace quillar {

void ShowItemRecording(App& app, const QString& path) {
    app.form.编辑框_当前录音文件->setText(path);
    app.form.按钮_播放录音->setEnabled(true);
    ShowWaveform(app, path);
}

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
    const ListNaming naming = ListNamingNow(app);
    return TemplateRecordingPath(app.form.编辑框_保存路径->text(), naming.tmpl,
                                 CurrentItemEntry(app), OccurrenceOfRow(app, list->currentRow()),
                                 naming.context);
}

void ShowCurrentItemRecording(App& app) {
    const QString path = RecordingPathOf(app);
    if (app.form.编辑框_当前录音文件->text().isEmpty() && !path.isEmpty() &&
        QFileInfo(path).isFile()) {
        ShowItemRecording(app, path);
    }
}

void OnItemSelected(App& app) {
    MainForm& f = app.form;
    // The file of the item left behind must not go on playing over the new item's waveform,
    // nor its prompt over the next item.
    EndCurrentRecordingPlayback(app);
    StopPrompt(app);
    const ItemEntry entry = CurrentItemEntry(app);
    f.编辑框_当前录音文本->showItem(entry.item, entry.note, entry.gloss);
    const QString path = RecordingPathOf(app);
    f.编辑框_当前录音文件->clear();
    f.按钮_播放录音->setEnabled(false);
    for (DrawingBoard* board : {f.画板3, f.画板4}) {
        board->clear();
        board->update();
    }
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        ShowItemRecording(app, path);
    }
    if (app.hands_free) {
        app.hands_free->selectionMoved();  // hands-free listens for the new item
    }
}

void OnItemListKeyDown(App& app, int keyCode, int shift) {
    if (keyCode == kKeyEnter) {
        // At once, whatever earlier takes still collect their post-roll; a prompt still playing
        // is cut, as the speaker has heard enough of it. Hands-free, the mode knows of the take
        // it starts or stops (a take begun before the mode is Enter's alone).
        StopPrompt(app);
        const HandsFree* mode = app.hands_free.get();
        const bool modeTake = mode != nullptr && (mode->phase() == HandsFree::Phase::Recording ||
                                                  mode->phase() == HandsFree::Phase::ByHand);
        if (mode != nullptr && mode->on() && (modeTake || !TakeRunning(app))) {
            app.hands_free->enter();
        } else {
            ToggleRecording(app, true);
        }
    } else if (keyCode == kKeyF3) {
        SelectNextUnrecorded(app, (shift & kShiftDown) != 0);
    } else if (keyCode == kKeyF4) {
        SelectNextRedo(app, (shift & kShiftDown) != 0);
    } else if (keyCode == kKeyControl) {
        const QString path = app.form.编辑框_当前录音文件->text();
        if (TakeRunning(app) || TakeClosing(app)) {
            // Another item's recording would play into the take; the key is answered all the
            // same, whether or not this item has a recording.
            ShowNoPlaybackDuringTake(app);
        } else if (!path.isEmpty() && QFileInfo(path).isFile()) {
            PlayCurrentRecording(app);
        }
    }
}

void OnRecordingDeviceLost(App& app) {
    // Ends the take (saved once closed, SaveClosedTakes) or, between takes, notes the kept input
    // as lost without a word.
    StopAtDeviceLoss(app);
}

void StopAndSaveRunningTake(App& app) {
    // Only the take that runs: those closing keep their own folder and post-roll.
    if (TakeRunning(app)) {
        ToggleRecording(app, true);
    }
}

}  // namespace quillar
