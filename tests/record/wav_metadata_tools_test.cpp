// Takes with metadata read by programs we did not write. Every take is written twice by the save
// itself, with and without its metadata, in 16 and 24-bit PCM and float, mono and stereo: each
// reader must decode the same samples from both, and show the bext and INFO fields with their
// Chinese intact. A test whose program is missing is skipped; the test packages install them all.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstring>
#include <vector>

#include "kit/record_buffer.h"
#include "program_identity.h"
#include "record/saving.h"
#include "record/wav_image.h"
#include "record/wav_metadata.h"
#include "support/synth_take.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;
using quality::SampleFormat;

constexpr std::uint32_t kRate = 44100;
// 0.3 + 0.5 + 0.3 s: 48510 frames; the 24-bit mono take is an odd count of bytes.
constexpr std::uint64_t kFrames = 48510;
// 10:00:00.5 at 44100 Hz.
constexpr std::uint64_t kTimeReference = 36000.5 * kRate;

struct Format {
    const char* name;
    SampleFormat sample;
    std::uint16_t bits, channels;
};

const Format kFormats[] = {
    {"s16-mono", SampleFormat::S16, 16, 1},   {"s16-stereo", SampleFormat::S16, 16, 2},
    {"s24-mono", SampleFormat::S24, 24, 1},   {"s24-stereo", SampleFormat::S24, 24, 2},
    {"float-mono", SampleFormat::F32, 32, 1}, {"float-stereo", SampleFormat::F32, 32, 2},
};

WavMetadata metadataOf(const Format& f) {
    WavMetadataFacts facts;
    facts.id = u"0001"_s;
    facts.item = u"多"_s;
    facts.gloss = u"many"_s;
    facts.note = u"又读"_s;
    facts.speaker = u"老男"_s;
    facts.site = u"上海"_s;
    facts.device = u"USB 麦克风"_s;
    facts.started = QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0, 500));
    facts.rate = kRate;
    facts.bits = f.bits;
    facts.channels = f.channels;
    facts.reference = u"QLR20261209100000500-0000002a"_s;
    return wavMetadataOf(facts);
}

struct Take {
    Format format;
    QString plain;   // written without metadata
    QString tagged;  // the same take with it
};

struct Ran {
    int code = -1;
    QByteArray out;  // standard output
    QString err;
};

Ran run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) {
        return {-1, {}, program + u": "_s + p.errorString()};
    }
    return {p.exitCode(), p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError())};
}

bool installed(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty();
}

#define REQUIRE_PROGRAM(name)                                    \
    if (!installed(u"" name ""_s)) {                             \
        GTEST_SKIP() << name " is not installed on this system"; \
    }

class OutsideReaders : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        s_dir = new QTemporaryDir;
        for (const Format& f : kFormats) {
            SynthTake synth;
            synth.channels = f.channels;
            synth.rate = kRate;
            const QByteArray data = EncodeSamples(SynthSamples(synth), f.sample);
            RecordBuffer buffer;
            buffer.append(data.constData(), std::size_t(data.size()));
            BuildWavImage(buffer, kRate, f.bits, f.channels);
            Take take{f, s_dir->filePath(QLatin1String(f.name) + u"-plain.wav"_s),
                      s_dir->filePath(QLatin1String(f.name) + u"-tagged.wav"_s)};
            const bool written = writeWavImageFile(buffer, take.plain) &&
                                 writeWavImageFile(buffer, take.tagged, {}, metadataOf(f));
            if (written) {
                s_takes.push_back(take);
            }
        }
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
        s_takes.clear();
    }
    void SetUp() override { ASSERT_EQ(s_takes.size(), std::size(kFormats)) << "takes written"; }

    static QTemporaryDir* s_dir;
    static std::vector<Take> s_takes;
};

QTemporaryDir* OutsideReaders::s_dir = nullptr;
std::vector<Take> OutsideReaders::s_takes;

// The samples libsndfile decodes: integers for PCM (scaled to 32 bits), floats for float.
struct Decoded {
    SF_INFO info{};
    std::vector<int> ints;
    std::vector<float> floats;
};

