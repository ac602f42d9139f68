// Pending takes written on the writer's own thread and placed on the calling one: whatever
// happens to the item's file or folder while a write is in flight, no take is lost or written
// over a newer one, and a round asked for meanwhile follows the write in flight.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "kit/record_buffer.h"
#include "record/pending_takes.h"
#include "record/pending_writer.h"
#include "record/take_replacement.h"
#include "record/wav_image.h"
#include "support/settle.h"
#include "support/write_hold.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class PendingWrites : public ::testing::Test {
  public:
    void SetUp() override {
        folder = dir.filePath(u"stick"_s);
        ASSERT_TRUE(QDir().mkpath(folder));
        state = dir.filePath(u"state"_s);
    }
    // A take of `item` begun `secondsAgo` ago, pending in the state folder; its WAV image.
    QByteArray addTake(const QString& item, int secondsAgo, std::uint8_t fill) {
        TakeInfo info;
        info.item = item;
        info.folder = folder;
        info.rate = 8000;
        info.bits = 16;
        info.channels = 1;
        info.device = u"Simulated input"_s;
        info.started = QDateTime::currentDateTime().addSecs(-secondsAgo);
        RecordBuffer buffer(RecordBuffer::Backing::Heap);
        const QByteArray samples(1600, static_cast<char>(fill));
        EXPECT_TRUE(buffer.append(samples.constData(), static_cast<std::size_t>(samples.size())));
        BuildWavImage(buffer, info.rate, info.bits, info.channels);
        EXPECT_TRUE(pending.addImage(info, buffer, state));
        return QByteArray(reinterpret_cast<const char*>(buffer.data()),
                          static_cast<qsizetype>(buffer.size()));
    }
    // The writer as the program runs it: its completions come back as queued calls.
    std::unique_ptr<PendingWriter> threadedWriter() {
        return std::make_unique<PendingWriter>([this](std::function<void()> fn) {
            QMetaObject::invokeMethod(&context, std::move(fn), Qt::QueuedConnection);
        });
    }
    // Hands the next write of the round to `writer`; what it saved comes into `saved`.
    bool submitNext(PendingWriter& writer) {
        const std::shared_ptr<PendingWrite> write = pending.nextWrite(QString(), 0);
        if (!write) {
            return false;
        }
        writer.submit([write] { PendingTakes::write(*write); },
                      [this, write] {
                          if (auto one = pending.finish(*write, 0)) {
                              saved.push_back(*one);
                          }
                      });
        return true;
    }
    QStringList earlierTakes() const {
        return QDir(folder + u"/早前录音"_s).entryList(QDir::Files, QDir::Name);
    }
    QStringList hiddenFiles() const {
        return QDir(folder)
            .entryList(QDir::Files | QDir::Hidden)
            .filter(QRegularExpression(u"^\\."_s));
    }

    QTemporaryDir dir;
    QString folder;
    QString state;
    QObject context;
    PendingTakes pending;
    std::vector<SavedPendingTake> saved;
};

// What may happen to the item's file and folder while the pending take is being written.
TEST_F(PendingWrites, WhateverHappensMeanwhileNoTakeIsLostOrWrittenOverANewerOne) {
    const QByteArray newer(64, 'n');
    const QByteArray older(64, 'o');
    const struct {
        const char* name;
        std::function<void(PendingWrites&)> meanwhile;
        bool savedNow;
        QByteArray itemFile;    // what 太阳.wav holds at the end; empty: the pending take
        int earlier;            // takes in 早前录音
        bool pendingInEarlier;  // the pending take is one of them
    } rows[] = {
        {"nothing", [](PendingWrites&) {}, true, {}, 0, false},
        {"the item recorded again and saved",
         [&newer](PendingWrites& p) {
             ASSERT_TRUE(replaceTakeFile(p.folder + u"/太阳.wav"_s, newer.constData(),
                                         static_cast<std::size_t>(newer.size()),
                                         QDateTime::currentDateTime()));
         },
         true, newer, 1, true},
        {"an older take of the item copied in",
         [&older](PendingWrites& p) {
             const QString path = p.folder + u"/太阳.wav"_s;
             ASSERT_TRUE(replaceTakeFile(path, older.constData(),
                                         static_cast<std::size_t>(older.size()),
                                         QDateTime::currentDateTime()));
             QFile f(path);
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addDays(-1),
                                       QFileDevice::FileModificationTime));
         },
         true,
         {},
         1,
         false},
        {"the folder removed",
         [](PendingWrites& p) { ASSERT_TRUE(QDir(p.folder).removeRecursively()); },
         false,
         {},
         0,
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QDir(folder).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(folder));
        saved.clear();
        const QByteArray take = addTake(u"太阳"_s, 60, 0x11);
        WriteHold hold;
        pending.setWriteCheck(hold.check());
        auto writer = threadedWriter();
        pending.askRound(true);
        ASSERT_TRUE(submitNext(*writer));
        ASSERT_TRUE(hold.waitEntered(1));
        row.meanwhile(*this);
        hold.release();
        ASSERT_TRUE(settleUntil([this] { return !pending.writing(); }));
        EXPECT_FALSE(hold.timedOut());
        EXPECT_TRUE(hiddenFiles().isEmpty()) << "no temporary file left behind";
        if (!row.savedNow) {
            EXPECT_TRUE(saved.empty());
            ASSERT_EQ(pending.count(), 1u) << "it waits on";
            EXPECT_EQ(pending.takes()[0].failures, 1);
            EXPECT_TRUE(QFile::exists(pending.takes()[0].journal));
            // Gone from the list: forget it for the next row.
            ASSERT_TRUE(QDir().mkpath(folder));
            pending.setWriteCheck({});
            pending.saveWhatCan(QString());
            ASSERT_EQ(pending.count(), 0u);
            continue;
        }
        ASSERT_EQ(saved.size(), 1u);
        EXPECT_EQ(pending.count(), 0u);
        EXPECT_EQ(contents(folder + u"/太阳.wav"_s), row.itemFile.isEmpty() ? take : row.itemFile);
        const QStringList earlier = earlierTakes();
        EXPECT_EQ(earlier.size(), row.earlier);
        if (row.pendingInEarlier) {
            ASSERT_EQ(earlier.size(), 1);
            EXPECT_EQ(saved[0].path, folder + u"/早前录音/"_s + earlier[0]);
            EXPECT_EQ(contents(saved[0].path), take);
        } else {
            EXPECT_EQ(saved[0].path, folder + u"/太阳.wav"_s);
            EXPECT_EQ(saved[0].replaced.isEmpty(), row.earlier == 0);
        }
        EXPECT_TRUE(QDir(state).entryList(QDir::Files).isEmpty()) << "its journal is gone";
    }
}

