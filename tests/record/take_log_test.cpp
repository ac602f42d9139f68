// The take log: its columns, CSV quoting, the signature and header of a new file, appending
// without touching earlier lines, and a failing write reported once without failing the save.
#include "record/take_log.h"
#include "record/take_info.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>
#include <cmath>

#include "record/take_logging.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(TakeLog, QuotesOnlyWhatNeedsIt) {
    const struct {
        QString in;
        QString out;
    } cases[] = {
        {u"太阳"_s, u"太阳"_s},
        {u"一,二"_s, u"\"一,二\""_s},
        {u"他说\"来\""_s, u"\"他说\"\"来\"\"\""_s},
        {u"a\rb"_s, u"\"a\rb\""_s},
        {u" 空格 "_s, u" 空格 "_s},
        {QString(), QString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CsvField(c.in), c.out) << c.in.toStdString();
        // What the log writes, a reader gets back.
        const std::vector<QStringList> back = ParseCsv((CsvField(c.in) + u",x\r\n"_s).toUtf8());
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0], (QStringList{c.in, u"x"_s}));
    }
}

TEST(TakeLog, LineHoldsTheColumnsInOrder) {
    TakeLogEntry e;
    e.time = QDateTime(QDate(2026, 12, 9), QTime(9, 15, 30), QTimeZone(8 * 3600));
    e.item = u"打,人"_s;
    e.file = u"/rec/打,人.wav"_s;
    e.seconds = 1.23456;
    e.rate = 44100;
    e.bits = 16;
    e.channels = 2;
    e.peak = 0.5;
    e.clipped = false;
    e.device = u"Monitor of \"Null\""_s;
    e.itemFile = u"/lists/词表.txt"_s;
    e.replaced = u"/rec/早前录音/打,人.20261209-091530.wav"_s;
    e.how = kTakeHowEnter;
    const std::vector<QStringList> rows = ParseCsv(TakeLogHeader() + TakeLogLine(e));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (QStringList{u"time"_s,     u"item"_s,       u"file"_s,      u"seconds"_s,
                                    u"rate"_s,     u"bits"_s,       u"channels"_s,  u"peak_dbfs"_s,
                                    u"clipped"_s,  u"device"_s,     u"item_file"_s, u"replaced"_s,
                                    u"how"_s,      u"noise_dbfs"_s, u"snr_db"_s,    u"verdict"_s,
                                    u"problems"_s, u"id"_s,         u"speaker"_s,   u"site"_s}));
    const QString time = IsoLocalTime(e.time);
    EXPECT_EQ(QDateTime::fromString(time, Qt::ISODate), e.time) << time.toStdString();
    EXPECT_TRUE(
        QRegularExpression(u"^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$"_s)
            .match(time)
            .hasMatch())
        << time.toStdString();
    EXPECT_EQ(rows[1].mid(1),
              (QStringList{u"打,人"_s, u"打,人.wav"_s, u"1.235"_s, u"44100"_s, u"16"_s, u"2"_s,
                           u"-6.0"_s, u"no"_s, u"Monitor of \"Null\""_s, u"/lists/词表.txt"_s,
                           u"早前录音/打,人.20261209-091530.wav"_s, u"enter"_s, QString(),
                           QString(), QString(), QString(), QString(), QString(), QString()}));
    e.judged = true;
    e.judgement.noiseDbfs = -INFINITY;
    e.judgement.snrDb = INFINITY;
    e.judgement.problems = quality::kCutStart | quality::kTooQuiet;
    quality::SettleVerdict(e.judgement);
    e.id = u"0015"_s;
    e.speaker = u"老男"_s;
    e.site = u"HZ,01"_s;
    EXPECT_EQ(ParseCsv(TakeLogLine(e))[0].mid(13),
              (QStringList{u"-inf"_s, u"inf"_s, u"redo"_s, u"cut_start;too_quiet"_s, u"0015"_s,
                           u"老男"_s, u"HZ,01"_s}));
    EXPECT_TRUE(TakeLogHeader().startsWith("\xEF\xBB\xBF"));
    EXPECT_TRUE(TakeLogLine(e).endsWith("\r\n"));
    EXPECT_EQ(PeakDbfs(0.0), u"-inf"_s);
    EXPECT_EQ(PeakDbfs(1.0), u"0.0"_s);
}