Decoded decode(const QString& path, bool isFloat) {
    Decoded d;
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &d.info);
    if (f == nullptr) {
        ADD_FAILURE() << path.toStdString() << ": " << sf_strerror(nullptr);
        return d;
    }
    const sf_count_t n = d.info.frames * d.info.channels;
    if (isFloat) {
        d.floats.resize(std::size_t(n));
        EXPECT_EQ(sf_read_float(f, d.floats.data(), n), n);
    } else {
        d.ints.resize(std::size_t(n));
        EXPECT_EQ(sf_read_int(f, d.ints.data(), n), n);
    }
    sf_close(f);
    return d;
}

QString fixedText(const char* field, std::size_t width) {
    return QString::fromUtf8(field, qsizetype(strnlen(field, width)));
}

TEST_F(OutsideReaders, LibsndfileDecodesTheSameSamplesAndReadsEveryField) {
    for (const Take& t : s_takes) {
        SCOPED_TRACE(t.format.name);
        const bool isFloat = t.format.bits == 32;
        const Decoded plain = decode(t.plain, isFloat);
        const Decoded tagged = decode(t.tagged, isFloat);
        EXPECT_EQ(tagged.info.frames, sf_count_t(kFrames));
        EXPECT_EQ(tagged.info.format, plain.info.format);
        EXPECT_EQ(tagged.info.channels, t.format.channels);
        EXPECT_TRUE(tagged.ints == plain.ints);
        EXPECT_TRUE(tagged.floats == plain.floats);

        SF_INFO info{};
        SNDFILE* f = sf_open(QFile::encodeName(t.tagged).constData(), SFM_READ, &info);
        ASSERT_NE(f, nullptr);
        SF_BROADCAST_INFO_VAR(1024) bext{};
        ASSERT_EQ(sf_command(f, SFC_GET_BROADCAST_INFO, &bext, sizeof(bext)), SF_TRUE);
        EXPECT_EQ(fixedText(bext.description, 256), u"0001 多"_s);
        EXPECT_EQ(fixedText(bext.originator, 32), u"Quillar"_s);
        EXPECT_EQ(fixedText(bext.originator_reference, 32), u"QLR20261209100000500-0000002a"_s);
        EXPECT_EQ(fixedText(bext.origination_date, 10), u"2026-12-09"_s);
        EXPECT_EQ(fixedText(bext.origination_time, 8), u"10:00:00"_s);
        EXPECT_EQ(bext.time_reference_low, std::uint32_t(kTimeReference));
        EXPECT_EQ(bext.time_reference_high, 0u);
        EXPECT_EQ(bext.version, 1);
        EXPECT_EQ(fixedText(bext.coding_history, bext.coding_history_size),
                  metadataOf(t.format).codingHistory);
        const auto text = [f](int which) {
            const char* s = sf_get_string(f, which);
            return s != nullptr ? QString::fromUtf8(s) : QString();
        };
        EXPECT_EQ(text(SF_STR_TITLE), u"多"_s);
        EXPECT_EQ(text(SF_STR_ARTIST), u"老男"_s);
        EXPECT_EQ(text(SF_STR_DATE), u"2026-12-09"_s);
        EXPECT_EQ(text(SF_STR_COMMENT), u"many; 又读"_s);
        EXPECT_EQ(text(SF_STR_SOFTWARE), u"Quillar "_s + QLatin1String(kProgramVersion));
        sf_close(f);
    }
}

TEST_F(OutsideReaders, SndfileInfoPrintsTheBroadcastFieldsWithoutWarnings) {
    REQUIRE_PROGRAM("sndfile-info");
    for (const Take& t : s_takes) {
        SCOPED_TRACE(t.format.name);
        const Ran info = run(u"sndfile-info"_s, {t.tagged});
        ASSERT_EQ(info.code, 0) << info.err.toStdString();
        const QString out = QString::fromUtf8(info.out);
        for (const QString& line : out.split(u'\n')) {
            // libsndfile notes every odd-sized data chunk, its own padded files included.
            if (line.contains(u"'data' chunk should be an even number"_s)) {
                continue;
            }
            EXPECT_FALSE(line.startsWith(u'*') || line.contains(u"hould"_s)) << line.toStdString();
        }
        EXPECT_TRUE(out.contains(u"INAM : 多"_s)) << info.out.toStdString();
        EXPECT_TRUE(out.contains(u"ICMT : many; 又读"_s)) << info.out.toStdString();

        const Ran bext = run(u"sndfile-info"_s, {u"--broadcast"_s, t.tagged});
        ASSERT_EQ(bext.code, 0) << bext.err.toStdString();
        const QString fields = QString::fromUtf8(bext.out);
        for (const QString& want :
             {u"Description\\s+: 0001 多\n"_s, u"Originator\\s+: Quillar\n"_s,
              u"Origination date\\s+: 2026-12-09\n"_s, u"Origination time\\s+: 10:00:00\n"_s,
              QStringLiteral("Time ref\\s+: 0x0*%1 ").arg(kTimeReference, 0, 16),
              u"Coding history\\s+: A=[A-Z-]+,F=44100,.*T=USB 麦克风"_s}) {
            EXPECT_TRUE(QRegularExpression(want).match(fields).hasMatch())
                << want.toStdString() << " in\n"
                << bext.out.toStdString();
        }
    }
}

