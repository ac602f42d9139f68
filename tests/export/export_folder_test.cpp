// quillar-export's reading of a folder (a plain list, a table in its template's subfolders, no
// list at all), its options and exit codes, and the TextGrids it adds beside takes.
#include "export/export_folder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "annotation/take_textgrid.h"
#include "export/export_command.h"
#include "record/take_log.h"
#include "record/take_replacement.h"
#include "support/praat.h"
#include "support/export_source.h"
#include "support/synth_take.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;
using quality::SampleFormat;

class ExportFolderTest : public ::testing::Test {
  protected:
    void put(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void take(const QString& name) { put(name, SynthWav({.channels = 1}, SampleFormat::S16)); }
    // (text, file) of every item read.
    std::vector<std::pair<QString, QString>> itemsOf(const ExportSource& source) {
        ExportFolder folder;
        QString error;
        EXPECT_TRUE(ReadExportFolder(source, &folder, &error)) << error.toStdString();
        std::vector<std::pair<QString, QString>> out;
        for (const ExportItem& i : folder.items) {
            out.emplace_back(i.text, i.file);
        }
        return out;
    }
    int exitOf(const QStringList& args) { return RunFolderExport(args, devNull, devNull); }

    QTemporaryDir dir;
    std::FILE* devNull = std::fopen("/dev/null", "w");
    void TearDown() override { std::fclose(devNull); }
};

TEST_F(ExportFolderTest, APlainListGivesItsItemsInOrderWithTheirLatestTakes) {
    take(u"一.wav"_s);
    take(u"一 (2).wav"_s);
    take(u"other.wav"_s);  // not in the list: not an item
    take(kEarlierTakesFolder +
         u"/三.20261209-101010.wav"_s);  // an earlier take is never the latest
    put(u"list.txt"_s, u"一\n\n三\n一\n"_s.toUtf8());
    const std::vector<std::pair<QString, QString>> expected = {
        {u"一"_s, u"一.wav"_s}, {u"三"_s, {}}, {u"一"_s, u"一 (2).wav"_s}};
    EXPECT_EQ(itemsOf(SourceOf(dir.path(), dir.filePath(u"list.txt"_s))), expected);
}

TEST_F(ExportFolderTest, ATableIsReadByItsTemplateInItsSubfoldersWithTheFolderSpeaker) {
    put(u"quillar-session.json"_s, QByteArray(R"({"speaker": {"code": "老男"}})"));
    put(u"单字.csv"_s, u"编号,字,释义\r\n0015,磨,to grind\r\n0016,磨,mill\r\n"_s.toUtf8());
    take(u"老男/单字/0015磨.wav"_s);
    ExportFolder folder;
    QString error;
    ASSERT_TRUE(ReadExportFolder(
        SourceOf(dir.path(), dir.filePath(u"单字.csv"_s), u"{speaker}/{list}/{id}{item}"_s),
        &folder, &error))
        << error.toStdString();
    EXPECT_TRUE(folder.table);
    ASSERT_TRUE(folder.session);
    EXPECT_EQ(folder.session->speaker.code, u"老男"_s);
    ASSERT_EQ(folder.items.size(), 2u);
    EXPECT_EQ(folder.items[0].text, u"0015 磨"_s);
    EXPECT_EQ(folder.items[0].entry.gloss, u"to grind"_s);
    EXPECT_EQ(folder.items[0].file, u"老男/单字/0015磨.wav"_s);
    EXPECT_FALSE(folder.items[1].hasTake());
}

TEST_F(ExportFolderTest, WithoutAListTheTakesAreTheItemsByTheirLog) {
    take(u"b_c.wav"_s);
    take(u"a.wav"_s);
    put(u"notes.txt"_s, "not a take");
    TakeLogEntry e;
    e.file = dir.filePath(u"b_c.wav"_s);
    e.item = u"b/c"_s;
    ASSERT_TRUE(AppendTakeLog(e));
    const std::vector<std::pair<QString, QString>> expected = {{u"a"_s, u"a.wav"_s},
                                                               {u"b/c"_s, u"b_c.wav"_s}};
    EXPECT_EQ(itemsOf(SourceOf(dir.path())), expected);
}

TEST_F(ExportFolderTest, RequestsAreParsedOrRefusedWithTheirReason) {
    struct Row {
        QStringList args;
        QString error;  // a piece of the reason; empty: parsed
    };
    const Row rows[] = {
        {{u"f"_s, u"--textgrids"_s}, {}},
        {{u"f"_s, u"--session"_s, u"s"_s, u"--convert"_s, u"--ascii"_s}, {}},
        {{u"f"_s, u"--deposit"_s, u"d"_s, u"--collection"_s, u"X"_s, u"--lift"_s, u"l.lift"_s}, {}},
        {{u"f"_s}, u"nothing to export"_s},
        {{u"--textgrids"_s}, u"no folder"_s},
        {{u"f"_s, u"g"_s, u"--textgrids"_s}, u"one folder only"_s},
        {{u"f"_s, u"--session"_s}, u"--session needs a value"_s},
        {{u"f"_s, u"--textgrids"_s, u"--convert"_s}, u"--convert goes with --session"_s},
        {{u"f"_s, u"--lift"_s, u"l"_s, u"--collection"_s, u"X"_s}, u"--collection goes with"_s},
        {{u"f"_s, u"--textgrids"_s, u"--template"_s, u"{nothing}"_s}, u"not a name template"_s},
        {{u"f"_s, u"--textgrids"_s, u"--csv"_s}, u"unknown option"_s},
        {{u"f"_s, u"--session"_s, u"out/"_s}, u"not a folder"_s},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.args.join(u' ').toStdString());
        ExportRequest request;
        QString error;
        EXPECT_EQ(ParseExportRequest(r.args, &request, &error), r.error.isEmpty());
        EXPECT_TRUE(error.contains(r.error)) << error.toStdString();
    }
    ExportRequest request;
    QString error;
    EXPECT_FALSE(ParseExportRequest({u"f"_s, u"--help"_s}, &request, &error));
    EXPECT_TRUE(error.isEmpty());
}

