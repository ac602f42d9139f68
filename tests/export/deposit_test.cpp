// The deposit over a folder of real takes: the archive names, the copies and their hashes as
// sha256sum gives them, the metadata sheet as Python's csv module reads it, and the refusals:
// a file already in the deposit folder, two takes with one name, a copy that does not read back.
#include "export/deposit.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

#include "export/verified_copy.h"
#include "export_test_support.h"
#include "record/take_log.h"
#include "support/synth_take.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;
using quality::SampleFormat;

TEST(DepositName, ReducesEachPartToArchiveLetters) {
    const struct {
        const char* what;
        QString collection, speaker, id, name;
    } cases[] = {
        {"all three", u"sh01"_s, u"S01"_s, u"0001"_s, u"SH01-S01-0001.wav"_s},
        {"accented Latin by base letter", u"Łódź"_s, u"Ñoño"_s, u"é1"_s, u"ODZ-NONO-E1.wav"_s},
        {"Chinese dropped, the part with it", u"语保"_s, u"老男"_s, u"0015"_s, u"0015.wav"_s},
        {"Chinese dropped within a part", u"x"_s, u"老男2"_s, u"磨15"_s, u"X-2-15.wav"_s},
        {"empty parts left out", {}, {}, u"0007"_s, u"0007.wav"_s},
        {"no collection", {}, u"s01"_s, u"a-1_b"_s, u"S01-A-1_B.wav"_s},
        {"spaces and punctuation dropped", u"my coll."_s, u"S 01"_s, u"1/2"_s,
         u"MYCOLL-S01-12.wav"_s},
        {"full-width letters by their plain form", u"ＡＢ"_s, u"s０1"_s, u"1"_s, u"AB-S01-1.wav"_s},
        {"hyphens at a part's ends", u"-x-"_s, u"--"_s, u"1"_s, u"X-1.wav"_s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DepositName(c.collection, c.speaker, c.id), c.name) << c.what;
    }
}

class Deposit : public ::testing::Test {
  protected:
    void SetUp() override {
        // A survey table: two takes in the speaker's subfolder, one item unrecorded, the first
        // take with its TextGrid and dated by its file, the other dated by the take log.
        folder.folder = src.path();
        folder.table = true;
        Session s;
        s.speaker.code = u"S01"_s;
        s.speaker.sex = u"female"_s;
        s.speaker.birthYear = 1950;
        s.speaker.languages = {u"wuu"_s, u"cmn"_s};
        s.site.code = u"SH"_s;
        s.site.place = u"上海, 松江"_s;
        s.site.latitude = 31.03;
        s.site.longitude = 121.2278;
        s.fieldworker = u"王老师"_s;
        s.consent = u"given"_s;
        folder.session = s;
        folder.items = {
            item(u"0001"_s, u"多"_s, u"many"_s, u"said \"twice\", slowly"_s,
                 u"老男/单字/0001多.wav"_s),
            item(u"0002"_s, u"少"_s, u"few"_s, {}, {}),
            item(u"0003"_s, u"人"_s, u"person"_s, {}, u"老男/单字/0003人.wav"_s),
        };
        PutFile(src.filePath(u"老男/单字/0001多.wav"_s), SynthWav({}, SampleFormat::S16));
        PutFile(src.filePath(u"老男/单字/0001多.TextGrid"_s), "File type = \"ooTextFile\"\n");
        PutFile(src.filePath(u"老男/单字/0003人.wav"_s),
                SynthWav({.amplitude = 0.2, .channels = 1}, SampleFormat::S16));
        PutFile(src.filePath(u"quillar-session.json"_s), R"({"speaker": {"code": "S01"}})");
        QFile first(src.filePath(u"老男/单字/0001多.wav"_s));
        ASSERT_TRUE(first.open(QIODevice::ReadWrite));
        ASSERT_TRUE(first.setFileTime(QDateTime(QDate(2026, 3, 4), QTime(12, 0)),
                                      QFileDevice::FileModificationTime));
        // The log's later line wins, and its date is the one where the take was made: 00:30 at
        // +08:00 is still the 9th in UTC.
        PutFile(
            src.filePath(u"老男/单字/quillar-log.csv"_s),
            TakeLogHeader() +
                u"2026-11-01T10:00:00+08:00,人,0003人.wav,1.100,44100,16,1,-14.0,no,,,,enter\r\n"
                u"2026-12-10T00:30:00+08:00,人,0003人.wav,1.100,44100,16,1,-14.0,no,,,,enter\r\n"_s
                    .toUtf8());
        before = Snapshot(src.path());
    }
    void TearDown() override {
        SetCopyPlacedHookForTest({});
        EXPECT_EQ(Snapshot(src.path()), before) << "the takes' folder changed";
    }
    static ExportItem item(const QString& id, const QString& text, const QString& gloss,
                           const QString& note, const QString& file) {
        ExportItem i;
        i.entry = {.id = id, .item = text, .note = note, .gloss = gloss, .extra = {}, .prompt = {}};
        i.text = id + u' ' + text;
        i.file = file;
        return i;
    }
    bool deposit(QString* error, DepositResult* result = nullptr) {
        DepositResult r;
        return ExportDeposit(folder, options, result != nullptr ? result : &r, error);
    }
    QString out(const QString& name) const { return QDir(options.dir).filePath(name); }

