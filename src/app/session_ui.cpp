#include "app/session_ui.h"

#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QLineEdit>

#include "items/item_list.h"
#include "items/recording_marks.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/session_dialog.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "naming/recording_names.h"
#include "record/recording_control.h"
#include "session/session.h"

namespace quillar {

namespace {

QString sessionFileOf(const QString& folder) {
    return folder + u'/' + QString::fromLatin1(kSessionFileName);
}

}  // namespace

void OpenSessionDialog(App& app) {
    if (TakeRunning(app) || TakeClosing(app)) {
        return;
    }
    SessionDialog dialog(&app.form);
    dialog.setRecordedBy(QDate::currentDate(), app.form.组合框1->currentText());
    dialog.setSession(app.state.session.value_or(Session{}));
    // The dialog's OK lets only values the file can hold through; an answer that skipped it is
    // held to the same rule.
    if (app.ui.runModal(dialog) != QDialog::Accepted || !dialog.problem().isEmpty()) {
        return;
    }
    const Session session = dialog.session();
    app.state.session = session;
    // {speaker} may name the files: the marks and the shown item follow the new speaker.
    RefreshItemMarks(app);
    OnItemSelected(app);
    const QString folder = CleanFolder(app.form.编辑框_保存路径->text());
    if (folder.isEmpty()) {
        app.ui.message(&app.form, Texts::tr("录音场次"),
                       Texts::tr("还没有设置录音文件自动保存路径，录音场次没有写入文件，"
                                 "只在换文件夹或关闭程序之前有效。\n\n"
                                 "设置文件夹后，再打开“录音场次”按确定，就会写入该文件夹。"),
                       MessageIcon::Warning);
        return;
    }
    const QString path = sessionFileOf(folder);
    QString error;
    if (!writeSessionFile(path, session, &error)) {
        app.ui.message(&app.form, Texts::tr("录音场次"),
                       Texts::tr("无法写入录音场次文件：\n%1\n%2\n\n"
                                 "录音场次只在换文件夹或关闭程序之前有效。")
                           .arg(QDir::toNativeSeparators(path), error),
                       MessageIcon::Warning);
    }
}

void LoadFolderSession(App& app) {
    app.state.session.reset();
    const QString folder = CleanFolder(app.form.编辑框_保存路径->text());
    if (folder.isEmpty()) {
        return;
    }
    const QString path = sessionFileOf(folder);
    SessionRead read = readSessionFile(path);
    if (read.session) {
        app.state.session = std::move(read.session);
    } else if (!read.error.isEmpty()) {
        app.ui.message(&app.form, Texts::tr("录音场次"),
                       Texts::tr("录音场次文件有误，没有读入：\n%1\n%2\n\n"
                                 "改正后重新设置文件夹，或在“录音场次”里重新填写。")
                           .arg(QDir::toNativeSeparators(path), read.error),
                       MessageIcon::Warning);
    }
}

}  // namespace quillar