TEST_F(OutsideReaders, SoxDecodesTheSameSamples) {
    REQUIRE_PROGRAM("sox");
    for (const Take& t : s_takes) {
        SCOPED_TRACE(t.format.name);
        const Ran plain = run(u"sox"_s, {t.plain, u"-t"_s, u"raw"_s, u"-"_s});
        const Ran tagged = run(u"sox"_s, {t.tagged, u"-t"_s, u"raw"_s, u"-"_s});
        ASSERT_EQ(tagged.code, 0) << tagged.err.toStdString();
        EXPECT_EQ(tagged.out.size(), qsizetype(kFrames * t.format.channels * t.format.bits / 8));
        EXPECT_TRUE(tagged.out == plain.out);
    }
}

TEST_F(OutsideReaders, FfmpegDecodesTheSameSamples) {
    REQUIRE_PROGRAM("ffmpeg");
    for (const Take& t : s_takes) {
        SCOPED_TRACE(t.format.name);
        // 32-bit output holds every width exactly.
        const QString out = t.format.bits == 32 ? u"f32le"_s : u"s32le"_s;
        const auto decode = [&out](const QString& path) {
            return run(u"ffmpeg"_s, {u"-v"_s, u"error"_s, u"-i"_s, path, u"-f"_s, out, u"-"_s});
        };
        const Ran plain = decode(t.plain);
        const Ran tagged = decode(t.tagged);
        ASSERT_EQ(tagged.code, 0) << tagged.err.toStdString();
        EXPECT_EQ(tagged.out.size(), qsizetype(kFrames * t.format.channels * 4));
        EXPECT_TRUE(tagged.out == plain.out);
    }
}

TEST_F(OutsideReaders, FfprobeShowsTheInfoAndBextTags) {
    REQUIRE_PROGRAM("ffprobe");
    for (const Take& t : s_takes) {
        SCOPED_TRACE(t.format.name);
        const Ran probe = run(
            u"ffprobe"_s, {u"-v"_s, u"error"_s, u"-show_format"_s, u"-of"_s, u"json"_s, t.tagged});
        ASSERT_EQ(probe.code, 0) << probe.err.toStdString();
        const QJsonObject tags =
            QJsonDocument::fromJson(probe.out)["format"].toObject()["tags"].toObject();
        // ffprobe names bext's originator encoded_by and its time creation_time, and folds its
        // description into comment, where INFO's comment then stands.
        const std::pair<const char*, QString> want[] = {
            {"title", u"多"_s},
            {"artist", u"老男"_s},
            {"date", u"2026-12-09"_s},
            {"comment", u"many; 又读"_s},
            {"encoder", u"Quillar "_s + QLatin1String(kProgramVersion)},
            {"ISRF", u"上海"_s},
            {"encoded_by", u"Quillar"_s},
            {"originator_reference", u"QLR20261209100000500-0000002a"_s},
            {"creation_time", u"10:00:00"_s},
            {"time_reference", QString::number(kTimeReference)},
            {"coding_history", metadataOf(t.format).codingHistory},
        };
        for (const auto& [key, value] : want) {
            EXPECT_EQ(tags[QLatin1String(key)].toString(), value)
                << key << " in " << probe.out.toStdString();
        }
    }
}

