// A saved take's TextGrid: which tiers and text its labels give it, its speech from the take's
// judgement or else from its file, the option kept in its journal, an earlier take's TextGrid
// moved with it, a recovered take's beside it, and Praat reading what is written.
#include "record/take_annotation.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "annotation/take_textgrid.h"
#include "kit/record_buffer.h"
#include "quality/take_judge.h"
#include "record/take_info.h"
#include "record/take_journal.h"
#include "record/take_recovery.h"
#include "record_test_support.h"
#include "support/read_textgrid.h"
#include "support/synth_take.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

constexpr std::uint32_t kRate = 16000;
// A speech frame, and the margin the speech is widened by on either side.
constexpr double kFrame = 0.010;
constexpr double kMargin = 0.020;

// A mono 16-bit take of silence, a 440 Hz tone from 0.3 s to 0.8 s, silence to 1.1 s.
SynthTake tone() {
    SynthTake s;
    s.channels = 1;
    s.rate = kRate;
    return s;
}

TakeInfo takeOf(const QString& item, bool annotate) {
    TakeInfo info;
    info.item = item;
    info.rate = kRate;
    info.bits = 16;
    info.channels = 1;
    info.started = QDateTime(QDate(2026, 12, 10), QTime(9, 30, 0));
    info.labels.annotate = annotate;
    return info;
}

class TakeAnnotationFiles : public ::testing::Test {
  protected:
    QString wav(const QString& name) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(writeAll(path, SynthWav(tone(), quality::SampleFormat::S16)));
        return path;
    }
    QTemporaryDir dir;
};

TEST_F(TakeAnnotationFiles, TheLabelsGiveTheTiersAndTheItemText) {
    struct Case {
        const char* name;
        bool annotate;
        bool table;
        QString id;
        QString gloss;
        QStringList tiers;  // none: no TextGrid
        QString item;
        QString glossText;
    };
    const Case cases[] = {
        {"off", false, false, {}, {}, {}, {}, {}},
        {"plain list", true, false, {}, {}, {u"item"_s}, u"多"_s, {}},
        // A plain list's gloss (none is ever read for one) makes no tier.
        {"plain list with a gloss", true, false, {}, u"many"_s, {u"item"_s}, u"多"_s, {}},
        {"table",
         true,
         true,
         u"0001"_s,
         u"many"_s,
         {u"item"_s, u"gloss"_s},
         u"0001 多"_s,
         u"many"_s},
        {"table row without a gloss",
         true,
         true,
         u"7"_s,
         {},
         {u"item"_s, u"gloss"_s},
         u"7 多"_s,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = wav(QString::fromLatin1(c.name) + u".wav"_s);
        TakeInfo info = takeOf(u"多"_s, c.annotate);
        info.labels.table = c.table;
        info.labels.id = c.id;
        info.labels.gloss = c.gloss;
        EXPECT_TRUE(AnnotateSavedTake(path, info));
        const QString grid = annotation::TextGridPathOf(path);
        ASSERT_EQ(QFile::exists(grid), !c.tiers.isEmpty());
        if (c.tiers.isEmpty()) {
            continue;
        }
        const ReadTextGrid read = ReadTextGridFile(grid);
        ASSERT_TRUE(read.ok);
        EXPECT_EQ(read.tierNames, c.tiers);
        EXPECT_EQ(read.labelled(u"item"_s).text, c.item);
        if (c.table) {
            const std::vector<ReadInterval> g = read.tiers.value(u"gloss"_s);
            ASSERT_EQ(g.size(), 3u);
            EXPECT_EQ(g[1].text, c.glossText);
            EXPECT_DOUBLE_EQ(g[1].xmin, read.labelled(u"item"_s).xmin);
        }
    }
}

TEST_F(TakeAnnotationFiles, SpeechComesFromTheTakesJudgementElseFromItsFile) {
    const QString path = wav(u"词.wav"_s);
    // No judgement, or one of nothing: the file is judged where it lies.
    quality::Judgement none;
    for (const quality::Judgement* j : {static_cast<const quality::Judgement*>(nullptr),
                                        static_cast<const quality::Judgement*>(&none)}) {
        ASSERT_TRUE(AnnotateSavedTake(path, takeOf(u"词"_s, true), j));
        const ReadTextGrid read = ReadTextGridFile(annotation::TextGridPathOf(path));
        EXPECT_NEAR(read.xmax, 1.1, 1e-6);
        EXPECT_NEAR(read.labelled(u"item"_s).xmin, 0.3 - kMargin, kFrame + 1e-6);
        EXPECT_NEAR(read.labelled(u"item"_s).xmax, 0.8 + kMargin, kFrame + 1e-6);
    }
    // The take's own judgement wins, in frames at the take's rate.
    quality::Judgement judged;
    judged.frames = kRate;  // 1 s
    judged.speech = {kRate / 10, kRate / 4};
    ASSERT_TRUE(AnnotateSavedTake(path, takeOf(u"词"_s, true), &judged));
    const ReadTextGrid read = ReadTextGridFile(annotation::TextGridPathOf(path));
    EXPECT_NEAR(read.xmax, 1.0, 1e-9);
    EXPECT_NEAR(read.labelled(u"item"_s).xmin, 0.1, 1e-9);
    EXPECT_NEAR(read.labelled(u"item"_s).xmax, 0.25, 1e-9);
}

TEST_F(TakeAnnotationFiles, AFailureIsReportedAndLeavesNothingBehind) {
    // No audio to judge, and a folder where the TextGrid should go.
    const QString empty = dir.filePath(u"empty.wav"_s);
    ASSERT_TRUE(writeAll(empty, QByteArray()));
    const QString blocked = wav(u"blocked.wav"_s);
    ASSERT_TRUE(QDir().mkdir(annotation::TextGridPathOf(blocked)));
    for (const QString& path : {empty, blocked}) {
        SCOPED_TRACE(path.toStdString());
        int error = 0;
        EXPECT_FALSE(AnnotateSavedTake(path, takeOf(u"词"_s, true), nullptr, &error));
        EXPECT_NE(error, 0);
    }
    EXPECT_FALSE(QFile::exists(annotation::TextGridPathOf(empty)));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              (QStringList{u"blocked.wav"_s, u"empty.wav"_s}));
}

