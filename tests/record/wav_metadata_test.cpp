// The metadata chunks: bext's fixed fields at their offsets and cut at whole characters, INFO's
// entries padded and the empty ones left out, a header whose sizes count everything, and every
// writer (a save, a pending take from its journal or from memory, a recovered take) putting the
// chunks between the format and the samples, the samples untouched.
#include "record/wav_metadata.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QSet>
#include <QTemporaryDir>
#include <QtEndian>
#include <vector>

#include "kit/record_buffer.h"
#include "program_identity.h"
#include "record/pending_takes.h"
#include "record/saving.h"
#include "record/take_journal.h"
#include "record/take_recovery.h"
#include "record/wav_image.h"
#include "record_test_support.h"
#include "wav_chunk_walk.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

// bext's fixed fields: offset in the chunk's body and width.
constexpr qsizetype kDescriptionAt = 0, kOriginatorAt = 256, kReferenceAt = 288, kDateAt = 320,
                    kTimeAt = 330, kTimeLowAt = 338, kTimeHighAt = 342, kVersionAt = 346,
                    kUmidAt = 348, kHistoryAt = 602;

WavMetadata sample() {
    WavMetadata m;
    m.description = u"0001 多"_s;
    m.originatorReference = u"QLR20261209100000123-0000002a"_s;
    m.originationDate = u"2026-12-09"_s;
    m.originationTime = u"10:00:00"_s;
    m.timeReference = 0x0000000123456789ull;
    m.codingHistory = u"A=PCM,F=44100,W=16,M=mono,T=USB 麦克风\r\n"_s;
    m.title = u"多"_s;
    m.artist = u"老男"_s;
    m.created = u"2026-12-09"_s;
    m.software = u"Quillar 1.0"_s;
    m.comment = u"many; 又读"_s;
    m.source = u"S01"_s;
    return m;
}

// The text of a fixed field: its bytes up to the first zero.
QByteArray fieldText(const QByteArray& body, qsizetype at, qsizetype width) {
    const QByteArray field = body.mid(at, width);
    const qsizetype zero = field.indexOf('\0');
    return zero < 0 ? field : field.left(zero);
}

TEST(WavMetadataChunks, BextFieldsLieAtTheirOffsetsAndTheRestIsZero) {
    const WavMetadata m = sample();
    const QByteArray chunks = wavMetadataChunks(m);
    bool clean = false;
    const std::vector<RiffChunk> all = walkChunks(chunks, 0, &clean);
    EXPECT_TRUE(clean);
    ASSERT_EQ(all.size(), 2u);
    ASSERT_EQ(all[0].id, "bext");
    EXPECT_EQ(all[1].id, "LIST");
    const QByteArray& b = all[0].body;
    const QByteArray history = m.codingHistory.toUtf8();
    EXPECT_EQ(all[0].size, std::uint32_t(kHistoryAt + history.size()));

    EXPECT_EQ(fieldText(b, kDescriptionAt, 256), u"0001 多"_s.toUtf8());
    EXPECT_EQ(fieldText(b, kOriginatorAt, 32), "Quillar");
    EXPECT_EQ(fieldText(b, kReferenceAt, 32), "QLR20261209100000123-0000002a");
    EXPECT_EQ(b.mid(kDateAt, 10), "2026-12-09");
    EXPECT_EQ(b.mid(kTimeAt, 8), "10:00:00");
    EXPECT_EQ(le32At(b, kTimeLowAt), 0x23456789u);
    EXPECT_EQ(le32At(b, kTimeHighAt), 0x1u);
    EXPECT_EQ(qFromLittleEndian<std::uint16_t>(b.constData() + kVersionAt), kBextVersion);
    EXPECT_EQ(b.mid(kUmidAt, kHistoryAt - kUmidAt), QByteArray(kHistoryAt - kUmidAt, '\0'))
        << "UMID and the reserved room";
    EXPECT_EQ(b.mid(kHistoryAt), history);
}

