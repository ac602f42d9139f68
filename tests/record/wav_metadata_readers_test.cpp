// Quillar's own readers over takes that carry metadata: bext and LIST before the samples, LIST
// after them as other programs put it, and odd-sized chunks with their pad bytes. Each reader
// (the layout, the judgement of an image and of a file, the waveform from memory and from disk,
// the journal's audio, the take log's description, quillar-check) must find the same audio as in
// the plain file of the same take.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <map>

#include "audio/wav_layout.h"
#include "check/folder_check.h"
#include "playback/board_pixels.h"
#include "playback/waveform_view.h"
#include "quality/wav_judgement.h"
#include "record/take_journal.h"
#include "record/take_log.h"
#include "record/take_logging.h"
#include "record/wav_image.h"
#include "record/wav_metadata.h"
#include "record_test_support.h"
#include "support/synth_take.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;
using quality::SampleFormat;

struct Format {
    const char* name;
    SampleFormat sample;
    std::uint16_t bits, channels;
};

// 1.1 s at 22050 Hz is 24255 frames: the mono 8 and 24-bit takes have an odd count of bytes.
const Format kFormats[] = {
    {"8-bit mono", SampleFormat::U8, 8, 1},
    {"16-bit stereo", SampleFormat::S16, 16, 2},
    {"24-bit mono", SampleFormat::S24, 24, 1},
    {"float stereo", SampleFormat::F32, 32, 2},
};
constexpr std::uint32_t kRate = 22050;

QByteArray chunk(const char* id, const QByteArray& body) {
    QByteArray out(id, 4);
    const auto size = static_cast<std::uint32_t>(body.size());
    for (int i = 0; i < 4; ++i) {
        out.append(char((size >> (8 * i)) & 0xFF));
    }
    out.append(body);
    if (body.size() % 2 != 0) {
        out.append('\0');
    }
    return out;
}

// The file with its RIFF size set to what it holds.
QByteArray sized(QByteArray file) {
    const auto size = static_cast<std::uint32_t>(file.size() - 8);
    for (int i = 0; i < 4; ++i) {
        file[4 + i] = char((size >> (8 * i)) & 0xFF);
    }
    return file;
}

WavMetadata metadata() {
    WavMetadata m;
    m.description = u"0001 多"_s;
    m.originatorReference = u"QLR-test"_s;
    m.codingHistory = u"A=PCM,F=22050,W=16,M=mono,T=Mic\r\n"_s;  // odd: bext is padded
    m.title = u"多"_s;                                           // odd INFO entry
    m.artist = u"S01"_s;
    m.comment = u"many"_s;
    return m;
}

struct Files {
    QByteArray plain;
    std::vector<std::pair<const char*, QByteArray>> variants;
};

Files filesOf(const Format& f, const QByteArray& data) {
    const auto length = static_cast<std::uint64_t>(data.size());
    const QByteArray pad(qsizetype(wavPadBytes(length)), '\0');
    const QByteArray chunks = wavMetadataChunks(metadata());
    const QByteArray bext = chunks.left(chunks.indexOf("LIST"));
    const QByteArray list = chunks.mid(bext.size());
    const auto header = [&](const QByteArray& between) {
        return wavFileHeader(length, kRate, f.bits, f.channels, between);
    };
    Files files;
    files.plain = header({}) + data + pad;
    files.variants = {
        {"bext and LIST before the data", header(chunks) + data + pad},
        {"bext before, LIST after the data", sized(header(bext) + data + pad + list)},
        {"odd-sized chunks on both sides",
         sized(header(chunk("junk", "abcde") + chunks) + data + pad + chunk("id3 ", "1234567"))},
    };
    return files;
}

void expectSameJudgement(const quality::WavJudgement& got, const quality::WavJudgement& want) {
    EXPECT_EQ(got.rate, want.rate);
    EXPECT_EQ(got.bits, want.bits);
    EXPECT_EQ(got.channels, want.channels);
    EXPECT_EQ(got.isFloat, want.isFloat);
    EXPECT_DOUBLE_EQ(got.seconds, want.seconds);
    EXPECT_EQ(got.judgement.frames, want.judgement.frames);
    EXPECT_EQ(got.judgement.problems, want.judgement.problems);
    EXPECT_EQ(got.judgement.verdict, want.judgement.verdict);
    EXPECT_EQ(got.judgement.peakDbfs, want.judgement.peakDbfs);
    EXPECT_EQ(got.judgement.noiseDbfs, want.judgement.noiseDbfs);
}

