// The take's records kept by the recorder: its journal begun when the take captures, finished at
// its close and gone when the take is empty, saved or dropped; its clipping check told as it reads
// and its judgement made at the close; the journal thread's reports reaching the window thread as
// the recorder's changes, and only for the take they concern.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "recorder_fixture.h"

namespace quillar::test {
namespace {

class RecorderTakeTest : public RecorderTest {
  protected:
    RecorderTakeTest() { recorder.keepJournals(setup(dir.path())); }
    ~RecorderTakeTest() override {
        // The journal's thread posts here: it goes before the queue does.
        recorder.finishNow();
        recorder.dropTake();
    }

    JournalSetup setup(const QString& folder) {
        JournalSetup s;
        s.folder = [folder] { return folder; };
        s.post = [this](std::function<void()> fn) {
            const std::lock_guard lock(postMutex);
            posted.push_back(std::move(fn));
        };
        s.hooks.period = std::chrono::milliseconds(10);
        // Plenty, whatever this machine has: only the test that says so runs low.
        s.hooks.availableMemory = [] {
            return std::optional<std::uint64_t>(std::uint64_t{1} << 40);
        };
        return s;
    }
    // Runs what the journal's thread posted, as the window's event loop would; with `wait`, waits
    // up to two seconds for something to come.
    std::size_t runPosted(bool wait) {
        std::vector<std::function<void()>> due;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        for (;;) {
            {
                const std::lock_guard lock(postMutex);
                due.swap(posted);
            }
            if (!due.empty() || !wait || std::chrono::steady_clock::now() > until) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        for (const auto& fn : due) {
            fn();
        }
        return due.size();
    }
    QStringList journalFiles() const { return QDir(dir.path()).entryList(QDir::Files); }
    long told(Change c) const { return std::count(changes.begin(), changes.end(), c); }

    // What the takes belong to: fixed when they begin.
    static TakeTarget target(const QString& item = QStringLiteral("甲")) {
        TakeTarget t;
        t.item = item;
        t.device = QStringLiteral("Simulated input");
        return t;
    }

    QTemporaryDir dir;
    std::mutex postMutex;  // guards posted
    std::vector<std::function<void()>> posted;
};

TEST_F(RecorderTakeTest, TheJournalFollowsTheTakeFromItsStartToItsEnd) {
    const struct {
        const char* name;
        bool keepOpen;
        std::int64_t frames;  // captured before the stop
        std::function<void()> end;
        int filesLeft;  // journal and TakeInfo
    } rows[] = {
        {"own device, saved", false, kSecond, [&] { recorder.takeSaved(); }, 0},
        {"kept input, dropped", true, kSecond, [&] { recorder.dropTake(); }, 0},
        {"handed over to the pending takes", false, kSecond / 2,
         [&] { recorder.journalHandedOver(); }, 2},
        {"empty: nothing to keep", false, 0, [] {}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (const QString& f : journalFiles()) {
            QFile::remove(dir.filePath(f));
        }
        if (row.keepOpen) {
            ASSERT_TRUE(recorder.openInput(0, format));
            pump(kSecond);
        }
        ASSERT_TRUE(recorder.start(0, format, 0, target()));
        ASSERT_EQ(recorder.state(), State::Recording);
        ASSERT_NE(recorder.journal(), nullptr);
        EXPECT_EQ(recorder.journal()->info().item, QStringLiteral("甲"));
        EXPECT_EQ(recorder.journal()->info().rate, kRate);
        EXPECT_EQ(recorder.journal()->info().bits, 16);
        EXPECT_EQ(recorder.journal()->info().channels, 2);
        EXPECT_EQ(journalFiles().size(), 2);
        pump(row.frames);
        ASSERT_TRUE(recorder.stop(0));
        pump(kSecond / 5);
        ASSERT_EQ(recorder.state(), State::Idle);
        EXPECT_EQ(buffer().size(), static_cast<std::size_t>(row.frames) * 4);
        const bool kept = row.frames > 0;
        ASSERT_EQ(recorder.takeOnlyInMemory(), kept);
        if (kept) {
            EXPECT_EQ(recorder.journal()->flushedBytes(), buffer().size()) << "finished whole";
            EXPECT_EQ(journalFiles().size(), 2);
        }
        row.end();
        EXPECT_FALSE(recorder.takeOnlyInMemory());
        EXPECT_EQ(journalFiles().size(), row.filesLeft);
        recorder.closeInput();
    }
}

TEST_F(RecorderTakeTest, TakesThatOverlapKeepAJournalEachAndEachIsFinishedWhole) {
    ASSERT_TRUE(recorder.openInput(0, format));
    pump(kSecond);
    ASSERT_TRUE(recorder.start(0, format, 300, target(QStringLiteral("甲"))));
    pump(kSecond);
    ASSERT_TRUE(recorder.stop(1000));
    const std::shared_ptr<Take> first = recorder.latestTake();
    ASSERT_NE(first->journal(), nullptr);
    // The next key comes in the first take's post-roll: both collect the same frames a while.
    pump(kSecond / 5);
    ASSERT_TRUE(recorder.start(0, format, 300, target(QStringLiteral("乙"))));
    const std::shared_ptr<Take> second = recorder.latestTake();
    ASSERT_NE(second, first);
    ASSERT_NE(second->journal(), nullptr);
    EXPECT_EQ(journalFiles().size(), 4) << "two journals, each with its TakeInfo";
    EXPECT_EQ(first->journal()->info().item, QStringLiteral("甲"));
    EXPECT_EQ(second->journal()->info().item, QStringLiteral("乙"));
    pump(kSecond);
    ASSERT_EQ(recorder.nextClosedTake(), first) << "the first closed once its post-roll was in";
    EXPECT_EQ(first->journal()->flushedBytes(), first->audio().size());
    EXPECT_TRUE(second->underway());
    // The program ends without the user's word: every journal keeps all of its take.
    recorder.leaveJournalForRecovery();
    EXPECT_EQ(second->journal()->flushedBytes(), second->audio().size());
    EXPECT_EQ(journalFiles().size(), 4);
    first->dropJournal();
    EXPECT_EQ(journalFiles().size(), 2);
    recorder.finishNow();
}

TEST_F(RecorderTakeTest, TheCheckTellsOfAClippedBlockAndJudgesTheTakeAtItsClose) {
    const struct {
        const char* name;
        double level;    // of the second half second; the first is at 0.1
        bool lookAfter;  // the window looks once the loud half is in
        bool told;
        bool clipped;
    } rows[] = {
        {"full scale, looked at while it runs", 1.0, true, true, true},
        {"full scale after the last look: read at the close", 1.0, false, false, true},
        {"a new take starts clean", 0.5, true, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        changes.clear();
        sim.setSignal([level = row.level](int, std::int64_t frame) {
            const double v = frame % kSecond < kSecond / 2 ? 0.1 : level;
            return frame % 40 < 20 ? v : -v;
        });
        ASSERT_TRUE(recorder.start(0, format, 0));
        pump(kSecond / 2);
        recorder.checkTake(1000);
        EXPECT_FALSE(recorder.check().clipped());
        pump(kSecond / 2);
        if (row.lookAfter) {
            recorder.checkTake(2000);
        }
        EXPECT_EQ(told(Change::Clipped), row.told ? 1 : 0);
        EXPECT_EQ(recorder.check().lastClipMs(), row.told ? 2000 : -1);
        EXPECT_EQ(recorder.check().judgement().frames, 0U) << "judged at the close only";
        ASSERT_TRUE(recorder.stop(0));
        ASSERT_EQ(recorder.state(), State::Idle);
        EXPECT_EQ(recorder.check().clipped(), row.clipped);
        EXPECT_NEAR(recorder.check().peak(), row.level, 0.01);
        EXPECT_EQ(recorder.check().judgement().frames, static_cast<std::uint64_t>(kSecond));
        EXPECT_EQ(recorder.check().judgement().has(quality::kClipped), row.clipped);
        recorder.checkTake(3000);  // between takes the buffer is not the check's
        EXPECT_EQ(recorder.check().judgement().frames, static_cast<std::uint64_t>(kSecond));
    }
}

TEST_F(RecorderTakeTest, TheJournalsReportsReachTheWindowForTheTakeTheyConcern) {
    QFile blocker(dir.filePath(QStringLiteral("not-a-folder")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString unusable = blocker.fileName() + QStringLiteral("/journals");

    // A report of a take that has been replaced finds the new one protected: nothing is told.
    recorder.keepJournals(setup(unusable));
    ASSERT_TRUE(recorder.start(0, format, 0));
    ASSERT_TRUE(recorder.stop(0));
    recorder.keepJournals(setup(dir.path()));
    ASSERT_TRUE(recorder.start(0, format, 0));
    EXPECT_GE(runPosted(true), 1U);
    EXPECT_EQ(told(Change::Unprotected), 0);
    ASSERT_TRUE(recorder.stop(0));

    // A journal that cannot be made: the take goes on, unprotected, and the window is told.
    recorder.keepJournals(setup(unusable));
    ASSERT_TRUE(recorder.start(0, format, 0));
    EXPECT_EQ(told(Change::Unprotected), 0) << "never told from inside the start";
    EXPECT_GE(runPosted(true), 1U);
    EXPECT_EQ(told(Change::Unprotected), 1);
    EXPECT_TRUE(recorder.takeOnlyInMemory());
    ASSERT_TRUE(recorder.stop(0));

    // Low memory is told from the journal's thread.
    JournalSetup low = setup(dir.path());
    low.hooks.availableMemory = [] { return std::optional<std::uint64_t>(0); };
    recorder.keepJournals(low);
    ASSERT_TRUE(recorder.start(0, format, 0));
    EXPECT_GE(runPosted(true), 1U);
    EXPECT_EQ(told(Change::MemoryLow), 1);
    ASSERT_TRUE(recorder.stop(0));

    // A report that comes after its recorder is gone is dropped.
    {
        Recorder gone(engine, worker, [this](Change c) { changes.push_back(c); });
        gone.keepJournals(setup(unusable));
        ASSERT_TRUE(gone.start(0, format, 0));
        ASSERT_TRUE(gone.stop(0));
    }
    const std::size_t before = changes.size();
    EXPECT_GE(runPosted(true), 1U);
    EXPECT_EQ(changes.size(), before);
}

}  // namespace
}  // namespace quillar::test