TEST(WavMetadataChunks, FixedFieldsAreCutAtAWholeCharacter) {
    const QString many = u"多"_s;          // 3 bytes in UTF-8
    const QString face = u"\U0001F600"_s;  // 4 bytes, two UTF-16 units
    const struct {
        const char* name;
        QString description;
        QString originator;
        qsizetype descriptionBytes, originatorBytes;
    } cases[] = {
        {"both fit", many.repeated(85), face.repeated(8), 255, 32},
        {"one byte over", many.repeated(86), u"a"_s + face.repeated(8), 255, 29},
        {"full width exactly, no terminator", u"a"_s + many.repeated(85), u"x"_s.repeated(32), 256,
         32},
        {"two bytes over", u"ab"_s + many.repeated(85), u"xy"_s + face.repeated(8), 254, 30},
        {"ASCII over", u"x"_s.repeated(300), u"y"_s.repeated(40), 256, 32},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WavMetadata m;
        m.description = c.description;
        m.originator = c.originator;
        const RiffChunk bext = walkChunks(wavMetadataChunks(m), 0).at(0);
        const QByteArray description = fieldText(bext.body, kDescriptionAt, 256);
        const QByteArray originator = fieldText(bext.body, kOriginatorAt, 32);
        EXPECT_EQ(description.size(), c.descriptionBytes);
        EXPECT_EQ(originator.size(), c.originatorBytes);
        // Whole characters only: each cut field is the start of its text.
        EXPECT_TRUE(c.description.startsWith(QString::fromUtf8(description)));
        EXPECT_TRUE(c.originator.startsWith(QString::fromUtf8(originator)));
        EXPECT_EQ(QString::fromUtf8(originator).toUtf8(), originator) << "no broken sequence";
        EXPECT_EQ(fieldText(bext.body, kReferenceAt, 32), QByteArray()) << "nothing spilled over";
    }
}

TEST(WavMetadataChunks, InfoLeavesOutEmptyFieldsAndPadsOddOnes) {
    const struct {
        const char* name;
        QString title, artist, comment;
        std::vector<QByteArray> ids;
    } cases[] = {
        {"all three", u"多"_s, u"S01"_s, u"ab"_s, {"INAM", "IART", "ISFT", "ICMT"}},
        {"no speaker", u"多"_s, QString(), u"ab"_s, {"INAM", "ISFT", "ICMT"}},
        {"item alone", u"多"_s, QString(), QString(), {"INAM", "ISFT"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WavMetadata m;
        m.title = c.title;
        m.artist = c.artist;
        m.comment = c.comment;
        m.software = u"Quillar 1.0"_s;
        bool clean = false;
        const std::vector<RiffChunk> all = walkChunks(wavMetadataChunks(m), 0, &clean);
        EXPECT_TRUE(clean);
        const RiffChunk* list = findChunk(all, "LIST");
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(list->body.left(4), "INFO");
        const std::vector<RiffChunk> entries = walkChunks(list->body, 4, &clean);
        EXPECT_TRUE(clean) << "odd entries carry their pad byte";
        std::vector<QByteArray> ids;
        for (const RiffChunk& e : entries) {
            ids.push_back(e.id);
            // A zero-terminated UTF-8 string, its size counting the terminator.
            EXPECT_TRUE(e.body.endsWith('\0'));
            EXPECT_EQ(e.size, std::uint32_t(e.body.size()));
        }
        EXPECT_EQ(ids, c.ids);
        EXPECT_EQ(findChunk(entries, "INAM")->body, "\xE5\xA4\x9A" + QByteArray(1, '\0'));
    }
    WavMetadata bare;
    bare.description = u"多"_s;
    const std::vector<RiffChunk> all = walkChunks(wavMetadataChunks(bare), 0);
    ASSERT_EQ(all.size(), 1u) << "no LIST without an INFO field";
    EXPECT_EQ(all[0].id, "bext");
}

TEST(WavMetadataChunks, AnOddCodingHistoryIsPadded) {
    for (const QString& history : {u"A=PCM\r\n"_s, u"A=PCM,\r\n"_s, QString()}) {
        WavMetadata m;
        m.codingHistory = history;
        const QByteArray chunks = wavMetadataChunks(m);
        EXPECT_EQ(chunks.size() % 2, 0);
        bool clean = false;
        const std::vector<RiffChunk> all = walkChunks(chunks, 0, &clean);
        EXPECT_TRUE(clean);
        EXPECT_EQ(all.at(0).size, std::uint32_t(kHistoryAt + history.size()));
    }
}

struct Format {
    const char* name;
    std::uint16_t bits, channels;
    std::uint32_t dataBytes;
};

const Format kFormats[] = {
    {"8-bit mono, odd", 8, 1, 2205},
    {"16-bit stereo", 16, 2, 8820},
    {"24-bit mono, odd", 24, 1, 6615},
    {"float stereo", 32, 2, 17640},
};

TEST(WavFileHeader, ChunksSitBetweenFormatAndDataAndTheSizesCountEverything) {
    const QByteArray chunks = wavMetadataChunks(sample());
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.name);
        const QByteArray header = wavFileHeader(f.dataBytes, 44100, f.bits, f.channels, chunks);
        const QByteArray file = header + QByteArray(f.dataBytes, '\x11') +
                                QByteArray(qsizetype(wavPadBytes(f.dataBytes)), '\0');
        EXPECT_EQ(header.left(4), "RIFF");
        EXPECT_EQ(le32At(header, 4), std::uint32_t(file.size() - 8)) << "pad byte included";
        bool clean = false;
        const std::vector<RiffChunk> all = waveChunks(file, &clean);
        EXPECT_TRUE(clean);
        std::vector<QByteArray> ids;
        for (const RiffChunk& c : all) {
            ids.push_back(c.id);
        }
        const std::vector<QByteArray> want =
            f.bits == 32 ? std::vector<QByteArray>{"fmt ", "fact", "bext", "LIST", "data"}
                         : std::vector<QByteArray>{"fmt ", "bext", "LIST", "data"};
        EXPECT_EQ(ids, want);
        EXPECT_EQ(all.back().at, header.size()) << "the samples follow the header";
        EXPECT_EQ(all.back().size, f.dataBytes);
        // Format and fact are those of the plain header.
        const WavHeader plain = wavHeaderBytes(f.dataBytes, 44100, f.bits, f.channels);
        const QByteArray plainBytes(reinterpret_cast<const char*>(plain.data()),
                                    qsizetype(plain.size()));
        EXPECT_EQ(header.mid(8, plainBytes.size() - 16), plainBytes.mid(8, plainBytes.size() - 16));
        EXPECT_EQ(header.mid(plainBytes.size() - 8, chunks.size()), chunks);
        EXPECT_EQ(wavFileHeader(f.dataBytes, 44100, f.bits, f.channels, {}), plainBytes)
            << "no chunks, the plain header";
    }
}

