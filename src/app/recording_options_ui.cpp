#include "app/recording_options_ui.h"

#include <QDir>
#include <QListWidget>

#include "app/export_ui.h"
#include "app/recording_options_file.h"
#include "app/settings.h"
#include "items/hands_free_mode.h"
#include "items/item_list.h"
#include "items/recording_marks.h"
#include "kit/app.h"
#include "kit/item_rows.h"
#include "kit/main_form.h"
#include "kit/recording_options_dialog.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "naming/name_template.h"
#include "record/recording_control.h"
#include "record/take_naming.h"

namespace quillar {

QString NamingProblemOf(const App& app, const RecordingOptions& options) {
    QStringList items;
    if (!ListIsTable(app)) {
        const QListWidget* list = app.form.列表框_录音文本列表;
        items.reserve(list->count());
        for (int i = 0; i < list->count(); ++i) {
            items.append(list->item(i)->text());
        }
    }
    return quillar::NamingProblemOf(options, items, app.state.item_table.get(),
                                    app.form.编辑框_录音文本源路径->text(), app.state.session,
                                    app.form.编辑框_保存路径->text());
}

void OpenRecordingOptions(App& app) {
    if (TakeRunning(app) || TakeClosing(app)) {
        return;
    }
    RecordingOptionsDialog dialog(&app.form);
    dialog.setOptions(app.state.options);
    // A template names cannot be made from, or one by which two items of the list in place
    // would share a file, is never taken: the dialog says why and stays open.
    dialog.setCheck([&app](const RecordingOptions& o) { return NamingProblemOf(app, o); });
    dialog.setExport([&app, &dialog] { OpenExportDialog(app, &dialog); });
    if (app.ui.runModal(dialog) != QDialog::Accepted) {
        return;
    }
    const RecordingOptions before = app.state.options;
    app.state.options = dialog.options();
    if (app.state.options.name_template != before.name_template ||
        app.state.options.ascii_names != before.ascii_names) {
        RefreshItemMarks(app);
        OnItemSelected(app);
    }
    const QString path = SettingsFilePath();
    if (!WriteRecordingOptions(path, app.state.options)) {
        app.ui.message(&app.form, Texts::tr("录音选项"),
                       Texts::tr("无法写入设置文件：\n%1\n\n新的录音选项只在本次运行中有效，"
                                 "下次启动时将恢复原来的选项。")
                           .arg(QDir::toNativeSeparators(path)),
                       MessageIcon::Warning);
    }
    // The input follows the options at once: kept open or not, in the channels chosen.
    app.state.input_device = -1;
    KeepInputOpen(app);
    FollowHandsFreeOption(app);
}

}  // namespace quillar
