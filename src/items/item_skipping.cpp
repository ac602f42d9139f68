#include "items/item_skipping.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <cstring>

#include "items/item_list.h"
#include "items/recording_marks.h"
#include "kit/app.h"
#include "kit/item_rows.h"
#include "kit/main_form.h"
#include "kit/skip_item_dialog.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "naming/name_template.h"
#include "naming/recording_names.h"
#include "record/recording_control.h"
#include "record/take_log.h"

namespace quillar {

void SkipCurrentItem(App& app) {
    // No window may take the keyboard from the list while a take runs, and a take closing would
    // write its line after the skip's and end it at once.
    if (TakeRunning(app) || TakeClosing(app)) {
        return;
    }
    MainForm& f = app.form;
    const int row = f.列表框_录音文本列表->currentRow();
    const ItemEntry entry = CurrentItemEntry(app);
    if (row < 0 || IsBlankItem(entry.item)) {
        return;
    }
    // The skip lies where the item's take would: the same folder, template subfolders and all.
    const QString path = RecordingPathOf(app);
    if (path.isEmpty()) {
        app.ui.message(&f, Texts::tr("跳过条目"),
                       Texts::tr("还没有设置录音文件自动保存路径，跳过的条目无处记录。"),
                       MessageIcon::Warning);
        return;
    }
    SkipItemDialog dialog(entry.item, &f);
    if (app.ui.runModal(dialog) != QDialog::Accepted || dialog.reason().isEmpty()) {
        return;
    }
    SkipLogEntry e;
    e.time = QDateTime::currentDateTime();
    e.item = entry.item;
    e.itemFile = f.编辑框_录音文本源路径->text();
    e.reason = dialog.reason();
    e.id = entry.id;
    if (app.state.session) {
        e.speaker = app.state.session->speaker.code;
        e.site = app.state.session->site.code;
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!MakeRecordingFolders(f.编辑框_保存路径->text(), path) || !AppendSkipLog(folder, e)) {
        const QString why = QString::fromLocal8Bit(std::strerror(errno));
        app.ui.message(&f, Texts::tr("跳过条目"),
                       Texts::tr("录音日志无法写入，条目没有标为跳过：\n%1\n%2")
                           .arg(QDir::toNativeSeparators(folder + u'/' + kTakeLogName), why),
                       MessageIcon::Warning);
        return;
    }
    MarkItemSkipped(app, row);
}

}  // namespace quillar