TEST(WavFileHeader, NoHeaderForAFileBeyondRiffSizes) {
    const QByteArray chunks = wavMetadataChunks(sample());
    const std::uint64_t room = 0xFFFFFFFFull - (44 - 8) - std::uint64_t(chunks.size());
    ASSERT_EQ(room % 2, 1u);
    EXPECT_FALSE(wavFileHeader(room - 1, 44100, 16, 2, chunks).isEmpty()) << "just fits";
    EXPECT_TRUE(wavFileHeader(room, 44100, 16, 2, chunks).isEmpty()) << "its pad byte";
    EXPECT_TRUE(wavFileHeader(room + 1, 44100, 16, 2, chunks).isEmpty());
    EXPECT_TRUE(wavFileHeader(100, 44100, 16, 2, chunks.left(chunks.size() - 1)).isEmpty())
        << "odd chunks would shift the samples off a chunk boundary";
}

TEST(WavMetadataOf, TakesFactsMakeTheFields) {
    WavMetadataFacts f;
    f.id = u"0001"_s;
    f.item = u"多"_s;
    f.gloss = u"many"_s;
    f.note = u"又读"_s;
    f.speaker = u"老男"_s;
    f.site = u"S01"_s;
    f.device = u"USB Audio, analog"_s;
    f.started = QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0, 500));
    f.rate = 48000;
    f.bits = 24;
    f.channels = 1;
    const WavMetadata m = wavMetadataOf(f);
    EXPECT_EQ(m.description, u"0001 多"_s);
    EXPECT_EQ(m.originator, u"Quillar"_s);
    EXPECT_EQ(m.originationDate, u"2026-12-09"_s);
    EXPECT_EQ(m.originationTime, u"10:00:00"_s);
    EXPECT_EQ(m.timeReference, 1728024000u);  // 36000.5 s at 48 kHz
    EXPECT_EQ(m.codingHistory, u"A=PCM,F=48000,W=24,M=mono,T=USB Audio; analog\r\n"_s);
    EXPECT_EQ(m.title, u"多"_s);
    EXPECT_EQ(m.artist, u"老男"_s);
    EXPECT_EQ(m.created, u"2026-12-09"_s);
    EXPECT_EQ(m.software, u"Quillar "_s + QLatin1String(kProgramVersion));
    EXPECT_EQ(m.comment, u"many; 又读"_s);
    EXPECT_EQ(m.source, u"S01"_s);
    EXPECT_TRUE(m.originatorReference.startsWith(u"QLR20261209100000500-"_s));

    const struct {
        QString id, item, gloss, note, description, comment;
    } joins[] = {
        {QString(), u"多"_s, QString(), u"又读"_s, u"多"_s, u"又读"_s},
        {u"7"_s, u"多"_s, u"many"_s, QString(), u"7 多"_s, u"many"_s},
        {QString(), QString(), QString(), QString(), QString(), QString()},
    };
    for (const auto& j : joins) {
        f.id = j.id;
        f.item = j.item;
        f.gloss = j.gloss;
        f.note = j.note;
        const WavMetadata joined = wavMetadataOf(f);
        EXPECT_EQ(joined.description, j.description);
        EXPECT_EQ(joined.comment, j.comment);
    }
}

