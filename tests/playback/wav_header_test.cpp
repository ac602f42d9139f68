#include "playback/wav_header.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <QBuffer>
#include <QTemporaryDir>
#include <cstring>

#include "record/wav_image.h"
#include "wav_bytes.h"

namespace quillar::test {
namespace {

QByteArray ourRecording(std::uint32_t rate, std::uint16_t bits, std::uint32_t dataBytes) {
    const auto header = wavHeaderBytes(dataBytes, rate, bits, 2);
    QByteArray bytes(reinterpret_cast<const char*>(header.data()), int(header.size()));
    bytes.append(QByteArray(int(dataBytes), '\x80'));
    return bytes;
}

std::string idOf(const std::array<char, 4>& id) {
    return std::string(id.data(), 4);
}

TEST(ReadWavHeader, ReadsBackWhatTheRecorderWrites) {
    const struct {
        std::uint32_t rate;
        std::uint16_t bits;
        std::int16_t tag;
    } cases[] = {{8000, 8, 1},   {8000, 16, 1},  {22050, 16, 1}, {44100, 16, 1},
                 {44100, 32, 3}, {48000, 32, 3}, {12000, 8, 1}};
    for (const auto& c : cases) {
        const std::uint32_t data = c.rate / 10 * 2 * c.bits / 8;  // 100 ms
        const QByteArray file = ourRecording(c.rate, c.bits, data);
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, " << c.bits << " bits");
        const WavHeader h = ReadWavHeader(file);
        EXPECT_EQ(idOf(h.riff.chunk_id), "RIFF");
        EXPECT_EQ(h.riff.chunk_size, file.size() - 8);
        EXPECT_EQ(idOf(h.riff.form_type), "WAVE");
        EXPECT_EQ(idOf(h.fmt.chunk_id), "fmt ");
        EXPECT_EQ(h.fmt.chunk_size, 16);
        EXPECT_EQ(h.fmt.format_tag, c.tag);
        EXPECT_EQ(h.fmt.channels, 2);
        EXPECT_EQ(h.fmt.sample_rate, std::int32_t(c.rate));
        EXPECT_EQ(h.fmt.byte_rate, std::int32_t(c.rate * 2 * c.bits / 8));
        EXPECT_EQ(h.fmt.block_align, 2 * c.bits / 8);
        EXPECT_EQ(h.fmt.bits_per_sample, c.bits);
        EXPECT_TRUE(h.dataIdAt36());
        EXPECT_EQ(h.data.chunk_size, file.size() - 44);
    }
}

TEST(ReadWavHeader, AgreesWithLibsndfileOnItsFiles) {
    QTemporaryDir dir;
    const struct {
        int channels;
        int rate;
        int subformat;
        int bits;
    } cases[] = {{1, 8000, SF_FORMAT_PCM_U8, 8},
                 {2, 22050, SF_FORMAT_PCM_U8, 8},
                 {1, 44100, SF_FORMAT_PCM_16, 16},
                 {2, 48000, SF_FORMAT_PCM_16, 16}};
    for (const auto& c : cases) {
        const QString path = dir.filePath(QString("sf_%1_%2.wav").arg(c.channels).arg(c.bits));
        SF_INFO info{};
        info.samplerate = c.rate;
        info.channels = c.channels;
        info.format = SF_FORMAT_WAV | c.subformat;
        SNDFILE* sf = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
        ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
        std::vector<short> frames(std::size_t(1000 * c.channels), 1234);
        sf_writef_short(sf, frames.data(), 1000);
        sf_close(sf);

        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const WavHeader h = ReadWavHeader(file);
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(h.fmt.channels, c.channels);
        EXPECT_EQ(h.fmt.sample_rate, c.rate);
        EXPECT_EQ(h.fmt.bits_per_sample, c.bits);
        EXPECT_EQ(h.fmt.block_align, c.channels * c.bits / 8);
        EXPECT_EQ(h.fmt.byte_rate, c.rate * c.channels * c.bits / 8);
        ASSERT_TRUE(h.dataIdAt36());
        EXPECT_EQ(h.data.chunk_size, 1000 * c.channels * c.bits / 8);
    }
}

TEST(ReadWavHeader, TakesEveryFieldAsItStands) {
    // An 18-byte fmt chunk moves "data" to 38: bytes 36-39 then hold the extension size and
    // the first half of the id, and are read like any other bytes.
    WavFields f;
    f.fmt18 = true;
    const WavHeader h = ReadWavHeader(wavBytes(f, QByteArray(400, '\0')));
    EXPECT_EQ(h.fmt.chunk_size, 18);
    EXPECT_FALSE(h.dataIdAt36());
    EXPECT_EQ(std::memcmp(h.data.chunk_id.data(), "\0\0da", 4), 0);
    EXPECT_EQ(h.data.chunk_size, 0x01906174);  // "ta" and the low half of the size 400

    // Signed fields: values with the top bit set read negative.
    WavFields odd;
    odd.channels = -2;
    odd.dataSize = 0xFFFFFFF0;
    odd.byteRate = 0x80000000;
    const WavHeader n = ReadWavHeader(wavBytes(odd, QByteArray()));
    EXPECT_EQ(n.fmt.channels, -2);
    EXPECT_EQ(n.data.chunk_size, -16);
    EXPECT_EQ(n.fmt.byte_rate, std::numeric_limits<std::int32_t>::min());
}

TEST(ReadWavHeader, ShortFilesLeaveTheMissingFieldsZero) {
    const QByteArray full = ourRecording(44100, 16, 40);
    const struct {
        int length;
        std::int16_t channels;
        std::int32_t byteRate;
        std::int16_t bits;
    } cases[] = {{0, 0, 0, 0},  {1, 0, 0, 0},       {22, 0, 0, 0},      {24, 2, 0, 0},
                 {28, 2, 0, 0}, {32, 2, 176400, 0}, {40, 2, 176400, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        const WavHeader h = ReadWavHeader(full.left(c.length));
        EXPECT_EQ(h.fmt.channels, c.channels);
        EXPECT_EQ(h.fmt.byte_rate, c.byteRate);
        EXPECT_EQ(h.fmt.bits_per_sample, c.bits);
        EXPECT_EQ(h.data.chunk_size, 0);
    }
    // A field cut by the end of the file keeps the bytes that are there.
    EXPECT_EQ(ReadWavHeader(full.left(42)).data.chunk_size, 40);
    EXPECT_EQ(ReadWavHeader(full.left(1)).riff.chunk_id[0], 'R');
    EXPECT_EQ(ReadWavHeader(full.left(1)).riff.chunk_id[1], '\0');
}

TEST(ReadWavHeader, FromAnOpenFileSeeksToTheStartAndStopsBehindTheHeader) {
    QByteArray bytes = ourRecording(8000, 16, 16);
    QBuffer buffer(&bytes);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    buffer.seek(30);
    const WavHeader h = ReadWavHeader(buffer);
    EXPECT_EQ(h.fmt.sample_rate, 8000);
    EXPECT_EQ(buffer.pos(), 44);

    QBuffer closed(&bytes);  // not open: nothing to read
    EXPECT_EQ(ReadWavHeader(closed).fmt.channels, 0);
}

}  // namespace
}  // namespace quillar::test