    QTemporaryDir src;
    QTemporaryDir dst;
    ExportFolder folder;
    DepositOptions options{.dir = dst.filePath(u"deposit/2026"_s), .collection = u"sh01"_s};
    QMap<QString, QByteArray> before;
};

TEST_F(Deposit, CopiesEveryTakeWithItsTextGridTheSheetAndTheSession) {
    DepositResult result;
    QString error;
    std::vector<std::pair<int, int>> steps;
    ASSERT_TRUE(ExportDeposit(folder, options, &result, &error, [&](int done, int total) {
        steps.emplace_back(done, total);
    })) << error.toStdString();
    const QStringList files = {u"SH01-S01-0001.wav"_s, u"SH01-S01-0001.TextGrid"_s,
                               u"SH01-S01-0003.wav"_s, u"metadata.csv"_s,
                               u"quillar-session.json"_s};
    EXPECT_EQ(result.copied, 2);
    EXPECT_EQ(result.files, files);
    QStringList sorted = files;
    sorted.sort();
    EXPECT_EQ(Snapshot(options.dir).keys(), sorted)
        << "nothing but the deposit, no temporary file left";
    const std::pair<QString, QString> copies[] = {
        {u"SH01-S01-0001.wav"_s, u"老男/单字/0001多.wav"_s},
        {u"SH01-S01-0001.TextGrid"_s, u"老男/单字/0001多.TextGrid"_s},
        {u"SH01-S01-0003.wav"_s, u"老男/单字/0003人.wav"_s},
        {u"quillar-session.json"_s, u"quillar-session.json"_s},
    };
    for (const auto& [copy, take] : copies) {
        EXPECT_EQ(FileBytes(out(copy)), FileBytes(src.filePath(take))) << copy.toStdString();
    }
    EXPECT_EQ(steps, (std::vector<std::pair<int, int>>{{0, 2}, {1, 2}, {2, 2}}));
}