TEST_F(ExportFolderTest, ExitCodes) {
    take(u"a.wav"_s);
    put(u"list.txt"_s, "a\nb\n");
    put(u"empty.txt"_s, "\n\n");
    const QString list = dir.filePath(u"list.txt"_s);
    struct Row {
        QStringList args;
        int code;
    };
    const Row rows[] = {
        {{u"--help"_s}, kExportDone},
        {{dir.path()}, kExportFailed},
        {{dir.filePath(u"missing"_s), u"--textgrids"_s}, kExportFailed},
        {{dir.path(), u"--list"_s, dir.filePath(u"empty.txt"_s), u"--textgrids"_s}, kExportFailed},
        {{dir.path(), u"--textgrids"_s}, kExportDone},
        {{dir.path(), u"--session"_s, u"all"_s}, kExportDone},
        // Kept apart from the takes, in a folder made for it.
        {{dir.path(), u"--session"_s, dir.filePath(u"made/for/it/all"_s)}, kExportDone},
        // b has no take: done, with it listed.
        {{dir.path(), u"--list"_s, list, u"--session"_s, u"listed"_s}, kExportDoneWithReport},
        // Never over an existing session.
        {{dir.path(), u"--session"_s, u"all"_s}, kExportFailed},
        {{dir.path(), u"--lift"_s, dir.filePath(u"x.lift"_s)}, kExportDone},
        // A lexicon where no folder can be: a take stands where its folder should be.
        {{dir.path(), u"--lift"_s, dir.filePath(u"a.wav/x.lift"_s)}, kExportFailed},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.args.join(u' ').toStdString());
        EXPECT_EQ(exitOf(r.args), r.code);
    }
}

