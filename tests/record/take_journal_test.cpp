// The take's journal beside a capture thread (run under ThreadSanitizer too): after every flush
// the file is a valid WAV of exactly the bytes in the buffer, the last flush takes the take's end
// before the buffer is wrapped, and a journal that cannot be written never stops the take.
#include "record/take_journal.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>

#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "kit/record_buffer.h"
#include "record/memory_watch.h"
#include "record/wav_image.h"

namespace quillar {
namespace {

using namespace std::chrono_literals;

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TakeInfo takeOf(std::uint16_t bits, std::uint16_t channels = 2) {
    TakeInfo info;
    info.item = QStringLiteral("爸爸");
    info.folder = QStringLiteral("/somewhere/录音");
    info.rate = 8000;
    info.bits = bits;
    info.channels = channels;
    info.device = QStringLiteral("Simulated input");
    info.started = QDateTime::currentDateTime();
    return info;
}

// Appends `blocks` blocks of a counting pattern on a thread of its own, as the capture does.
std::thread captureInto(RecordBuffer& buffer, int blocks, std::size_t blockBytes) {
    return std::thread([&buffer, blocks, blockBytes] {
        std::vector<std::uint8_t> block(blockBytes);
        for (int b = 0; b < blocks; ++b) {
            for (std::size_t i = 0; i < blockBytes; ++i) {
                block[i] = static_cast<std::uint8_t>(b * 7 + i);
            }
            buffer.append(block.data(), block.size());
            std::this_thread::sleep_for(1ms);
        }
    });
}

class TakeJournalTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
};

TEST_F(TakeJournalTest, EveryFlushIsAValidWavOfExactlyTheBufferAndTheLastTakesTheEnd) {
    // Mono 8 and 24-bit blocks of an odd count of frames: the data chunk is odd at times and
    // ends in its pad byte.
    const struct {
        std::uint16_t bits;
        std::uint16_t channels;
    } formats[] = {{8, 1}, {8, 2}, {16, 2}, {24, 1}, {32, 2}};
    for (const auto& format : formats) {
        SCOPED_TRACE(testing::Message() << format.bits << " bits, " << format.channels);
        RecordBuffer buffer;
        buffer.clear();
        const TakeInfo info = takeOf(format.bits, format.channels);
        std::atomic<int> flushes{0};
        std::atomic<int> mismatches{0};
        QString path;
        std::mutex pathMutex;
        TakeJournal::Hooks hooks;
        hooks.period = 3ms;
        // Runs on the journal thread, right after its flush: the file must be the buffer's
        // first `bytes` bytes, whatever the capture thread has appended since.
        hooks.flushed = [&](std::uint64_t bytes) {
            std::lock_guard<std::mutex> lock(pathMutex);
            const QByteArray file = fileBytes(path);
            const auto header = wavHeaderBytes(static_cast<std::uint32_t>(bytes), info.rate,
                                               info.bits, info.channels);
            const bool same = static_cast<std::uint64_t>(file.size()) ==
                                  header.size() + bytes + wavPadBytes(bytes) &&
                              std::memcmp(file.constData(), header.data(), header.size()) == 0 &&
                              std::memcmp(file.constData() + header.size(),
                                          buffer.stableCapturedData(), bytes) == 0 &&
                              (wavPadBytes(bytes) == 0 || file.back() == '\0');
            mismatches += same ? 0 : 1;
            ++flushes;
        };
        std::unique_ptr<TakeJournal> journal;
        {
            std::lock_guard<std::mutex> lock(pathMutex);
            journal = std::make_unique<TakeJournal>(buffer, dir.path(), info, hooks);
            path = journal->path();
        }
        ASSERT_TRUE(journal->isProtected());
        std::thread capture = captureInto(buffer, 60, 267 * info.blockAlign());
        capture.join();
        // The end of the take arrives on the GUI thread, as freeCapture() delivers it.
        const std::vector<std::uint8_t> tail(3 * info.blockAlign(), 5);
        buffer.append(tail.data(), tail.size());
        journal->finish();
        EXPECT_GT(flushes.load(), 1);
        EXPECT_EQ(mismatches.load(), 0);
        EXPECT_EQ(journal->flushedBytes(), buffer.size());

        // The hand-off: with the journal finished the GUI thread may wrap the buffer.
        BuildWavImage(buffer, info.rate, info.bits, info.channels);
        EXPECT_EQ(fileBytes(path), QByteArray(reinterpret_cast<const char*>(buffer.data()),
                                              static_cast<qsizetype>(buffer.size())));
        EXPECT_EQ(readTakeInfo(journal->infoPath())->item, info.item);
    }
}

TEST_F(TakeJournalTest, IsLockedWhileItLivesKeptWithoutRemoveAndGoneAfterIt) {
    RecordBuffer buffer;
    buffer.clear();
    QString path;
    {
        TakeJournal journal(buffer, dir.path(), takeOf(16));
        path = journal.path();
        const int other = ::open(QFile::encodeName(path).constData(), O_RDONLY);
        ASSERT_GE(other, 0);
        EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0) << "a second Quillar could take it";
        ::close(other);
    }
    EXPECT_TRUE(QFile::exists(path)) << "destroyed without remove(): kept for recovery";
    EXPECT_TRUE(QFile::exists(takeInfoPathOf(path)));

