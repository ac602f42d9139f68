// The session joined into one WAV: its samples are the takes' one after another, its TextGrid and
// ELAN file mark each take's speech where it lies in the session (read back by Praat and by
// Python's XML parser), takes of mixed formats are refused or converted, and nothing is written
// over.
#include "export/session_join.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "audio/wav_layout.h"
#include "quality/wav_judgement.h"
#include "support/praat.h"
#include "support/export_source.h"
#include "support/synth_take.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;
using quality::SampleFormat;

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The samples of a WAV file, as stored.
QByteArray dataOf(const QString& path) {
    const QByteArray image = readAll(path);
    audio::WavLayout layout;
    if (!audio::parseWavLayout(image.constData(), static_cast<std::uint64_t>(image.size()),
                               &layout)) {
        return QByteArray();
    }
    return image.mid(static_cast<qsizetype>(layout.dataOffset),
                     static_cast<qsizetype>(layout.dataBytes));
}

struct Ran {
    int code = -1;
    QString out;
};

Ran run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) {
        return {};
    }
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

class SessionJoin : public ::testing::Test {
  protected:
    void put(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    ExportFolder read(const QString& list) {
        put(u"list.txt"_s, list.toUtf8());
        ExportFolder folder;
        QString error;
        EXPECT_TRUE(
            ReadExportFolder(SourceOf(dir.path(), dir.filePath(u"list.txt"_s)), &folder, &error))
            << error.toStdString();
        return folder;
    }
    // Three mono takes of different lengths, and an item without one.
    ExportFolder threeTakes() {
        put(u"一.wav"_s, SynthWav({.leadSeconds = 0.2, .channels = 1}, SampleFormat::S16));
        put(u"二.wav"_s, SynthWav({.wordSeconds = 0.8, .channels = 1}, SampleFormat::S16));
        put(u"三.wav"_s, SynthWav({.tailSeconds = 0.61, .channels = 1}, SampleFormat::S16));
        return read(u"一\n二\n四\n三\n"_s);
    }

    QTemporaryDir dir;
};

TEST_F(SessionJoin, TheSessionIsTheTakesOneAfterAnotherInListOrder) {
    const ExportFolder folder = threeTakes();
    SessionJoinResult joined;
    QString error;
    std::vector<int> progress;
    ASSERT_TRUE(JoinSession(folder, {u"all"_s}, &joined, &error, [&](int done, int) {
        progress.push_back(done);
    })) << error.toStdString();
    EXPECT_EQ(progress, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(joined.withoutTake, QStringList{u"四"_s});
    EXPECT_EQ(joined.paths.wav, dir.filePath(u"all.wav"_s));
    const QByteArray expected = dataOf(dir.filePath(u"一.wav"_s)) +
                                dataOf(dir.filePath(u"二.wav"_s)) +
                                dataOf(dir.filePath(u"三.wav"_s));
    EXPECT_TRUE(dataOf(joined.paths.wav) == expected);
    ASSERT_EQ(joined.takes.size(), 3u);
    std::uint64_t at = 0;
    for (const JoinedTake& t : joined.takes) {
        EXPECT_EQ(t.begin, at);
        at += t.frames;
    }
    EXPECT_EQ(joined.frames, at);
    EXPECT_EQ(at * 2, static_cast<std::uint64_t>(expected.size()));
    // Nothing left behind but the session's three files.
    QStringList left = QDir(dir.path()).entryList({u"all*"_s}, QDir::Files);
    left.sort();
    EXPECT_EQ(left, (QStringList{u"all.TextGrid"_s, u"all.eaf"_s, u"all.wav"_s}));
}

TEST_F(SessionJoin, NothingIsWrittenOverAndAPathNamesTheSessionElsewhere) {
    const ExportFolder folder = threeTakes();
    QTemporaryDir other;
    struct Row {
        QString name;
        QString existing;  // a file standing in the way; empty: none
        QString wav;       // the session's WAV; empty: refused
    };
    const Row rows[] = {
        {u"s.wav"_s, {}, dir.filePath(u"s.wav"_s)},
        {u"s"_s, {}, {}},  // the one just made
        {u"t"_s, dir.filePath(u"t.eaf"_s), {}},
        {u"u"_s, dir.filePath(u"u.TextGrid"_s), {}},
        {other.filePath(u"away"_s), {}, other.filePath(u"away.wav"_s)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name.toStdString());
        if (!r.existing.isEmpty()) {
            QFile f(r.existing);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
        SessionJoinResult joined;
        QString error;
        EXPECT_EQ(JoinSession(folder, {r.name}, &joined, &error), !r.wav.isEmpty());
        if (r.wav.isEmpty()) {
            EXPECT_TRUE(error.contains(u"already exists"_s)) << error.toStdString();
        } else {
            EXPECT_EQ(joined.paths.wav, r.wav);
            EXPECT_TRUE(QFileInfo::exists(r.wav));
        }
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(u"t.wav"_s)));
}

TEST_F(SessionJoin, PraatReadsTheSpeechOfEveryTakeWhereItLiesInTheSession) {
    put(u"a.wav"_s, SynthWav({.channels = 1}, SampleFormat::S16));
    put(u"b.wav"_s, SynthWav({.leadSeconds = 0.5, .channels = 1}, SampleFormat::S16));
    put(u"c.wav"_s, SynthWav({.wordSeconds = 0.3, .channels = 1}, SampleFormat::S16));
    put(u"t.csv"_s, u"id,item,gloss\r\n0001,a,one\r\n0002,b,two\r\n0003,c,three\r\n"_s.toUtf8());
    ExportFolder folder;
    QString error;
    ASSERT_TRUE(ReadExportFolder(SourceOf(dir.path(), dir.filePath(u"t.csv"_s), u"{item}"_s),
                                 &folder, &error))
        << error.toStdString();
    SessionJoinResult joined;
    ASSERT_TRUE(JoinSession(folder, {u"s"_s}, &joined, &error)) << error.toStdString();

    // Each take's speech as the take on its own is judged, moved to where it lies.
    struct Mark {
        double start, end;
        QString text;
    };
    std::vector<Mark> item, take;
    std::vector<std::uint8_t> scratch;
    double at = 0.0;
    for (const QString& f : {u"a"_s, u"b"_s, u"c"_s}) {
        const quality::WavJudgement w =
            quality::JudgeWavFile(dir.filePath(f + u".wav"_s), quality::Profile::None, scratch);
        item.push_back({at + w.judgement.speech.beginSeconds(w.rate),
                        at + w.judgement.speech.endSeconds(w.rate), f});
        take.push_back({at, at + w.seconds, f + u".wav"_s});
        at += w.seconds;
    }
    if (QStandardPaths::findExecutable(u"praat"_s).isEmpty()) {
        GTEST_SKIP() << "praat is not installed";
    }
    const std::vector<PraatInterval> items = PraatIntervals(joined.paths.textGrid, 1, &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    std::vector<PraatInterval> labelled;
    for (const PraatInterval& i : items) {
        if (!i.text.isEmpty()) {
            labelled.push_back(i);
        }
    }
    ASSERT_EQ(labelled.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(labelled[i].text, u"000%1 "_s.arg(i + 1) + item[i].text);
        EXPECT_NEAR(labelled[i].start, item[i].start, 0.020);
        EXPECT_NEAR(labelled[i].end, item[i].end, 0.020);
    }
    const std::vector<PraatInterval> glosses = PraatIntervals(joined.paths.textGrid, 2, &error);
    EXPECT_EQ(glosses.size(), items.size());
    const std::vector<PraatInterval> takes = PraatIntervals(joined.paths.textGrid, 3, &error);
    ASSERT_EQ(takes.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(takes[i].text, take[i].text);
        EXPECT_NEAR(takes[i].start, take[i].start, 1.0 / 44100);
        EXPECT_NEAR(takes[i].end, take[i].end, 1.0 / 44100);
    }
    // The whole session lasts the takes' sum, to the frame.
    const QString duration = RunPraat(
        u"s = Read from file: \"%1\"\nd = Get total duration\nwriteInfoLine: fixed$(d, 7)\n"_s.arg(
            joined.paths.wav),
        &error);
    EXPECT_NEAR(duration.trimmed().toDouble(), at, 1.0 / 44100) << error.toStdString();
}

TEST_F(SessionJoin, TheElanFileIsWellFormedWithItsMediaBesideIt) {
    const ExportFolder folder = threeTakes();
    SessionJoinResult joined;
    QString error;
    ASSERT_TRUE(JoinSession(folder, {u"elan"_s}, &joined, &error)) << error.toStdString();
    if (QStandardPaths::findExecutable(u"python3"_s).isEmpty()) {
        GTEST_SKIP() << "python3 is not installed";
    }
    // Prints: the media's ms, the largest time slot, the tiers and their annotation counts, and
    // whether the relative media URL names a file beside the document.
    const QString script =
        uR"(
import os, sys, wave, xml.etree.ElementTree as ET
path = sys.argv[1]
root = ET.parse(path).getroot()
media = root.find('HEADER/MEDIA_DESCRIPTOR')
rel = media.get('RELATIVE_MEDIA_URL')
wav = os.path.normpath(os.path.join(os.path.dirname(path), rel))
with wave.open(wav) as w:
    ms = w.getnframes() * 1000 / w.getframerate()
slots = {s.get('TIME_SLOT_ID'): int(s.get('TIME_VALUE')) for s in root.iter('TIME_SLOT')}
ok = all(0 <= v <= ms for v in slots.values())
tiers = ['%s:%d' % (t.get('TIER_ID'), len(t.findall('ANNOTATION'))) for t in root.iter('TIER')]
print(os.path.exists(wav), ok, len(slots) > 0, ' '.join(tiers))
)"_s;
    const Ran python = run(u"python3"_s, {u"-c"_s, script, joined.paths.eaf});
    ASSERT_EQ(python.code, 0) << python.out.toStdString();
    EXPECT_EQ(python.out.trimmed(), u"True True True item:3"_s);
}

TEST_F(SessionJoin, MixedFormatsAreRefusedByNameOrConverted) {
    put(u"a.wav"_s, SynthWav({.channels = 1}, SampleFormat::S16));
    put(u"b.wav"_s, SynthWav({.channels = 2, .rate = 48000}, SampleFormat::S24));
    put(u"c.wav"_s, SynthWav({.channels = 1, .rate = 22050}, SampleFormat::F32));
    put(u"d.wav"_s, SynthWav({.channels = 1}, SampleFormat::S16));
    const ExportFolder folder = read(u"a\nb\nc\nd\n"_s);
    SessionJoinResult joined;
    QString error;
    EXPECT_FALSE(JoinSession(folder, {u"s"_s}, &joined, &error));
    EXPECT_TRUE(error.contains(u"b.wav (48000 Hz 24-bit 2 ch)"_s)) << error.toStdString();
    EXPECT_TRUE(error.contains(u"c.wav (22050 Hz 32-bit float 1 ch)"_s)) << error.toStdString();
    EXPECT_FALSE(error.contains(u"d.wav"_s)) << error.toStdString();
    EXPECT_TRUE(QDir(dir.path()).entryList({u"s*"_s}).isEmpty());

    ASSERT_TRUE(JoinSession(folder, {u"s"_s, true}, &joined, &error)) << error.toStdString();
    ASSERT_EQ(joined.takes.size(), 4u);
    EXPECT_FALSE(joined.takes[0].converted);
    EXPECT_TRUE(joined.takes[1].converted);
    // 1.1 s each: the converted takes keep their length within a few frames of the resampler.
    for (const JoinedTake& t : joined.takes) {
        EXPECT_NEAR(double(t.frames), 1.1 * 44100, 4.0) << t.file.toStdString();
        // The word (0.3 .. 0.8 s) is found in the converted samples too.
        EXPECT_NEAR(t.speech.beginSeconds(44100), 0.3, 0.03) << t.file.toStdString();
        EXPECT_NEAR(t.speech.endSeconds(44100), 0.8, 0.03) << t.file.toStdString();
    }
    if (QStandardPaths::findExecutable(u"sox"_s).isEmpty()) {
        GTEST_SKIP() << "sox is not installed";
    }
    const auto info = [&](const QString& option) {
        return run(u"sox"_s, {u"--i"_s, option, joined.paths.wav}).out.trimmed();
    };
    EXPECT_EQ(info(u"-r"_s), u"44100"_s);
    EXPECT_EQ(info(u"-c"_s), u"1"_s);
    EXPECT_EQ(info(u"-b"_s), u"16"_s);
    EXPECT_EQ(info(u"-s"_s), QString::number(joined.frames));
}

}  // namespace
}  // namespace quillar::test