TEST_F(ExportFolderTest, TheLiftAndDepositStepsAreCalledWithTheFolderRead) {
    take(u"a.wav"_s);
    ExportRequest request;
    QString error;
    ASSERT_TRUE(ParseExportRequest(
        {dir.path(), u"--lift"_s, u"x.lift"_s, u"--deposit"_s, u"d"_s, u"--collection"_s, u"C1"_s},
        &request, &error));
    QStringList called;
    ExportSteps steps;
    steps.lift = [&](const ExportFolder& f, const ExportRequest& r, QString* report, QString*,
                     const ExportProgress&) {
        called.append(r.lift + u' ' + QString::number(f.items.size()));
        *report += u"lift\n"_s;
        return true;
    };
    steps.deposit = [&](const ExportFolder&, const ExportRequest& r, QString*, QString* why,
                        const ExportProgress&) {
        called.append(r.deposit + u' ' + r.collection);
        *why = u"disk full"_s;
        return false;
    };
    const ExportReport report = RunExport(request, {}, steps);
    EXPECT_EQ(called, (QStringList{u"x.lift 1"_s, u"d C1"_s}));
    EXPECT_EQ(report.exitCode, kExportFailed);
    EXPECT_EQ(report.text, u"lift\ndisk full\n"_s);
}

TEST_F(ExportFolderTest, TextGridsAreAddedBesideTakesWithoutOne) {
    put(u"quillar-session.json"_s, QByteArray(R"({"speaker": {"code": "S1"}})"));
    put(u"t.csv"_s, u"id,item,gloss\r\n0001,多,many\r\n"_s.toUtf8());
    take(u"S1/0001多.wav"_s);
    take(u"S1/stray.wav"_s);
    take(u"kept.wav"_s);
    put(u"kept.TextGrid"_s, "mine");
    put(u"broken.wav"_s, QByteArray("RIFF\x04\0\0\0WAVE", 12));
    const ExportReport report = RunExport([&] {
        ExportRequest r;
        r.source = SourceOf(dir.path(), dir.filePath(u"t.csv"_s), u"{speaker}/{id}{item}"_s);
        r.textGrids = true;
        return r;
    }());
    EXPECT_EQ(report.exitCode, kExportDoneWithReport) << report.text.toStdString();
    EXPECT_TRUE(report.text.contains(u"2 written, 1 already there"_s)) << report.text.toStdString();
    EXPECT_TRUE(report.text.contains(u"broken.wav"_s));
    QFile kept(dir.filePath(u"kept.TextGrid"_s));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "mine");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"broken.TextGrid"_s)));

    if (QStandardPaths::findExecutable(u"praat"_s).isEmpty()) {
        GTEST_SKIP() << "praat is not installed";
    }
    QString error;
    const std::vector<PraatInterval> item =
        PraatIntervals(dir.filePath(u"S1/0001多.TextGrid"_s), 1, &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_EQ(item.size(), 3u);
    EXPECT_EQ(item[1].text, u"0001 多"_s);
    EXPECT_NEAR(item[1].start, 0.3, 0.03);  // the synthetic word lies at 0.3 .. 0.8 s
    EXPECT_NEAR(item[1].end, 0.8, 0.03);
    const std::vector<PraatInterval> gloss =
        PraatIntervals(dir.filePath(u"S1/0001多.TextGrid"_s), 2, &error);
    ASSERT_EQ(gloss.size(), 3u);
    EXPECT_EQ(gloss[1].text, u"many"_s);
    const std::vector<PraatInterval> stray =
        PraatIntervals(dir.filePath(u"S1/stray.TextGrid"_s), 1, &error);
    ASSERT_EQ(stray.size(), 3u);
    EXPECT_EQ(stray[1].text, u"stray"_s);
}

}  // namespace
}  // namespace quillar::test