TEST(TakeLog, AppendsToTheFolderOfTheTakeAndNeverRewrites) {
    QTemporaryDir dir;
    TakeLogEntry e;
    e.file = dir.filePath(u"一.wav"_s);
    e.clipped = true;
    ASSERT_TRUE(AppendTakeLog(e));
    const QString log = dir.filePath(kTakeLogName);
    const QByteArray first = contents(log);
    EXPECT_TRUE(first.startsWith(TakeLogHeader()));
    // An earlier line cut short (a crash) keeps its bytes and does not swallow the next.
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("cut");
    f.close();
    e.file = dir.filePath(u"二.wav"_s);
    e.clipped = false;
    ASSERT_TRUE(AppendTakeLog(e));
    const QByteArray all = contents(log);
    EXPECT_TRUE(all.startsWith(first + "cut\r\n"));
    EXPECT_EQ(all.count("\xEF\xBB\xBF"), 1);
    // Both lines read back: the clipped take as one to redo, the other not.
    QHash<QString, quality::Judgement> judged;
    QHash<QString, QString> items;
    ReadTakeLog(dir.path(), &judged, &items);
    EXPECT_TRUE(items.contains(u"一.wav"_s) && items.contains(u"二.wav"_s));
    EXPECT_EQ(judged.value(u"一.wav"_s).verdict, quality::Verdict::Redo);
    EXPECT_NE(judged.value(u"二.wav"_s).verdict, quality::Verdict::Redo);
}

// Logs as a crash, an editor or a damaged disk leave them. Whatever came before, the line
// appended is a record of its own: for this program (the take keeps its mark) and for any CSV
// reader, and the header is there for the spreadsheet that opens the log.
TEST(TakeLog, TakeAppendedToADamagedLogIsReadBack) {
    const QByteArray header = TakeLogHeader();
    const struct {
        const char* what;
        QByteArray before;
        bool headed;  // the log has its header, given or added
    } cases[] = {
        {"only the signature", "\xEF\xBB\xBF", true},
        {"only blank lines", "\r\n\r\n", true},
        {"the signature and a blank line", "\xEF\xBB\xBF\r\n", true},
        {"a line cut inside a quoted item", header + "t,\"a,b", true},
        {"a quoted field left open lines back", header + "t,\"a\r\nb\r\n", true},
        {"an escaped quote last", header + "t,\"a\"\"", true},
        {"a line cut after a comma", header + "t,x,", true},
        // Its first line is a take, not a header to pass over.
        {"no header", "t,一,一.wav,1.000,44100,16,2,-0.0,yes,d,l,,enter\r\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const QString log = dir.filePath(kTakeLogName);
        QFile f(log);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.before);
        f.close();
        TakeLogEntry e;
        e.file = dir.filePath(u"新.wav"_s);
        e.item = u"新"_s;
        e.clipped = true;
        ASSERT_TRUE(AppendTakeLog(e));
        QHash<QString, quality::Judgement> judged;
        QHash<QString, QString> items;
        ReadTakeLog(dir.path(), &judged, &items);
        EXPECT_EQ(items.value(u"新.wav"_s), u"新"_s);
        EXPECT_EQ(judged.value(u"新.wav"_s).verdict, quality::Verdict::Redo);
        const QByteArray after = contents(log);
        EXPECT_TRUE(after.startsWith(c.before)) << "earlier bytes are never rewritten";
        EXPECT_EQ(after.contains("time,item,file,"), c.headed);
        EXPECT_EQ(items.contains(u"一.wav"_s), !c.headed);
        EXPECT_LE(after.count("\xEF\xBB\xBF"), 1);
        // The last record is the take's, to a reader that counts records.
        const std::vector<QStringList> records = ParseCsv(after);
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.back().value(1), u"新"_s);
    }
    // A comma last in the data still ends a record.
    const std::vector<QStringList> cut = ParseCsv("a,b\r\nc,");
    ASSERT_EQ(cut.size(), 2u);
    EXPECT_EQ(cut.back(), (QStringList{u"c"_s, QString()}));
}

// The log is read whole only when someone else wrote it since this program's last line: a line
// another program leaves open between two takes still cannot swallow the second.
TEST(TakeLog, ALogDamagedBetweenTwoTakesIsReadAgain) {
    QTemporaryDir dir;
    TakeLogEntry e;
    e.file = dir.filePath(u"一.wav"_s);
    e.item = u"一"_s;
    ASSERT_TRUE(AppendTakeLog(e));
    QFile f(dir.filePath(kTakeLogName));
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("t,\"open");
    f.close();
    e.file = dir.filePath(u"二.wav"_s);
    e.item = u"二"_s;
    ASSERT_TRUE(AppendTakeLog(e));
    e.file = dir.filePath(u"三.wav"_s);
    e.item = u"三"_s;
    ASSERT_TRUE(AppendTakeLog(e));
    QHash<QString, QString> items;
    ReadTakeLog(dir.path(), nullptr, &items);
    EXPECT_EQ(items.value(u"一.wav"_s), u"一"_s);
    EXPECT_EQ(items.value(u"二.wav"_s), u"二"_s);
    EXPECT_EQ(items.value(u"三.wav"_s), u"三"_s);
}

