// quillar-check over a folder of known files: its rows, the word list's missing items, the two
// profiles and the exit codes.
#include "check/folder_check.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>

#include "record/take_log.h"
#include "record/take_replacement.h"
#include "support/synth_take.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;
using quality::SampleFormat;

class FolderCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(dir.path()).mkdir(kEarlierTakesFolder));
        put(u"clean.wav"_s, SynthWav({}, SampleFormat::S16));
        put(u"a_b.wav"_s, SynthWav({.leadSeconds = 0.0}, SampleFormat::S16));
        put(u"mono24.wav"_s, SynthWav({.channels = 1, .rate = 48000}, SampleFormat::S24));
        put(u"loud.wav"_s, SynthWav({.amplitude = 0.75, .channels = 1}, SampleFormat::S16));
        put(u"broken.wav"_s, QByteArray("RIFF\x04\0\0\0WAVE", 12));
        put(u"notes.txt"_s, QByteArray("not a take"));
        put(kEarlierTakesFolder + u"/clean.20261209-101010.wav"_s, SynthWav({}, SampleFormat::U8));
        // The log names the item of a file whose name had to differ from it.
        TakeLogEntry e;
        e.file = dir.filePath(u"a_b.wav"_s);
        e.item = u"a/b"_s;
        ASSERT_TRUE(AppendTakeLog(e));
    }
    void put(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    std::vector<QStringList> csvOf(const QStringList& args) {
        std::vector<CheckRow> rows;
        CheckOptions o;
        QString error;
        EXPECT_TRUE(ParseCheckOptions(args, &o, &error)) << error.toStdString();
        EXPECT_TRUE(CheckFolder(o, &rows, &error));
        std::vector<QStringList> csv = ParseCsv(CheckCsv(rows));
        for (QStringList& r : csv) {  // the figures have tests of their own
            r = QStringList{r[0], r[1], r[3], r[4], r[5], r[9], r[10]};
        }
        return csv;
    }
    int exitOf(const QStringList& args) { return RunFolderCheck(args, devNull, devNull); }

    QTemporaryDir dir;
    std::FILE* devNull = std::fopen("/dev/null", "w");
    void TearDown() override { std::fclose(devNull); }
};

TEST_F(FolderCheck, EveryRecordingIsARowAndEveryUnrecordedItemOfTheList) {
    const QString list = dir.filePath(u"list.txt"_s);
    QFile f(list);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    // A homograph too, and a blank line, which names no recording.
    f.write(QStringLiteral("clean\r\na/b\r\n  \r\n人\r\nclean\r\n").toUtf8());
    f.close();
    const std::vector<QStringList> expected = {
        {u"file"_s, u"item"_s, u"rate"_s, u"bits"_s, u"channels"_s, u"verdict"_s, u"problems"_s},
        {u"a_b.wav"_s, u"a/b"_s, u"44100"_s, u"16"_s, u"2"_s, u"redo"_s, u"cut_start"_s},
        {u"broken.wav"_s, u"broken"_s, {}, {}, {}, u"redo"_s, u"unreadable"_s},
        {u"clean.wav"_s, u"clean"_s, u"44100"_s, u"16"_s, u"2"_s, u"good"_s, {}},
        {u"loud.wav"_s, u"loud"_s, u"44100"_s, u"16"_s, u"1"_s, u"check"_s, u"too_loud"_s},
        {u"mono24.wav"_s, u"mono24"_s, u"48000"_s, u"24"_s, u"1"_s, u"good"_s, {}},
        {{}, u"人"_s, {}, {}, {}, u"missing"_s, u"missing"_s},
        {{}, u"clean"_s, {}, {}, {}, u"missing"_s, u"missing"_s},
    };
    EXPECT_EQ(csvOf({dir.path(), u"--list"_s, list}), expected);
    EXPECT_EQ(csvOf({dir.path(), u"--earlier"_s}).size(), expected.size() - 2 + 1);
}