TEST(WavMetadataOf, CodingHistoryNamesFormatAndChannels) {
    const struct {
        std::uint32_t rate;
        std::uint16_t bits, channels;
        QString device, want;
    } cases[] = {
        {44100, 16, 2, u"Mic"_s, u"A=PCM,F=44100,W=16,M=stereo,T=Mic\r\n"_s},
        {22050, 8, 1, u"Mic"_s, u"A=PCM,F=22050,W=8,M=mono,T=Mic\r\n"_s},
        {48000, 32, 2, u"Mic"_s, u"A=IEEE-FLOAT,F=48000,W=32,M=stereo,T=Mic\r\n"_s},
        {96000, 32, 1, u"a,b\r\nc"_s, u"A=IEEE-FLOAT,F=96000,W=32,M=mono,T=a;b  c\r\n"_s},
        {48000, 16, 4, u"内置麦克风"_s, u"A=PCM,F=48000,W=16,M=multichannel,T=内置麦克风\r\n"_s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(codingHistoryOf(c.rate, c.bits, c.channels, c.device), c.want);
    }
}

TEST(WavMetadataOf, TimeReferenceCountsSamplesSinceLocalMidnight) {
    const struct {
        QTime time;
        std::uint32_t rate;
        std::uint64_t want;
    } cases[] = {
        {QTime(0, 0, 0), 44100, 0},
        {QTime(0, 0, 1, 1), 48000, 48048},
        {QTime(23, 59, 59, 999), 96000, 8294399904ull},  // beyond 32 bits
    };
    for (const auto& c : cases) {
        EXPECT_EQ(timeReferenceOf(QDateTime(QDate(2026, 12, 9), c.time), c.rate), c.want);
    }
    EXPECT_EQ(timeReferenceOf(QDateTime(), 44100), 0u);
}

TEST(WavMetadataOf, OriginatorReferencesAreShortAsciiAndDistinct) {
    const QDateTime started(QDate(2026, 12, 9), QTime(10, 0, 0, 123));
    EXPECT_EQ(makeOriginatorReference(started, 42), u"QLR20261209100000123-0000002a"_s);
    EXPECT_EQ(makeOriginatorReference(started, 0xFFFFFFFFu).size(), 29);
    QSet<QString> seen;
    for (int i = 0; i < 100; ++i) {
        const QString r = makeOriginatorReference(started);
        EXPECT_LE(r.toUtf8().size(), 32);
        EXPECT_EQ(r.toLatin1(), r.toUtf8()) << "ASCII";
        seen.insert(r);
    }
    EXPECT_EQ(seen.size(), 100) << "one millisecond, still a hundred references";
}

// Every writer, with metadata: the file is the header with the chunks, then the samples as the
// take has them, then the pad byte.
class MetadataWriters : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString folder() const {
        const QString f = dir.filePath(u"录音"_s);
        QDir().mkpath(f);
        return f;
    }
    QString journals() const { return dir.filePath(u"state"_s); }
    TakeInfo infoOf(const Format& f, const QString& item) const {
        TakeInfo info;
        info.item = item;
        info.folder = folder();
        info.rate = 44100;
        info.bits = f.bits;
        info.channels = f.channels;
        info.device = u"Mic"_s;
        info.started = QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0));
        return info;
    }
    static QByteArray samplesOf(const Format& f) {
        QByteArray data(f.dataBytes, '\0');
        for (qsizetype i = 0; i < data.size(); ++i) {
            data[i] = char(i * 13 + 1);
        }
        return data;
    }
    static void fill(RecordBuffer& buffer, const QByteArray& data) {
        buffer.clear();
        ASSERT_TRUE(buffer.append(data.constData(), std::size_t(data.size())));
    }
    static WavMetadata metadataFor(const TakeInfo& info) {
        WavMetadataFacts facts;
        facts.item = info.item;
        facts.started = info.started;
        facts.rate = info.rate;
        facts.bits = info.bits;
        facts.channels = info.channels;
        facts.device = info.device;
        facts.reference = u"QLR-test"_s;
        return wavMetadataOf(facts);
    }
    static QByteArray expectedFile(const TakeInfo& info, const QByteArray& data) {
        return wavFileHeader(std::uint64_t(data.size()), info.rate, info.bits, info.channels,
                             wavMetadataChunks(metadataFor(info))) +
               data + QByteArray(qsizetype(wavPadBytes(std::uint64_t(data.size()))), '\0');
    }
    QTemporaryDir dir;
};

