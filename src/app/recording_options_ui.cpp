#include "app/recording_options_ui.h"

#include <QDir>

#include "app/recording_options_file.h"
#include "app/settings.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/recording_options_dialog.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "record/recording_control.h"

namespace quillar {

void OpenRecordingOptions(App& app) {
    if (TakeRunning(app) || TakeClosing(app)) {
        return;
    }
    RecordingOptionsDialog dialog(&app.form);
    dialog.setOptions(app.state.options);
    if (app.ui.runModal(dialog) != QDialog::Accepted) {
        return;
    }
    app.state.options = dialog.options();
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
}

}  // namespace quillar
