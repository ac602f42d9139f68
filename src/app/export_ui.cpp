#include "app/export_ui.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "export/export_command.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/queued_calls.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "record/recording_control.h"

namespace quillar {

namespace {

const QString kExportFolder = QStringLiteral("导出");

// The bar moves at most this often, whatever the pace of the takes.
constexpr auto kProgressEvery = std::chrono::milliseconds(100);

QString inFolder(const QString& folder, const QString& path) {
    return path.isEmpty() || QFileInfo(path).isAbsolute() ? path
                                                          : QDir(folder).absoluteFilePath(path);
}

}  // namespace

ExportChoices DefaultExportChoices(const QString& folder) {
    ExportChoices c;
    QString name = QDir(folder).dirName();
    if (name.isEmpty() || name == QStringLiteral(".")) {
        name = QStringLiteral("session");
    }
    c.sessionName = name;
    c.liftPath = kExportFolder + u'/' + name + QStringLiteral(".lift");
    c.depositDir = kExportFolder + QStringLiteral("/deposit");
    return c;
}

ExportRequest ExportRequestOf(const App& app, const ExportChoices& c) {
    const QString folder = QDir::cleanPath(app.form.编辑框_保存路径->text());
    ExportRequest r;
    r.source.folder = folder;
    r.source.list = app.form.编辑框_录音文本源路径->text();
    r.source.nameTemplate = app.state.options.name_template;
    r.source.asciiNames = app.state.options.ascii_names;
    r.textGrids = c.textgrids;
    if (c.session && !c.sessionName.isEmpty()) {
        // A bare name goes into the export folder, away from the takes it is made of.
        r.session =
            inFolder(folder, c.sessionName.contains(u'/') ? c.sessionName
                                                          : kExportFolder + u'/' + c.sessionName);
        r.convert = c.convert;
    }
    if (c.lift) {
        r.lift = inFolder(folder, c.liftPath);
    }
    if (c.deposit) {
        r.deposit = inFolder(folder, c.depositDir);
        r.collection = c.collection;
    }
    return r;
}

void OpenExportDialog(App& app, QWidget* parent) {
    if (TakeRunning(app) || TakeClosing(app)) {
        return;
    }
    const QString folder = app.form.编辑框_保存路径->text();
    ExportDialog dialog(QDir::cleanPath(folder), parent);
    dialog.setChoices(DefaultExportChoices(folder));
    QueuedCalls toDialog;
    std::thread worker;
    dialog.setStart([&](const ExportChoices& choices) {
        const ExportRequest request = ExportRequestOf(app, choices);
        if (worker.joinable()) {
            worker.join();  // the one before has reported; only its thread is left
        }
        worker = std::thread([request, &toDialog, &dialog] {
            auto last = std::chrono::steady_clock::now() - kProgressEvery;
            const ExportReport report = RunExport(request, [&](int done, int total) {
                const auto now = std::chrono::steady_clock::now();
                if (now - last >= kProgressEvery || done == total) {
                    last = now;
                    toDialog.post([&dialog, done, total] { dialog.progress(done, total); });
                }
            });
            const bool ok = report.succeeded();
            const QString text =
                (ok ? Texts::tr("导出完成。") : Texts::tr("导出没有完成。")) + u'\n' + report.text;
            toDialog.post([&dialog, ok, text] { dialog.finished(ok, text); });
        });
    });
    app.ui.runModal(dialog);
    // The dialog cannot close while the exports run, so this only collects a finished thread.
    if (worker.joinable()) {
        worker.join();
    }
}

}  // namespace quillar