TEST(TakeLog, JudgementsAndItemsAreReadFromOldAndNewLines) {
    QTemporaryDir dir;
    QFile f(dir.filePath(kTakeLogName));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    // A log begun before takes were judged, then lines with the judgement's four columns.
    f.write(
        "\xEF\xBB\xBFtime,item,file,seconds,rate,bits,channels,peak_dbfs,clipped,device,"
        "item_file,replaced,how\r\n"
        "t,一,一.wav,1.000,44100,16,2,-0.0,yes,d,l,,enter\r\n"
        "t,二,二.wav,1.000,44100,16,2,-9.5,no,d,l,,enter\r\n"
        "t,三,三.wav,1.000,44100,16,2,-9.5,no,d,l,,enter,-61.5,40.2,good,\r\n"
        "t,\"a/b\",a_b.wav,1.000,44100,16,2,-20.0,no,d,l,早前录音/a_b.1.wav,enter,"
        "-inf,inf,check,too_quiet\r\n");
    f.close();
    QHash<QString, quality::Judgement> judged;
    QHash<QString, QString> items;
    ReadTakeLog(dir.path(), &judged, &items);
    EXPECT_EQ(judged.size(), 3);
    EXPECT_EQ(judged.value(u"一.wav"_s).verdict, quality::Verdict::Redo);  // it clipped
    EXPECT_TRUE(std::isnan(judged.value(u"一.wav"_s).noiseDbfs));
    EXPECT_FALSE(judged.contains(u"二.wav"_s));  // the plain mark
    EXPECT_EQ(judged.value(u"三.wav"_s).verdict, quality::Verdict::Good);
    EXPECT_DOUBLE_EQ(judged.value(u"三.wav"_s).noiseDbfs, -61.5);
    const quality::Judgement quiet = judged.value(u"a_b.wav"_s);
    EXPECT_EQ(quiet.problems, quality::kTooQuiet);
    EXPECT_TRUE(std::isinf(quiet.noiseDbfs) && quiet.noiseDbfs < 0);
    EXPECT_EQ(items.value(u"a_b.wav"_s), u"a/b"_s);
    EXPECT_EQ(items.value(u"早前录音/a_b.1.wav"_s), u"a/b"_s);
}

TEST(TakeLog, FailingWriteIsReportedOnceAndNeverFailsTheSave) {
    QTemporaryDir dir;
    TestApp t;
    ASSERT_TRUE(QDir(dir.path()).mkdir(kTakeLogName));  // the log cannot be opened as a file
    TakeLogEntry e;
    e.file = dir.filePath(u"一.wav"_s);
    EXPECT_FALSE(AppendTakeLogLine(t.app, e));
    EXPECT_FALSE(t.form.标签_日志提示->isHidden());
    EXPECT_TRUE(t.form.标签_日志提示->text().contains(kTakeLogName));
    t.form.标签_日志提示->hide();
    EXPECT_FALSE(AppendTakeLogLine(t.app, e));
    EXPECT_TRUE(t.form.标签_日志提示->isHidden());  // said once
    EXPECT_TRUE(t.ui.messages.empty());             // and never in a box
    ASSERT_TRUE(QDir(dir.path()).rmdir(kTakeLogName));
    EXPECT_TRUE(AppendTakeLogLine(t.app, e));
    EXPECT_FALSE(t.app.state.take_log_failing);
}

TEST(TakeLog, RecoveredTakeIsLoggedFromItsFile) {
    QTemporaryDir dir;
    TestApp t;
    // 0.5 s of 8000 Hz 16-bit stereo, one sample at full scale.
    QByteArray wav(44 + 8000 * 2, '\0');
    auto put16 = [&](int at, std::uint16_t v) { std::memcpy(wav.data() + at, &v, 2); };
    auto put32 = [&](int at, std::uint32_t v) { std::memcpy(wav.data() + at, &v, 4); };
    std::memcpy(wav.data(), "RIFF", 4);
    put32(4, static_cast<std::uint32_t>(wav.size() - 8));
    std::memcpy(wav.data() + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);
    put16(22, 2);
    put32(24, 8000);
    put32(28, 32000);
    put16(32, 4);
    put16(34, 16);
    std::memcpy(wav.data() + 36, "data", 4);
    put32(40, 8000 * 2);
    put16(44 + 100, 0x8000);
    const QString path = dir.filePath(u"太阳.wav"_s);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(wav);
    f.close();
    TakeInfo info;
    info.item = u"太阳"_s;
    info.device = u"Mic"_s;
    info.labels.id = u"0042"_s;
    info.labels.session.emplace();
    info.labels.session->speaker.code = u"老男"_s;
    info.labels.session->site.code = u"HZ01"_s;
    LogRecoveredTake(t.app, path, info, QString());
    const std::vector<QStringList> rows = ParseCsv(contents(dir.filePath(kTakeLogName)));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][2], u"太阳.wav"_s);
    EXPECT_EQ(rows[1][3], u"0.500"_s);
    EXPECT_EQ(rows[1][8], u"yes"_s);
    EXPECT_EQ(rows[1][9], u"Mic"_s);
    EXPECT_EQ(rows[1][12], u"recovered"_s);
    // A recovered take keeps the labels its journal carried.
    EXPECT_EQ(rows[1].mid(17), (QStringList{u"0042"_s, u"老男"_s, u"HZ01"_s}));
}

}  // namespace
}  // namespace quillar::test