TEST_F(TakeAnnotationFiles, AnEarlierTakesTextGridMovesWithIt) {
    const QString path = dir.filePath(u"词.wav"_s);
    const QString earlier = dir.filePath(u"早前录音/词.20261210-093000.wav"_s);
    ASSERT_TRUE(QDir().mkpath(dir.filePath(u"早前录音"_s)));
    struct Case {
        const char* name;
        bool hadOne;
        QString replaced;
        bool moved;
    };
    const Case cases[] = {
        {"replaced with one", true, earlier, true},
        {"replaced without one", false, earlier, false},
        {"nothing replaced", true, QString(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(annotation::TextGridPathOf(path));
        QFile::remove(annotation::TextGridPathOf(earlier));
        if (c.hadOne) {
            ASSERT_TRUE(writeAll(annotation::TextGridPathOf(path), "old"));
        }
        EXPECT_TRUE(KeepEarlierTakeAnnotation(path, c.replaced));
        EXPECT_EQ(QFile::exists(annotation::TextGridPathOf(earlier)), c.moved);
        EXPECT_EQ(QFile::exists(annotation::TextGridPathOf(path)), c.hadOne && !c.moved);
    }
    // A TextGrid already at the earlier take's name is never overwritten.
    ASSERT_TRUE(writeAll(annotation::TextGridPathOf(path), "new"));
    ASSERT_TRUE(writeAll(annotation::TextGridPathOf(earlier), "kept"));
    EXPECT_FALSE(KeepEarlierTakeAnnotation(path, earlier));
    EXPECT_EQ(readAll(annotation::TextGridPathOf(earlier)), "kept");
}

TEST(TakeAnnotationJournal, TheOptionIsKeptWithTheTakeAndAnOlderJournalHasItOff) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"take.json"_s);
    for (const bool annotate : {true, false}) {
        ASSERT_TRUE(writeTakeInfo(path, takeOf(u"词"_s, annotate)));
        const std::optional<TakeInfo> back = readTakeInfo(path);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->labels.annotate, annotate);
    }
    ASSERT_TRUE(writeAll(path, R"({"item": "词", "rate": 16000, "bits": 16, "channels": 1})"));
    EXPECT_FALSE(readTakeInfo(path)->labels.annotate);
}