    TakeJournal journal(buffer, dir.path(), takeOf(16));
    journal.remove();
    EXPECT_FALSE(QFile::exists(journal.path()));
    EXPECT_FALSE(QFile::exists(journal.infoPath()));
}

TEST_F(TakeJournalTest, AJournalThatCannotBeWrittenReportsOnceAndTheTakeGoesOn) {
    QFile plain(dir.filePath("not-a-folder"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    // A state folder that cannot exist, and one on a disk that fills up during the take (a file
    // size limit makes the writes fail as a full disk does).
    struct Case {
        const char* what;
        QString folder;
        rlim_t fileLimit;
    };
    const Case cases[] = {
        {"no state folder", dir.filePath("not-a-folder/quillar"), RLIM_INFINITY},
        {"disk full", dir.filePath("full"), 4096},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordBuffer buffer;
        buffer.clear();
        std::atomic<int> reports{0};
        TakeJournal::Hooks hooks;
        hooks.period = 2ms;
        hooks.unprotected = [&] { ++reports; };
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = c.fileLimit;
        ::setrlimit(RLIMIT_FSIZE, &limit);

        TakeJournal journal(buffer, c.folder, takeOf(16), hooks);
        std::thread capture = captureInto(buffer, 30, 400);
        capture.join();
        journal.finish();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        EXPECT_EQ(buffer.size(), 30u * 400u) << "every block still reached the take";
        EXPECT_FALSE(journal.isProtected());
        EXPECT_EQ(reports.load(), 1);
        journal.remove();
    }
}

TEST_F(TakeJournalTest, LowMemoryIsReportedOnceAndOnlyBelowTheMargin) {
    for (std::uint64_t available : {kLowMemoryMarginBytes - 1, kLowMemoryMarginBytes}) {
        RecordBuffer buffer;
        buffer.clear();
        std::atomic<int> reports{0};
        std::atomic<int> asked{0};
        TakeJournal::Hooks hooks;
        hooks.period = 1ms;
        hooks.availableMemory = [&]() -> std::optional<std::uint64_t> {
            ++asked;
            return available;
        };
        hooks.memoryLow = [&] { ++reports; };
        TakeJournal journal(buffer, dir.path(), takeOf(16), hooks);
        // Once reported, it is not asked again.
        while (asked.load() < 5 && reports.load() == 0) {
            std::this_thread::sleep_for(1ms);
        }
        std::this_thread::sleep_for(5ms);
        journal.remove();
        EXPECT_EQ(reports.load(), available < kLowMemoryMarginBytes ? 1 : 0) << available;
    }
}

TEST(MemoryWatch, ReadsMemAvailableInBytes) {
    struct Row {
        const char* text;
        std::optional<std::uint64_t> bytes;
    };
    const Row rows[] = {
        {"MemTotal:       24684148 kB\nMemFree:        20765100 kB\n"
         "MemAvailable:   22312964 kB\nBuffers:          103268 kB\n",
         std::uint64_t{22312964} * 1024},
        {"MemAvailable: 0 kB\n", 0},
        {"MemTotal: 100 kB\n", std::nullopt},
        {"XMemAvailable: 5 kB\n", std::nullopt},
        {"MemAvailable:   kB\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(parseMemAvailable(r.text), r.bytes) << r.text;
    }
    const auto live = availableMemoryBytes();
    ASSERT_TRUE(live.has_value());
    EXPECT_GT(*live, 0u);
}

}  // namespace
}  // namespace quillar
