// Every WAV Quillar writes (the saved take, its journal, a recovered take, a pending take saved
// later) read by readers we did not write: libsndfile's sndfile-info must print no warning, and
// sox and a reader of the RIFF rules on Python's standard library must count the right frames
// and find every chunk where the rules put it.
// Float files carry their extension size and "fact" chunk; odd-sized data its pad byte.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <vector>

#include "kit/record_buffer.h"
#include "record/pending_takes.h"
#include "record/take_journal.h"
#include "record/take_recovery.h"
#include "record/wav_image.h"
#include "record_test_support.h"

namespace quillar::test {
namespace {

struct Ran {
    int code = -1;
    QString out;  // standard output and error together
};

Ran run(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit) {
        return {-1, program + QStringLiteral(": ") + p.errorString()};
    }
    return {p.exitCode(), QString::fromUtf8(p.readAll())};
}

// libsndfile says this of every odd-sized data chunk, its own padded files included: the size
// must be the true count of bytes, so the line stays. The pad byte itself is checked by the
// RIFF reader below.
const QString kOddDataNote =
    QStringLiteral("*** 'data' chunk should be an even number of bytes in length.");

// What the three outside readers say of `path`, which must hold `frames` frames in `dataBytes`.
void expectReadersAgree(const QString& path, qint64 frames, std::size_t dataBytes) {
    const Ran info = run(QStringLiteral("sndfile-info"), {path});
    ASSERT_EQ(info.code, 0) << info.out.toStdString();
    for (const QString& line : info.out.split(u'\n')) {
        if (dataBytes % 2 != 0 && line == kOddDataNote) {
            continue;
        }
        EXPECT_FALSE(line.startsWith(u'*') || line.contains(QStringLiteral("hould")))
            << "sndfile-info: " << line.toStdString();
    }
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("Frames\\s*:\\s*(\\d+)")).match(info.out);
    ASSERT_TRUE(m.hasMatch()) << info.out.toStdString();
    EXPECT_EQ(m.captured(1).toLongLong(), frames) << "sndfile-info";

    const Ran sox = run(QStringLiteral("sox"), {QStringLiteral("--i"), QStringLiteral("-s"), path});
    ASSERT_EQ(sox.code, 0) << sox.out.toStdString();
    EXPECT_EQ(sox.out.trimmed(), QString::number(frames)) << "sox: " << sox.out.toStdString();

    const Ran chunks = run(QStringLiteral("python3"), {QStringLiteral(QUILLAR_WAV_CHUNKS), path});
    EXPECT_EQ(chunks.code, 0) << chunks.out.toStdString();
    EXPECT_TRUE(chunks.out.startsWith(QStringLiteral("frames=%1\n").arg(frames)))
        << chunks.out.toStdString();
}

struct Format {
    const char* name;
    std::uint16_t bits;
    std::uint16_t channels;
    std::size_t frames;
};

const Format kFormats[] = {
    {"float stereo", 32, 2, 2205},
    {"8-bit mono, an odd count", 8, 1, 2205},
    {"24-bit mono, an odd count", 24, 1, 2205},
    {"16-bit stereo", 16, 2, 2205},
};

TakeInfo infoOf(const Format& f, const QString& folder, const QString& item) {
    TakeInfo info;
    info.item = item;
    info.folder = folder;
    info.rate = 22050;
    info.bits = f.bits;
    info.channels = f.channels;
    info.started = QDateTime(QDate(2026, 12, 9), QTime(10, 0, 0));
    return info;
}

void fill(RecordBuffer& buffer, const TakeInfo& info, std::size_t frames) {
    buffer.clear();
    std::vector<std::uint8_t> data(frames * info.blockAlign());
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 13 + 1);
    }
    ASSERT_TRUE(buffer.append(data.data(), data.size()));
}

class WavInterop : public ::testing::Test {
  protected:
    QString journals() const { return dir.filePath(QStringLiteral("state")); }
    QString out() const {
        const QString f = dir.filePath(QStringLiteral("录音"));
        QDir().mkpath(f);
        return f;
    }
    QTemporaryDir dir;
};

TEST_F(WavInterop, EveryWriterInEveryWidthPassesOutsideReaders) {
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.name);
        const TakeInfo info = infoOf(f, out(), QString::fromUtf8(f.name));
        const std::size_t dataBytes = f.frames * info.blockAlign();
        {
            SCOPED_TRACE("the take saved from memory");
            RecordBuffer buffer;
            fill(buffer, info, f.frames);
            BuildWavImage(buffer, info.rate, info.bits, info.channels);
            const QString path = dir.filePath(QStringLiteral("image.wav"));
            ASSERT_TRUE(writeAll(path, QByteArray(reinterpret_cast<const char*>(buffer.data()),
                                                  static_cast<qsizetype>(buffer.size()))));
            EXPECT_EQ(buffer.size(), wavHeaderSize(f.bits) + dataBytes + (dataBytes % 2))
                << "pad byte";
            if (f.bits != 32) {
                EXPECT_EQ(wavHeaderSize(f.bits), 44u) << "PCM keeps its 44-byte header";
            }
            expectReadersAgree(path, static_cast<qint64>(f.frames), dataBytes);
        }
        {
            SCOPED_TRACE("the journal, then the take recovered from it");
            RecordBuffer buffer;
            fill(buffer, info, f.frames);
            QString journalPath;
            {
                TakeJournal journal(buffer, journals(), info);
                ASSERT_TRUE(journal.isProtected());
                journal.finish();
                journalPath = journal.path();
                expectReadersAgree(journalPath, static_cast<qint64>(f.frames), dataBytes);
            }  // left for recovery, as after a crash
            const RecoveryOutcome o = recoverJournals(journals(), {});
            ASSERT_EQ(o.recovered.size(), 1u);
            EXPECT_EQ(o.recovered[0].dataBytes, dataBytes) << "the pad byte is no sample";
            expectReadersAgree(o.recovered[0].path, static_cast<qint64>(f.frames), dataBytes);
        }
        {
            SCOPED_TRACE("a pending take saved to its item");
            RecordBuffer buffer;
            fill(buffer, info, f.frames);
            TakeJournal journal(buffer, journals(), infoOf(f, out(), QStringLiteral("pending")));
            PendingTakes pending;
            ASSERT_TRUE(pending.add(journal));
            const std::vector<SavedPendingTake> saved = pending.saveWhatCan(QString());
            ASSERT_EQ(saved.size(), 1u);
            expectReadersAgree(saved[0].path, static_cast<qint64>(f.frames), dataBytes);
            QFile::remove(saved[0].path);
        }
    }
}

}  // namespace
}  // namespace quillar::test