TEST_F(Deposit, TheSheetIsWhatAnArchiveReads) {
    QString error;
    ASSERT_TRUE(deposit(&error)) << error.toStdString();
    const QString sha1 = Sha256Sum(out(u"SH01-S01-0001.wav"_s));
    const QString sha3 = Sha256Sum(out(u"SH01-S01-0003.wav"_s));
    ASSERT_EQ(sha1, Sha256Sum(src.filePath(u"老男/单字/0001多.wav"_s)));
    ASSERT_EQ(sha1.size(), 64);
    // Written by hand: the signature, CR LF, a note with a quote and a comma, a place with a
    // comma, and the figures of the two synthetic takes.
    const QString expected =
        u"file,original name,id,item,gloss,note,speaker code,sex,birth year,languages,"
        u"site,place,latitude,longitude,date,fieldworker,consent,seconds,rate,bits,channels,"
        u"peak_dbfs,noise_dbfs,snr_db,verdict,sha256\r\n"
        u"SH01-S01-0001.wav,老男/单字/0001多.wav,0001,多,many,\"said \"\"twice\"\", slowly\","
        u"S01,female,1950,wuu;cmn,SH,\"上海, 松江\",31.03,121.2278,2026-03-04,王老师,given,"
        u"1.100,44100,16,2,-10.5,-inf,inf,good,"_s +
        sha1 +
        u"\r\n"
        u"SH01-S01-0003.wav,老男/单字/0003人.wav,0003,人,person,,S01,female,1950,wuu;cmn,SH,"
        u"\"上海, 松江\",31.03,121.2278,2026-12-10,王老师,given,1.100,44100,16,1,-14.0,-inf,inf,"
        u"good,"_s +
        sha3 + u"\r\n"_s;
    const QByteArray sheet = FileBytes(out(u"metadata.csv"_s));
    EXPECT_TRUE(sheet.startsWith("\xEF\xBB\xBF")) << "the UTF-8 signature";
    EXPECT_EQ(sheet.mid(3).toStdString(), expected.toStdString());

    // Python's csv module, which shares nothing with our writer, reads the same fields.
    const ProgramRun python = RunProgram(
        u"/usr/bin/python3"_s, {u"-c"_s,
                                u"import csv, json, sys\n"
                                u"with open(sys.argv[1], encoding='utf-8-sig', newline='') as f:\n"
                                u"    print(json.dumps(list(csv.reader(f))))\n"_s,
                                out(u"metadata.csv"_s)});
    ASSERT_EQ(python.code, 0) << python.err.toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(python.out.toUtf8()).array();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0].toArray().size(), 26);
    EXPECT_EQ(rows[0].toArray()[25].toString(), u"sha256"_s);
    EXPECT_EQ(rows[1].toArray()[5].toString(), u"said \"twice\", slowly"_s);
    EXPECT_EQ(rows[1].toArray()[11].toString(), u"上海, 松江"_s);
    EXPECT_EQ(rows[2].toArray()[25].toString(), sha3);
}

TEST_F(Deposit, APlainListWithoutSessionIsNamedByPlace) {
    folder.table = false;
    folder.session.reset();
    for (ExportItem& i : folder.items) {
        i.entry = {
            .id = {}, .item = i.entry.item, .note = {}, .gloss = {}, .extra = {}, .prompt = {}};
    }
    options.collection.clear();
    DepositResult result;
    QString error;
    ASSERT_TRUE(deposit(&error, &result)) << error.toStdString();
    EXPECT_EQ(result.files, (QStringList{u"0001.wav"_s, u"0001.TextGrid"_s, u"0003.wav"_s,
                                         u"metadata.csv"_s, u"quillar-session.json"_s}));
    const std::vector<QStringList> sheet = ParseCsv(FileBytes(out(u"metadata.csv"_s)));
    ASSERT_EQ(sheet.size(), 3u);
    EXPECT_EQ(sheet[2].mid(0, 18), (QStringList{u"0003.wav"_s,
                                                u"老男/单字/0003人.wav"_s,
                                                u"0003"_s,
                                                u"人"_s,
                                                {},
                                                {},
                                                {},
                                                {},
                                                {},
                                                {},
                                                {},
                                                {},
                                                {},
                                                {},
                                                u"2026-12-10"_s,
                                                {},
                                                {},
                                                u"1.100"_s}));
}