TEST(TakeAnnotationRecovery, ARecoveredTakeOfTheOptionHasItsTextGridBesideIt) {
    QTemporaryDir dir;
    const QString journals = dir.filePath(u"state"_s);
    const QString folder = dir.filePath(u"录音"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const bool annotate : {true, false}) {
        TakeInfo info = takeOf(annotate ? u"有"_s : u"无"_s, annotate);
        info.folder = folder;
        const QByteArray samples = EncodeSamples(SynthSamples(tone()), quality::SampleFormat::S16);
        RecordBuffer buffer;
        buffer.clear();
        buffer.append(reinterpret_cast<const std::uint8_t*>(samples.constData()),
                      static_cast<std::size_t>(samples.size()));
        TakeJournal journal(buffer, journals, info);
        journal.finish();
    }
    const RecoveryOutcome o = recoverJournals(journals, {});
    ASSERT_EQ(o.recovered.size(), 2u);
    for (const RecoveredTake& r : o.recovered) {
        SCOPED_TRACE(r.path.toStdString());
        const QString grid = annotation::TextGridPathOf(r.path);
        ASSERT_EQ(QFile::exists(grid), r.info.labels.annotate);
        if (r.info.labels.annotate) {
            const ReadInterval item = ReadTextGridFile(grid).labelled(u"item"_s);
            EXPECT_EQ(item.text, u"有"_s);
            EXPECT_NEAR(item.xmin, 0.3 - kMargin, kFrame + 1e-6);
            EXPECT_NEAR(item.xmax, 0.8 + kMargin, kFrame + 1e-6);
        }
    }
}

TEST_F(TakeAnnotationFiles, PraatReadsTheTextGridWithTheSameBounds) {
    if (QStandardPaths::findExecutable(u"praat"_s).isEmpty()) {
        GTEST_SKIP() << "praat is not installed on this system";
    }
    const QString path = wav(u"多.wav"_s);
    TakeInfo info = takeOf(u"多"_s, true);
    info.labels.table = true;
    info.labels.id = u"0001"_s;
    info.labels.gloss = u"many \"much\""_s;
    ASSERT_TRUE(AnnotateSavedTake(path, info));
    const QString script = dir.filePath(u"bounds.praat"_s);
    ASSERT_TRUE(writeAll(script,
                         "form Bounds\n"
                         "    sentence path\n"
                         "endform\n"
                         "grid = Read from file: path$\n"
                         "tiers = Get number of tiers\n"
                         "writeInfoLine: tiers\n"
                         "for tier to tiers\n"
                         "    name$ = Get tier name: tier\n"
                         "    n = Get number of intervals: tier\n"
                         "    for i to n\n"
                         "        start = Get start time of interval: tier, i\n"
                         "        end = Get end time of interval: tier, i\n"
                         "        label$ = Get label of interval: tier, i\n"
                         "        appendInfoLine: name$, tab$, fixed$(start, 4), tab$, "
                         "fixed$(end, 4), tab$, label$\n"
                         "    endfor\n"
                         "endfor\n"));
    QProcess praat;
    praat.start(u"praat"_s, {u"--run"_s, script, annotation::TextGridPathOf(path)});
    ASSERT_TRUE(praat.waitForFinished(60000));
    ASSERT_EQ(praat.exitCode(), 0) << praat.readAllStandardError().toStdString();
    // Empty labels end their lines with a tab: the lines are split, never trimmed.
    const QStringList lines =
        QString::fromUtf8(praat.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    const ReadTextGrid ours = ReadTextGridFile(annotation::TextGridPathOf(path));
    const ReadInterval item = ours.labelled(u"item"_s);
    const QString from = QString::number(item.xmin, 'f', 4);
    const QString to = QString::number(item.xmax, 'f', 4);
    // Praat writes a zero as "0" whatever the digits asked for.
    const QStringList expected = {
        u"2"_s,
        u"item\t0\t"_s + from + u"\t"_s,
        u"item\t"_s + from + u'\t' + to + u"\t0001 多"_s,
        u"item\t"_s + to + u"\t1.1000\t"_s,
        u"gloss\t0\t"_s + from + u"\t"_s,
        u"gloss\t"_s + from + u'\t' + to + u"\tmany \"much\""_s,
        u"gloss\t"_s + to + u"\t1.1000\t"_s,
    };
    EXPECT_EQ(lines.join(u'\n').toStdString(), expected.join(u'\n').toStdString());
    EXPECT_NEAR(item.xmin, 0.28, kFrame + 1e-6);
}

}  // namespace
}  // namespace quillar::test
