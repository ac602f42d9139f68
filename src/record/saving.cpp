#include "record/saving.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QSaveFile>

#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/record_buffer.h"
#include "kit/ui_seam.h"

namespace quillar {

bool writeWavImageFile(const RecordBuffer& buffer, const QString& path) {
    if (path.isEmpty() || buffer.empty() || !buffer.isWavImage()) {
        return false;
    }
    QSaveFile file(path);
    // Never write straight into the target: a half-written take must not replace a good one.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const char* bytes = reinterpret_cast<const char*>(buffer.data());
    qint64 left = static_cast<qint64>(buffer.size());
    while (left > 0) {
        const qint64 written = file.write(bytes, left);
        if (written <= 0) {
            file.cancelWriting();
            return false;
        }
        bytes += written;
        left -= written;
    }
    return file.commit();
}

bool WriteRecordingFile(App& app, const QString& path) {
    return writeWavImageFile(app.state.record_buffer, path);
}

void SaveRecordingAs(App& app) {
    MainForm& f = app.form;
    if (!app.ui.saveFile(&f, f.通用对话框1)) {
        return;
    }
    const QString path = f.通用对话框1.fileName;
    // The next save starts where this one went: takes of one session usually share a folder.
    f.通用对话框1.initialDir = QFileInfo(path).absolutePath();
    if (WriteRecordingFile(app, path)) {
        app.ui.message(&f, QStringLiteral("系统提示"),
                       QStringLiteral("录音文件保存成功 , ") + f.编辑框4->text(),
                       MessageIcon::Information);
    } else {
        app.ui.message(&f, QStringLiteral("系统提示"),
                       QStringLiteral("录音文件保存失败 , 文件可能被占用！"), MessageIcon::Error);
    }
}

}  // namespace quillar
