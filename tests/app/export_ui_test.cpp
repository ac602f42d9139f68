// 导出 from the options dialog: the chosen exports of the folder in place run off the window
// thread while the window goes on, the dialog staying until they end, and what came of them
// shown in it.
#include "app/export_ui.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest/QTest>

#include "app/recording_options_ui.h"
#include "app/settings.h"
#include "export/export_command.h"
#include "kit/main_form.h"
#include "kit/recording_options_dialog.h"
#include "support/synth_take.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

class ExportUi : public ::testing::Test {
  protected:
    void SetUp() override {
        SetSettingsFolder(dir.path(), true);
        folder = dir.filePath(QStringLiteral("录音"));
        ASSERT_TRUE(QDir().mkpath(folder));
        put(folder + QStringLiteral("/多.wav"), SynthWav({}, quality::SampleFormat::S16));
        put(folder + QStringLiteral("/少.wav"),
            SynthWav({.wordSeconds = 0.3}, quality::SampleFormat::S16));
        list = dir.filePath(QStringLiteral("list.txt"));
        put(list, QStringLiteral("多\n少\n好\n").toUtf8());
        t.form.编辑框_保存路径->setText(folder);
        t.form.编辑框_录音文本源路径->setText(list);
    }
    void TearDown() override { SetSettingsFolder(QString()); }
    static void put(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir dir;
    QString folder;
    QString list;
    TestApp t;
};

TEST_F(ExportUi, TheOptionsDialogsExportRunsOffTheWindowThreadAndShowsWhatCameOfIt) {
    QString report;
    bool stayedWhileRunning = false;
    t.ui.modalAnswer = [&](QDialog& d) {
        if (auto* options = dynamic_cast<RecordingOptionsDialog*>(&d)) {
            EXPECT_TRUE(options->exportButton->isVisibleTo(options));
            options->exportButton->click();  // opens 导出 over the options
            return int{QDialog::Rejected};
        }
        auto& dialog = dynamic_cast<ExportDialog&>(d);
        dialog.session->setChecked(true);
        dialog.sessionName->setText(QStringLiteral("场次"));
        dialog.startButton->click();
        // The user tries to close it at once: it stays while the exports write.
        dialog.reject();
        stayedWhileRunning = dialog.running() && !dialog.closeButton->isEnabled();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.running(); }, 30000));
        report = dialog.report->toPlainText();
        return int{QDialog::Rejected};
    };
    OpenRecordingOptions(t.app);
    EXPECT_TRUE(stayedWhileRunning);
    EXPECT_TRUE(report.contains(QStringLiteral("导出完成"))) << report.toStdString();
    // The TextGrids beside the takes, the session in the folder's export folder, and the item
    // without a take named.
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/多.TextGrid")));
    EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/少.TextGrid")));
    for (const char* ext : {".wav", ".TextGrid", ".eaf"}) {
        EXPECT_TRUE(QFile::exists(folder + QStringLiteral("/导出/场次") + QLatin1String(ext)))
            << ext;
    }
    EXPECT_TRUE(report.contains(QStringLiteral("好"))) << report.toStdString();
}

TEST_F(ExportUi, RequestsFollowTheFolderListAndOptionsInPlace) {
    t.app.state.options.name_template = QStringLiteral("{item}");
    t.app.state.options.ascii_names = true;
    ExportChoices c = DefaultExportChoices(folder);
    EXPECT_EQ(c.sessionName, QStringLiteral("录音"));
    c.session = c.lift = c.deposit = true;
    c.collection = QStringLiteral("ABC");
    const ExportRequest r = ExportRequestOf(t.app, c);
    EXPECT_EQ(r.source.folder, folder);
    EXPECT_EQ(r.source.list, list);
    EXPECT_TRUE(r.source.asciiNames);
    EXPECT_TRUE(r.textGrids);
    EXPECT_EQ(r.session, folder + QStringLiteral("/导出/录音"));
    EXPECT_EQ(r.lift, folder + QStringLiteral("/导出/录音.lift"));
    EXPECT_EQ(r.deposit, folder + QStringLiteral("/导出/deposit"));
    EXPECT_EQ(r.collection, QStringLiteral("ABC"));
    // A path of the user's own stands as given.
    c.sessionName = dir.filePath(QStringLiteral("elsewhere/s"));
    EXPECT_EQ(ExportRequestOf(t.app, c).session, dir.filePath(QStringLiteral("elsewhere/s")));
    // Nothing chosen, nothing to start.
    ExportDialog dialog(folder);
    ExportChoices none;
    none.textgrids = false;
    dialog.setChoices(none);
    EXPECT_FALSE(dialog.startButton->isEnabled());
}

}  // namespace
}  // namespace quillar::test