// Items passed over with F8 are skipped, not missing, when their newest log line is the skip;
// a take after it ends the skip, and a skip of an item with a file leaves the file its row.
TEST_F(FolderCheck, SkippedItemsAreReportedWithTheirReason) {
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"老男"_s));
    put(u"quillar-session.json"_s, QByteArray(R"({"speaker": {"code": "老男"}})"));
    put(u"老男/一.wav"_s, SynthWav({}, SampleFormat::S16));
    const QString sub = dir.filePath(u"老男"_s);
    const auto skip = [&sub](const QString& item, const QString& reason) {
        SkipLogEntry e;
        e.item = item;
        e.reason = reason;
        ASSERT_TRUE(AppendSkipLog(sub, e));
    };
    skip(u"一"_s, u"不适用"_s);  // then taken: 一.wav
    TakeLogEntry taken;
    taken.item = u"一"_s;
    taken.file = sub + u"/一.wav"_s;
    ASSERT_TRUE(AppendTakeLog(taken));
    skip(u"二"_s, u"发音人不会说"_s);
    skip(u"三"_s, u"以后再录"_s);
    TakeLogEntry gone;  // a take of 三 whose file is no longer there, before its skip
    gone.item = u"三"_s;
    gone.file = sub + u"/三.wav"_s;
    ASSERT_TRUE(AppendTakeLog(gone));
    skip(u"三"_s, u"说\"不出\",算了"_s);
    put(u"list.txt"_s, QStringLiteral("一\r\n二\r\n三\r\n四\r\n").toUtf8());
    const QStringList args = {dir.path(), u"--list"_s, dir.filePath(u"list.txt"_s), u"--template"_s,
                              u"{speaker}/{item}"_s};
    const std::vector<QStringList> rows = csvOf(args);
    const std::vector<QStringList> withoutFile(rows.end() - 3, rows.end());
    EXPECT_EQ(withoutFile, (std::vector<QStringList>{
                               {{}, u"二"_s, {}, {}, {}, u"skipped"_s, u"skipped"_s},
                               {{}, u"三"_s, {}, {}, {}, u"skipped"_s, u"skipped"_s},
                               {{}, u"四"_s, {}, {}, {}, u"missing"_s, u"missing"_s},
                           }));
    EXPECT_TRUE(std::any_of(rows.cbegin(), rows.cend(), [](const QStringList& r) {
        return r[0] == u"老男/一.wav"_s && r[5] == u"good"_s;
    }));

    std::vector<CheckRow> checked;
    CheckOptions o;
    QString error;
    ASSERT_TRUE(ParseCheckOptions(args, &o, &error));
    ASSERT_TRUE(CheckFolder(o, &checked, &error));
    const QString summary = CheckSummary(checked);
    EXPECT_TRUE(summary.contains(u"missing 1, skipped 2\n"_s)) << summary.toStdString();
    EXPECT_TRUE(summary.contains(u"  skipped  (二)  发音人不会说\n"_s)) << summary.toStdString();
    EXPECT_TRUE(summary.contains(u"  skipped  (三)  说\"不出\",算了\n"_s)) << summary.toStdString();

    // Every file good and the one item left skipped: still not done.
    QTemporaryDir good;
    QFile wav(good.filePath(u"一.wav"_s));
    ASSERT_TRUE(wav.open(QIODevice::WriteOnly));
    wav.write(SynthWav({}, SampleFormat::S16));
    wav.close();
    QFile list(good.filePath(u"list.txt"_s));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write(QStringLiteral("一\r\n").toUtf8());
    list.close();
    EXPECT_EQ(exitOf({good.path(), u"--list"_s, list.fileName()}), kCheckAllGood);
    list.open(QIODevice::Append);
    list.write(QStringLiteral("二\r\n").toUtf8());
    list.close();
    SkipLogEntry e;
    e.item = u"二"_s;
    e.reason = u"不适用"_s;
    ASSERT_TRUE(AppendSkipLog(good.path(), e));
    EXPECT_EQ(exitOf({good.path(), u"--list"_s, list.fileName()}), kCheckNotAllGood);
}

TEST_F(FolderCheck, TheCsvSaysWhereTheSpeechLiesAsTheTextGridsMarkIt) {
    std::vector<CheckRow> rows;
    CheckOptions o;
    QString error;
    ASSERT_TRUE(ParseCheckOptions({dir.path()}, &o, &error));
    ASSERT_TRUE(CheckFolder(o, &rows, &error));
    const std::vector<QStringList> csv = ParseCsv(CheckCsv(rows));
    ASSERT_EQ(csv[0].mid(11), (QStringList{u"speech_start"_s, u"speech_end"_s}));
    const auto speechOf = [&csv](const QString& file) {
        for (const QStringList& r : csv) {
            if (r[0] == file) {
                return r.mid(11);
            }
        }
        return QStringList{u"no row"_s};
    };
    // The word of 0.3 s to 0.8 s, widened by 20 ms; nothing in what cannot be read.
    EXPECT_EQ(speechOf(u"clean.wav"_s), (QStringList{u"0.280"_s, u"0.820"_s}));
    EXPECT_EQ(speechOf(u"broken.wav"_s), (QStringList{{}, {}}));
}

TEST_F(FolderCheck, ATableIsCheckedByItsTemplateInTheSubfoldersWithTheFolderSpeaker) {
    // The survey's layout: 老男/单字/0015磨.wav, the speaker from the folder's session; the two
    // 磨 are two items, one recorded.
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"老男/单字"_s));
    put(u"老男/单字/0015磨.wav"_s, SynthWav({}, SampleFormat::S16));
    put(u"quillar-session.json"_s, QByteArray(R"({"speaker": {"code": "老男"}})"));
    const QString list = dir.filePath(u"单字.csv"_s);
    put(u"单字.csv"_s,
        QStringLiteral("编号,字,释义\r\n0015,磨,to grind\r\n0016,磨,mill\r\n").toUtf8());
    const std::vector<QStringList> rows =
        csvOf({dir.path(), u"--list"_s, list, u"--template"_s, u"{speaker}/{list}/{id}{item}"_s});
    ASSERT_GE(rows.size(), 3u);
    EXPECT_TRUE(std::any_of(rows.cbegin(), rows.cend(), [](const QStringList& r) {
        return r[0] == u"老男/单字/0015磨.wav"_s && r[5] == u"good"_s;
    }));
    EXPECT_EQ(rows.back(), (QStringList{{}, u"0016 磨"_s, {}, {}, {}, u"missing"_s, u"missing"_s}));
    EXPECT_EQ(std::count_if(rows.cbegin(), rows.cend(),
                            [](const QStringList& r) { return r[5] == u"missing"_s; }),
              1);
    // A template names cannot be made from is a usage error before any file is read.
    EXPECT_EQ(exitOf({dir.path(), u"--template"_s, u"{nothing}"_s}), kCheckUsageError);
}