TEST_F(Deposit, NothingInTheFolderIsEverReplaced) {
    // Any one name the deposit would take, already standing, stops it before the first copy.
    const QString names[] = {u"SH01-S01-0001.wav"_s, u"SH01-S01-0001.TextGrid"_s,
                             u"SH01-S01-0003.wav"_s, u"metadata.csv"_s, u"quillar-session.json"_s};
    for (const QString& name : names) {
        QTemporaryDir fresh;
        options.dir = fresh.path();
        PutFile(out(name), "an earlier deposit's file");
        PutFile(out(u"other.txt"_s), "not the deposit's");
        const QMap<QString, QByteArray> standing = Snapshot(options.dir);
        QString error;
        EXPECT_FALSE(deposit(&error)) << name.toStdString();
        EXPECT_TRUE(error.contains(name)) << error.toStdString();
        EXPECT_EQ(Snapshot(options.dir), standing) << name.toStdString();
    }
}

TEST_F(Deposit, AFileThatAppearsDuringTheDepositIsNotReplacedEither) {
    // Another program writes the second take's name while the first is being copied: the check
    // before the copies has passed, so only the copy's own no-replace opening keeps it.
    const QString late = out(u"SH01-S01-0003.wav"_s);
    SetCopyPlacedHookForTest([late](const QString& path) {
        if (path.endsWith(u"0001.wav"_s)) {
            PutFile(late, "written meanwhile");
        }
    });
    QString error;
    EXPECT_FALSE(deposit(&error));
    EXPECT_TRUE(error.contains(late)) << error.toStdString();
    EXPECT_EQ(Snapshot(options.dir),
              (QMap<QString, QByteArray>{{u"SH01-S01-0003.wav"_s, "written meanwhile"}}));
}

TEST_F(Deposit, TwoTakesWithOneNameAreRefusedBeforeAnyCopy) {
    // Ids an archive name cannot tell apart: both come down to "15".
    folder.items[0].entry.id = u"甲15"_s;
    folder.items[2].entry.id = u"乙15"_s;
    QString error;
    EXPECT_FALSE(deposit(&error));
    EXPECT_TRUE(error.contains(u"SH01-S01-15.wav"_s)) << error.toStdString();
    EXPECT_TRUE(error.contains(u"老男/单字/0001多.wav"_s)) << error.toStdString();
    EXPECT_TRUE(error.contains(u"老男/单字/0003人.wav"_s)) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(options.dir));
}

TEST_F(Deposit, ACopyThatDoesNotReadBackIsReportedAndTheDepositUndone) {
    // The disk gives back other bytes than were written for the second take.
    SetCopyPlacedHookForTest([](const QString& path) {
        if (path.endsWith(u"0003.wav"_s)) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            f.seek(100);
            f.write("\x7f");
        }
    });
    DepositResult result;
    QString error;
    EXPECT_FALSE(deposit(&error, &result));
    EXPECT_TRUE(error.contains(out(u"SH01-S01-0003.wav"_s))) << error.toStdString();
    EXPECT_TRUE(error.contains(u"read back"_s)) << error.toStdString();
    EXPECT_EQ(result.copied, 0);
    EXPECT_TRUE(result.files.isEmpty());
    EXPECT_TRUE(Snapshot(options.dir).isEmpty()) << "the copies made before it are gone again";
    // With the disk well again, the same deposit goes through.
    SetCopyPlacedHookForTest({});
    EXPECT_TRUE(deposit(&error)) << error.toStdString();
}

TEST_F(Deposit, AFolderItCannotWriteInIsReported) {
    // A file where the deposit folder should be: nothing can be made below it.
    PutFile(dst.filePath(u"blocked"_s), "a file");
    options.dir = dst.filePath(u"blocked/deposit"_s);
    QString error;
    EXPECT_FALSE(deposit(&error));
    EXPECT_TRUE(error.contains(options.dir)) << error.toStdString();
}

}  // namespace
}  // namespace quillar::test