TEST(ReadersOfTakesWithMetadata, FindTheSameAudioAsInThePlainFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::vector<std::uint8_t> scratch;
    std::map<QString, quality::WavJudgement> checked;  // what quillar-check must find per file
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.name);
        SynthTake take;
        take.channels = f.channels;
        take.rate = kRate;
        const QByteArray data = EncodeSamples(SynthSamples(take), f.sample);
        const Files files = filesOf(f, data);
        const auto frames = std::uint64_t(data.size()) / (f.channels * f.bits / 8u);

        const quality::WavJudgement judged =
            quality::JudgeWavImage(reinterpret_cast<const std::uint8_t*>(files.plain.constData()),
                                   std::size_t(files.plain.size()));
        ASSERT_EQ(judged.judgement.frames, frames) << "the plain file is read as it is";
        TakeLogEntry described;
        ASSERT_TRUE(DescribeTakeImage(files.plain, described));
        const auto board = makeBoard();
        drawWaveform(*board, waveformSourceOf(files.plain));
        const QImage picture = board->canvas();
        TakeInfo info;
        info.rate = kRate;
        info.bits = f.bits;
        info.channels = f.channels;

        for (const auto& [name, file] : files.variants) {
            SCOPED_TRACE(name);
            const QString path = dir.filePath(QStringLiteral("%1 %2.wav").arg(f.name, name));
            ASSERT_TRUE(writeAll(path, file));
            checked[QFileInfo(path).fileName()] = judged;

            audio::WavLayout layout;
            ASSERT_TRUE(
                audio::parseWavLayout(file.constData(), std::uint64_t(file.size()), &layout));
            EXPECT_EQ(layout.dataBytes, std::uint64_t(data.size()));
            EXPECT_EQ(file.mid(qsizetype(layout.dataOffset), data.size()), data);

            expectSameJudgement(
                quality::JudgeWavImage(reinterpret_cast<const std::uint8_t*>(file.constData()),
                                       std::size_t(file.size())),
                judged);
            expectSameJudgement(quality::JudgeWavFile(path, quality::Profile::None, scratch),
                                judged);

            const WaveformSource src = waveformSourceOf(file);
            EXPECT_EQ(src.dataSize, data.size());
            drawWaveform(*board, src);
            EXPECT_EQ(board->canvas(), picture) << "from memory";
            QFile opened(path);
            ASSERT_TRUE(opened.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
            drawWaveform(*board, waveformSourceOf(opened, SampleAccess::Read));
            EXPECT_EQ(board->canvas(), picture) << "read from disk";

            const JournalAudio audio = JournalAudioOf(
                [&file](std::uint64_t at, void* out, std::uint64_t n) {
                    const auto size = std::uint64_t(file.size());
                    const std::uint64_t got = at >= size ? 0 : std::min(n, size - at);
                    std::memcpy(out, file.constData() + at, got);
                    return got;
                },
                std::uint64_t(file.size()), info);
            EXPECT_EQ(audio.bytes, std::uint64_t(data.size())) << "the journal's audio";
            EXPECT_EQ(audio.offset, layout.dataOffset);

            TakeLogEntry e;
            ASSERT_TRUE(DescribeTakeImage(file, e));
            EXPECT_EQ(e.channels, described.channels);
            EXPECT_EQ(e.rate, described.rate);
            EXPECT_EQ(e.bits, described.bits);
            EXPECT_DOUBLE_EQ(e.seconds, described.seconds);
            EXPECT_EQ(e.peak, described.peak);
            EXPECT_EQ(e.clipped, described.clipped);
            EXPECT_EQ(e.judgement.verdict, described.judgement.verdict);
        }
    }

    CheckOptions options;
    options.folder = dir.path();
    std::vector<CheckRow> rows;
    QString error;
    ASSERT_TRUE(CheckFolder(options, &rows, &error)) << error.toStdString();
    ASSERT_EQ(rows.size(), checked.size());
    for (const CheckRow& row : rows) {
        SCOPED_TRACE(row.file.toStdString());
        ASSERT_EQ(checked.count(row.file), 1u);
        expectSameJudgement(row.wav, checked[row.file]);
    }
}

}  // namespace
}  // namespace quillar::test