TEST_F(FolderCheck, ProfilesCheckTheFormat) {
    struct Row {
        QString profile;
        QStringList formatProblems;  // files with `format` among their problems
    };
    const Row rows[] = {
        {u"yubao"_s, {u"a_b.wav"_s, u"clean.wav"_s, u"mono24.wav"_s}},
        {u"archive"_s, {}},
    };
    for (const Row& r : rows) {
        QStringList withFormat;
        for (const QStringList& row : csvOf({dir.path(), u"--profile"_s, r.profile})) {
            if (row[6].split(u';').contains(u"format"_s)) {
                withFormat.append(row[0]);
            }
        }
        EXPECT_EQ(withFormat, r.formatProblems) << r.profile.toStdString();
    }
}

TEST_F(FolderCheck, ExitCodes) {
    QTemporaryDir good;
    QFile f(good.filePath(u"一.wav"_s));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(SynthWav({}, SampleFormat::F32));
    f.close();
    const QString csv = dir.filePath(u"out.csv"_s);
    const struct {
        QStringList args;
        int code;
    } cases[] = {
        {{good.path()}, kCheckAllGood},
        {{good.path(), u"--profile"_s, u"archive"_s}, kCheckNotAllGood},  // float
        {{dir.path(), u"--csv"_s, csv}, kCheckNotAllGood},
        {{}, kCheckUsageError},
        {{dir.path(), u"--profile"_s, u"cd"_s}, kCheckUsageError},
        {{dir.path(), u"--bogus"_s}, kCheckUsageError},
        {{dir.filePath(u"nowhere"_s)}, kCheckUsageError},
        {{dir.path(), u"--list"_s, dir.filePath(u"nowhere.txt"_s)}, kCheckUsageError},
        {{u"--help"_s}, kCheckAllGood},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(exitOf(c.args), c.code) << c.args.join(u' ').toStdString();
    }
    QFile written(csv);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        written.readAll().startsWith("\xEF\xBB\xBF"
                                     "file,item,seconds,"));
}

// Nothing to judge is no pass: the wrong folder or the wrong file given as the list says why.
TEST_F(FolderCheck, NothingToCheckIsAUsageErrorWithItsReason) {
    QTemporaryDir empty;
    QTemporaryDir onlyEarlier;
    ASSERT_TRUE(QDir(onlyEarlier.path()).mkdir(kEarlierTakesFolder));
    QFile earlier(onlyEarlier.filePath(kEarlierTakesFolder + u"/a.20261209-101010.wav"_s));
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write(SynthWav({}, SampleFormat::S16));
    earlier.close();
    put(u"empty.txt"_s, {});
    put(u"blank.txt"_s, QByteArray("\n   \r\n\t\n"));
    put(u"take.txt"_s, SynthWav({}, SampleFormat::S16));  // a recording given as the list
    put(u"good.txt"_s, QByteArray("clean\n"));
    const struct {
        QStringList args;
        int code;
        const char* reason;  // in what goes to standard error
    } cases[] = {
        {{empty.path()}, kCheckUsageError, "no recordings"},
        {{empty.path(), u"--list"_s, dir.filePath(u"good.txt"_s)},
         kCheckUsageError,
         "no recordings"},
        {{onlyEarlier.path()}, kCheckUsageError, "no recordings"},
        {{onlyEarlier.path(), u"--earlier"_s}, kCheckAllGood, ""},
        {{dir.path(), u"--list"_s, dir.filePath(u"take.txt"_s)}, kCheckUsageError, "not text"},
        {{dir.path(), u"--list"_s, dir.filePath(u"empty.txt"_s)}, kCheckUsageError, "no items"},
        {{dir.path(), u"--list"_s, dir.filePath(u"blank.txt"_s)}, kCheckUsageError, "no items"},
        {{dir.path(), u"--list"_s, dir.filePath(u"good.txt"_s)}, kCheckNotAllGood, ""},
    };
    for (const auto& c : cases) {
        const std::string args = c.args.join(u' ').toStdString();
        std::FILE* err = std::tmpfile();
        ASSERT_NE(err, nullptr);
        EXPECT_EQ(RunFolderCheck(c.args, devNull, err), c.code) << args;
        std::rewind(err);
        std::string said;
        for (int ch = std::fgetc(err); ch != EOF; ch = std::fgetc(err)) {
            said += static_cast<char>(ch);
        }
        std::fclose(err);
        EXPECT_NE(said.find(c.reason), std::string::npos) << args << ": " << said;
    }
}

}  // namespace
}  // namespace quillar::test