TEST_F(OutsideReaders, MediainfoShowsTheFieldsWithTheirBytesIntact) {
    REQUIRE_PROGRAM("mediainfo");
    for (const Take& t : s_takes) {
        SCOPED_TRACE(t.format.name);
        const Ran info = run(u"mediainfo"_s, {u"--Output=JSON"_s, t.tagged});
        ASSERT_EQ(info.code, 0) << info.err.toStdString();
        const QJsonObject general =
            QJsonDocument::fromJson(info.out)["media"]["track"][0].toObject();
        // mediainfo takes RIFF text for Latin-1: each UTF-8 byte comes out as one character, so
        // its bytes, read as UTF-8 again, are the text written.
        const auto field = [&general](const char* key) {
            const QString shown = general[QLatin1String(key)].toString();
            return QString::fromUtf8(shown.toLatin1());
        };
        const std::pair<const char*, QString> want[] = {
            {"Title", u"多"_s},
            {"Director", u"老男"_s},  // its name for INFO's artist
            {"Description", u"0001 多"_s},
            {"Producer", u"Quillar"_s},  // bext's originator
            {"Recorded_Date", u"2026-12-09"_s},
            {"Encoded_Date", u"2026-12-09 10:00:00"_s},
            {"Encoded_Application", u"Quillar "_s + QLatin1String(kProgramVersion)},
            {"Encoded_Library_Settings", metadataOf(t.format).codingHistory.trimmed()},
            {"OriginalSourceForm", u"上海"_s},
            {"Comment", u"many; 又读"_s},
        };
        for (const auto& [key, value] : want) {
            EXPECT_EQ(field(key), value) << key << " in " << info.out.toStdString();
        }
        EXPECT_EQ(general["Duration"].toString().toDouble(), 1.1);
    }
}

TEST_F(OutsideReaders, ExiftoolShowsTheFields) {
    REQUIRE_PROGRAM("exiftool");
    for (const Take& t : s_takes) {
        SCOPED_TRACE(t.format.name);
        // exiftool reads INFO text as Latin-1 unless told its character set.
        const Ran info = run(u"exiftool"_s, {u"-j"_s, u"-charset"_s, u"RIFF=UTF8"_s, t.tagged});
        ASSERT_EQ(info.code, 0) << info.err.toStdString();
        const QJsonObject tags = QJsonDocument::fromJson(info.out)[0].toObject();
        const std::pair<const char*, QString> want[] = {
            {"Title", u"多"_s},
            {"Artist", u"老男"_s},
            {"DateCreated", u"2026:12:09"_s},
            {"Software", u"Quillar "_s + QLatin1String(kProgramVersion)},
            {"Comment", u"many; 又读"_s},
            {"SourceForm", u"上海"_s},
            {"Description", u"0001 多"_s},
            {"Originator", u"Quillar"_s},
            {"OriginatorReference", u"QLR20261209100000500-0000002a"_s},
            {"DateTimeOriginal", u"2026:12:09 10:00:00"_s},
            {"CodingHistory", metadataOf(t.format).codingHistory},
        };
        for (const auto& [key, value] : want) {
            EXPECT_EQ(tags[QLatin1String(key)].toVariant().toString(), value)
                << key << " in " << info.out.toStdString();
        }
        EXPECT_EQ(tags["TimeReference"].toVariant().toULongLong(), kTimeReference);
    }
}

TEST_F(OutsideReaders, PraatReadsTheTake) {
    REQUIRE_PROGRAM("praat");
    const QString script = s_dir->filePath(u"count.praat"_s);
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "form Count\n"
        "    sentence path\n"
        "endform\n"
        "sound = Read from file: path$\n"
        "samples = Get number of samples\n"
        "rate = Get sampling frequency\n"
        "channels = Get number of channels\n"
        "writeInfoLine: samples, \" \", rate, \" \", channels\n");
    file.close();
    for (const Take& t : s_takes) {
        SCOPED_TRACE(t.format.name);
        const Ran praat = run(u"praat"_s, {u"--run"_s, script, t.tagged});
        ASSERT_EQ(praat.code, 0) << praat.err.toStdString();
        EXPECT_EQ(QString::fromUtf8(praat.out).trimmed(),
                  QStringLiteral("%1 %2 %3").arg(kFrames).arg(kRate).arg(t.format.channels));
    }
}

}  // namespace
}  // namespace quillar::test
