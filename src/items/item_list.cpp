#include "items/item_list.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "items/recording_marks.h"
#include "kit/app.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "kit/ui_seam.h"
#include "playback/file_playback.h"
#include "playback/waveform_view.h"
#include "record/recording_control.h"
#include "record/saving.h"
#include "record/take_log.h"
#include "record/take_logging.h"

namespace quillar {

namespace {

QString currentItemText(const App& app) {
    const QListWidgetItem* item = app.form.列表框_录音文本列表->currentItem();
    return item != nullptr ? item->text() : QString();
}

// Which occurrence of its text the item at `row` is: 1 for the first in list order.
int occurrenceOf(const QListWidget* list, int row) {
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

void showRecording(App& app, const QString& path) {
    app.form.编辑框_当前录音文件->setText(path);
    app.form.按钮_播放录音->setEnabled(true);
    ShowWaveform(app, path);
}

// The recording is still in record_buffer: say so, so that nobody moves on believing it is saved.
void reportFailedAutoSave(App& app, const QString& path) {
    const QString where = path.isEmpty()
                              ? QStringLiteral("没有设置自动保存路径，录音没有自动保存。")
                              : QStringLiteral("录音没有自动保存，无法写入文件：\n%1\n")
                                    .arg(QDir::toNativeSeparators(path));
    app.ui.message(&app.form, QStringLiteral("系统提示"),
                   where + QStringLiteral("\n录音仍在内存中，可以用“保存录音”另行保存。"),
                   MessageIcon::Error);
}

// The path written, or empty when nothing was (an empty take, or a failure already reported).
QString autoSave(App& app) {
    const QString path = RecordingPathOf(app);
    // An empty recording writes nothing and says nothing: an existing file of the item stays.
    if (app.state.record_buffer.empty()) {
        return QString();
    }
    if (path.isEmpty()) {
        reportFailedAutoSave(app, path);
        return QString();
    }
    if (const SaveResult saved = WriteRecordingFile(app, path)) {
        MarkSelectedItemRecorded(app, path, app.state.take_clipped);
        LogTake(app, path, saved.replaced, kTakeHowEnter);
        showRecording(app, path);
        return path;
    }
    reportFailedAutoSave(app, path);
    return QString();
}

}  // namespace

QString RecordingPathOf(const QString& folder, const QString& item) {
    return RecordingPathOf(folder, item, 1);
}

QString RecordingPathOf(const QString& folder, const QString& item, int occurrence) {
    // Without a folder the path would begin at "/": that is no place for recordings.
    if (QString(folder).remove(u'\t').trimmed().isEmpty()) {
        return QString();
    }
    QString name = item;
    name.replace(u'/', u'_').replace(QChar(u'\0'), u'_');
    if (occurrence > 1) {
        name += QStringLiteral(" (%1)").arg(occurrence);
    }
    QString path = (folder + u'/' + name + QStringLiteral(".wav")).trimmed();
    path.remove(u'\t');
    return path;
}

QString RecordingPathOf(App& app) {
    const QListWidget* list = app.form.列表框_录音文本列表;
    return RecordingPathOf(app.form.编辑框_保存路径->text(), currentItemText(app),
                           occurrenceOf(list, list->currentRow()));
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
        const bool starting = app.form.按钮1->text() == QStringLiteral("开始录音");
        ToggleRecording(app);
        if (app.form.编辑框1->text() == QStringLiteral("停止中")) {
            autoSave(app);
        } else if (starting) {
            app.state.take_begun_with_enter = true;
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
    if (!StopAtDeviceLoss(app)) {
        return;
    }
    // As the next Enter would have done; the item is still the selected one, since the
    // selection does not move while a take runs from the list.
    const QString saved = app.state.take_begun_with_enter ? autoSave(app) : QString();
    QString text = QStringLiteral("录音设备已断开（设备被拔出或声音服务已停止），录音已停止。");
    if (app.state.record_buffer.empty()) {
        text += QStringLiteral("断开之前没有录到声音。");
    } else if (!saved.isEmpty()) {
        text += QStringLiteral("断开之前录下的内容已自动保存为：\n%1\n也可以用“保存录音”另行保存。")
                    .arg(QDir::toNativeSeparators(saved));
    } else {
        text += QStringLiteral("断开之前录下的内容保留在内存中，可以用“保存录音”保存。");
    }
    app.ui.message(&app.form, QStringLiteral("系统提示"), text, MessageIcon::Error);
}

}  // namespace quillar