TEST_F(MetadataWriters, EveryWriterPutsTheChunksBeforeTheUntouchedSamples) {
    const WavMetadataOf metadataOf = [](const TakeInfo& info) {
        return std::optional<WavMetadata>(metadataFor(info));
    };
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.name);
        const QByteArray data = samplesOf(f);
        {
            SCOPED_TRACE("a save from memory, over an earlier take");
            const TakeInfo info = infoOf(f, u"多"_s);
            RecordBuffer buffer;
            fill(buffer, data);
            BuildWavImage(buffer, info.rate, info.bits, info.channels);
            const QString path = folder() + u"/多.wav"_s;
            ASSERT_TRUE(writeAll(path, "an earlier take"));
            const SaveResult saved = writeWavImageFile(buffer, path, {}, metadataFor(info));
            ASSERT_TRUE(saved.written);
            EXPECT_EQ(readAll(path), expectedFile(info, data));
            EXPECT_EQ(readAll(saved.replaced), "an earlier take");
            QDir(folder()).removeRecursively();
        }
        {
            SCOPED_TRACE("a pending take from its journal");
            const TakeInfo info = infoOf(f, u"pending"_s);
            RecordBuffer buffer;
            fill(buffer, data);
            TakeJournal journal(buffer, journals(), info);
            PendingTakes pending;
            ASSERT_TRUE(pending.add(journal));
            const auto saved = pending.saveWhatCan(QString(), 0, true, QString(), metadataOf);
            ASSERT_EQ(saved.size(), 1u);
            EXPECT_EQ(readAll(saved[0].path), expectedFile(info, data));
            ASSERT_TRUE(saved[0].described.has_value()) << "its log line reads the new file";
            EXPECT_EQ(saved[0].described->bits, f.bits);
            QFile::remove(saved[0].path);
        }
        {
            SCOPED_TRACE("a pending take kept in memory");
            const TakeInfo info = infoOf(f, u"memory"_s);
            RecordBuffer buffer;
            fill(buffer, data);
            BuildWavImage(buffer, info.rate, info.bits, info.channels);
            PendingTakes pending;
            EXPECT_FALSE(pending.addImage(info, buffer, QString()));
            const auto saved = pending.saveWhatCan(QString(), 0, true, QString(), metadataOf);
            ASSERT_EQ(saved.size(), 1u);
            EXPECT_EQ(readAll(saved[0].path), expectedFile(info, data));
            QFile::remove(saved[0].path);
        }
        {
            SCOPED_TRACE("a take recovered after a crash");
            const TakeInfo info = infoOf(f, u"recovered"_s);
            RecordBuffer buffer;
            fill(buffer, data);
            {
                TakeJournal journal(buffer, journals(), info);
                journal.finish();
            }
            const RecoveryOutcome o = recoverJournals(journals(), {}, metadataOf);
            ASSERT_EQ(o.recovered.size(), 1u);
            EXPECT_EQ(readAll(o.recovered[0].path), expectedFile(info, data));
            QFile::remove(o.recovered[0].path);
        }
    }
}

TEST_F(MetadataWriters, NoMetadataLeavesThePlainFile) {
    const Format f = kFormats[0];
    const QByteArray data = samplesOf(f);
    const TakeInfo info = infoOf(f, u"plain"_s);
    RecordBuffer buffer;
    fill(buffer, data);
    BuildWavImage(buffer, info.rate, info.bits, info.channels);
    const QByteArray image(reinterpret_cast<const char*>(buffer.data()), qsizetype(buffer.size()));
    const QString path = folder() + u"/plain.wav"_s;
    ASSERT_TRUE(writeWavImageFile(buffer, path).written);
    EXPECT_EQ(readAll(path), image);
    EXPECT_EQ(readAll(path).size(), qsizetype(44 + f.dataBytes + 1));

    PendingTakes pending;
    EXPECT_FALSE(pending.addImage(info, buffer, QString()));
    const WavMetadataOf none = [](const TakeInfo&) { return std::optional<WavMetadata>(); };
    const auto saved = pending.saveWhatCan(QString(), 0, true, QString(), none);
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_EQ(readAll(saved[0].path), image);
}

}  // namespace
}  // namespace quillar::test