// Two pending takes of one item saved in one round: the later one ends as the item's file,
// however late the earlier one was written.
TEST_F(PendingWrites, TheLaterOfTwoTakesOfAnItemIsItsFile) {
    const QByteArray first = addTake(u"太阳"_s, 120, 0x21);
    const QByteArray second = addTake(u"太阳"_s, 60, 0x22);
    auto writer = threadedWriter();
    pending.askRound(true);
    ASSERT_TRUE(submitNext(*writer));
    ASSERT_TRUE(settleUntil([this] { return !pending.writing(); }));
    ASSERT_TRUE(submitNext(*writer));
    ASSERT_TRUE(settleUntil([this] { return !pending.writing(); }));
    EXPECT_FALSE(submitNext(*writer)) << "the round is over";
    EXPECT_EQ(contents(folder + u"/太阳.wav"_s), second);
    ASSERT_EQ(earlierTakes().size(), 1);
    EXPECT_EQ(contents(folder + u"/早前录音/"_s + earlierTakes()[0]), first);
}

// At most one write is in flight, and rounds asked for meanwhile are one round after it.
TEST_F(PendingWrites, RoundsAskedForDuringAWriteFollowItAsOne) {
    QDir(folder).removeRecursively();  // every try finds no folder, so every round tries both
    addTake(u"太阳"_s, 120, 0x31);
    addTake(u"月亮"_s, 60, 0x32);
    auto writer = threadedWriter();
    int writes = 0;
    pending.askRound(false);
    while (submitNext(*writer)) {
        ++writes;
        EXPECT_TRUE(pending.nextWrite(QString(), 0) == nullptr) << "one in flight at a time";
        if (writes == 1) {
            pending.askRound(false);
            pending.askRound(true);
            pending.askRound(false);
        }
        ASSERT_TRUE(settleUntil([this] { return !pending.writing(); }));
    }
    EXPECT_EQ(writes, 4) << "this round and one more";
    EXPECT_EQ(pending.count(), 2u);
}

// A take that failed waits longer after each failure, unless its folder was just set.
TEST_F(PendingWrites, AFailedTakeWaitsLongerEachTimeUnlessForced) {
    addTake(u"太阳"_s, 60, 0x41);
    pending.setWriteCheck([](TakeStep) { return false; });  // the folder refuses every write
    const struct {
        std::int64_t nowMs;
        bool force;
        bool tried;
        std::int64_t nextTryMs;  // afterwards
    } rows[] = {
        {0, false, true, 3000},       {2999, false, false, 3000},    {3000, false, true, 9000},
        {3000, true, true, 15000},    {15000, false, true, 39000},   {39000, false, true, 87000},
        {87000, false, true, 147000}, {147000, false, true, 207000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.nowMs);
        pending.askRound(row.force);
        const std::shared_ptr<PendingWrite> write = pending.nextWrite(QString(), row.nowMs);
        ASSERT_EQ(write != nullptr, row.tried);
        if (write) {
            PendingTakes::write(*write);
            EXPECT_EQ(write->outcome, PendingWrite::Outcome::Failed);
            EXPECT_FALSE(pending.finish(*write, row.nowMs));
            EXPECT_TRUE(pending.nextWrite(QString(), row.nowMs) == nullptr);
        }
        EXPECT_EQ(pending.takes()[0].nextTryMs, row.nextTryMs);
    }
}

// Closing never waits for a job that hangs: the writer goes while the job is still held, the
// job ends by itself later, and its completion never runs.
TEST(PendingWriter, GoesWithoutWaitingForAJobThatHangs) {
    QObject context;
    WriteHold hold;
    const StepCheck held = hold.check();
    bool completed = false;
    auto writer = std::make_unique<PendingWriter>([&context](std::function<void()> fn) {
        QMetaObject::invokeMethod(&context, std::move(fn), Qt::QueuedConnection);
    });
    writer->submit([held] { held(TakeStep::WriteTemporary); }, [&completed] { completed = true; });
    writer->submit([] { ADD_FAILURE() << "a job not started runs after closing"; });
    ASSERT_TRUE(hold.waitEntered(1));
    writer.reset();
    EXPECT_EQ(hold.inside(), 1) << "the writer went while its job was still held";
    hold.release();
    EXPECT_TRUE(settleUntil([] { return PendingWriter::threadsRunning() == 0; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(completed);
    EXPECT_FALSE(hold.timedOut());
}

}  // namespace
}  // namespace quillar::test
