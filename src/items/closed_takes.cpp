#include "items/closed_takes.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <memory>

#include "items/item_list.h"
#include "items/pending_saving.h"
#include "items/recording_marks.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "naming/recording_names.h"
#include "playback/audition.h"
#include "record/recorder.h"
#include "record/recording_control.h"
#include "record/saving.h"
#include "record/size_texts.h"
#include "record/take.h"
#include "record/take_annotation.h"
#include "record/take_info.h"
#include "record/take_log.h"
#include "record/take_logging.h"
#include "record/take_metadata.h"
#include "record/take_naming.h"
#include "record/take_safety.h"
#include "record/wav_image.h"

namespace quillar {

namespace {

// The take was not written: say why and what became of it, so that nobody moves on believing it
// is saved, or fearing it is lost.
void reportFailedAutoSave(App& app, const QString& lead, const QString& path, int error,
                          PendingKept kept) {
    QString text =
        lead + (path.isEmpty()
                    ? Texts::tr("没有设置自动保存路径，录音没有自动保存。\n")
                    : Texts::tr("录音没有自动保存（%1），无法写入文件：\n%2\n")
                          .arg(SaveErrorText(error), ElideMiddle(QDir::toNativeSeparators(path))));
    switch (kept) {
        case PendingKept::OnDisk:
            text +=
                path.isEmpty()
                    ? Texts::tr("\n这段录音已暂存于 %1，设置自动保存路径后会自动保存，不会丢失。")
                          .arg(ElideMiddle(QDir::toNativeSeparators(JournalFolder())))
                    : Texts::tr("\n这段录音已暂存于 %1，文件夹可以写入时会自动保存，不会丢失。")
                          .arg(ElideMiddle(QDir::toNativeSeparators(JournalFolder())));
            break;
        case PendingKept::InMemory:
            text += Texts::tr(
                "\n这段录音也无法暂存到磁盘，暂时保留在内存中，文件夹可以写入时会自动保存；"
                "退出前请先保存。");
            break;
        case PendingKept::No:
            text += Texts::tr("\n录音仍在内存中，可以用“保存录音”另行保存。");
            break;
    }
    app.ui.message(&app.form, Texts::tr("系统提示"), text, MessageIcon::Error);
}

// The take saved to the item and folder it began on. The path written, or empty when nothing
// was (a failure already reported, after `lead`).
QString autoSave(App& app, Take& take, const QString& lead = QString()) {
    const TakeTarget& target = take.target();
    const QString path =
        TakeFileOf(target.folder, target.item, target.occurrence, target.labels, target.started);
    const SaveResult saved =
        path.isEmpty() ? SaveResult{}
                       : writeWavImageFile(take.audio(), path, {}, TakeMetadataOf(take.info()),
                                           CleanFolder(target.folder));
    if (!saved) {
        reportFailedAutoSave(app, lead, path, saved.error, KeepTakePending(app, take));
        return QString();
    }
    take.dropJournal();  // safe in a file now
    KeepEarlierTakeAnnotation(path, saved.replaced);
    AnnotateSavedTake(path, take.info(), &take.check().judgement());
    LogTake(app, take, take.audio(), path, saved.replaced,
            target.handsFree ? kTakeHowAuto : kTakeHowEnter);
    const bool sameList = target.list == app.state.item_load_generation;
    if (sameList) {
        MarkTakeRecorded(app, target.row, target.item, path, take.check());
    } else {
        RefreshItemMarks(app);
    }
    if (sameList && app.form.列表框_录音文本列表->currentRow() == target.row &&
        CleanFolder(target.folder) == CleanFolder(app.form.编辑框_保存路径->text())) {
        ShowItemRecording(app, path);
    }
    // The folder takes files again: what waits for it follows.
    SavePendingTakes(app);
    return path;
}

// The take ended because its device went: saved as the next Enter would have done, to the item
// it began on, and said so. A failed save has said so in its own box and left the take pending.
void reportDeviceLoss(App& app, Take& take) {
    QString text = Texts::tr("录音设备已断开（设备被拔出或声音服务已停止），录音已停止。");
    if (take.savesToItem() && !take.audio().empty()) {
        const QString saved = autoSave(app, take, text);
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
    if (take.audio().empty()) {
        text += Texts::tr("断开之前没有录到声音。");
    } else {
        text += Texts::tr("断开之前录下的内容保留在内存中，可以用“保存录音”保存。");
    }
    app.ui.message(&app.form, Texts::tr("系统提示"), text, MessageIcon::Error);
}

// The newest take becomes record_buffer: 按钮2 plays it, 按钮3 saves it, and the texts show its
// time and size as its file holds them.
void adopt(App& app, const std::shared_ptr<Take>& take) {
    ProgramState& s = app.state;
    MainForm& f = app.form;
    // The audition plays record_buffer in place.
    app.engine.freeStream(s.audition_stream);
    StopAuditionIfRunning(app);
    const double seconds = take->seconds();
    s.record_buffer.swap(take->audio());
    take->audio().clear();
    s.latest_take = take;
    if (TakeRunning(app) || s.record_buffer.empty()) {
        return;  // the texts and buttons are the running take's, or an empty take says nothing
    }
    f.编辑框4->setText(Texts::tr("文件大小 ") + FormatByteSize(s.record_buffer.size()));
    f.编辑框2->setText(Texts::tr("录制时间 ") + FormatHms(static_cast<std::int32_t>(seconds)));
    f.按钮2->setEnabled(!s.record_buffer.empty());
    f.按钮3->setEnabled(!s.record_buffer.empty());
}

void fileTake(App& app, const std::shared_ptr<Take>& take) {
    Take& t = *take;
    if (!t.audio().empty()) {
        const TakeFormat& format = t.format();
        BuildWavImage(t.audio(), format.rate, bitsForSampleFlags(format.flags),
                      static_cast<std::uint16_t>(format.channels));
    }
    if (t.endedByLoss()) {
        reportDeviceLoss(app, t);
    } else if (t.savesToItem() && !t.audio().empty()) {
        autoSave(app, t);
    }
    if (take == app.recorder->latestTake()) {
        adopt(app, take);
    } else if (!t.savesToItem()) {
        // A take of the user's (按钮1) that a newer take has replaced before it closed: its life
        // in memory ended with that take's start.
        t.dropJournal();
    }
}

}  // namespace

void SaveClosedTakes(App& app) {
    if (!app.recorder) {
        return;
    }
    bool filed = false;
    while (const std::shared_ptr<Take> take = app.recorder->nextClosedTake()) {
        fileTake(app, take);
        filed = true;
    }
    if (!filed) {
        return;
    }
    if (!TakeOnlyInMemory(app)) {
        app.form.标签_录音保护->hide();
    }
    if (app.recorder->takesUnderway() == 0) {
        // The boxes may have changed since the take began; the input follows them now.
        KeepInputOpen(app);
    }
}

}  // namespace quillar
