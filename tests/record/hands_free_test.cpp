// The hands-free mode on its own, its hooks the test's: what it starts, stops, selects and says
// in each phase, and the keys in each phase.
#include "record/hands_free.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "support/voice_scene.h"

namespace quillar::test {
namespace {

using Phase = HandsFree::Phase;
using Notice = HandsFree::Notice;

// A list of `rows` items, some recorded, and a recorder that only notes what it is asked.
class Mode : public ::testing::Test {
  protected:
    Mode() {
        HandsFree::Hooks hooks;
        hooks.startTake = [this](std::optional<std::uint64_t> onset) {
            if (refuseStart) {
                return false;
            }
            starts.push_back({row, onset});
            return true;
        };
        hooks.stopTake = [this](std::optional<std::uint64_t> end) {
            stops.push_back(end);
            quality::Judgement j;
            j.verdict = nextVerdict;
            recorded[static_cast<std::size_t>(starts.back().row)] = true;
            return j;
        };
        hooks.currentRow = [this] { return row; };
        hooks.advance = [this](int from) {
            for (int i = 1; i < static_cast<int>(recorded.size()); ++i) {
                const int r = (from + i) % static_cast<int>(recorded.size());
                if (!recorded[static_cast<std::size_t>(r)] && !skipped(r)) {
                    row = r;
                    return true;
                }
            }
            return false;
        };
        hooks.prompt = [this](int r, std::function<void()> done) {
            if (!withPrompts) {
                done();
                return;
            }
            prompted.push_back(r);
            promptDone = std::move(done);
        };
        hooks.notice = [this](Notice n) { notices.push_back(n); };
        mode = std::make_unique<HandsFree>(std::move(hooks));
    }

    bool skipped(int r) const { return r == skippedRow; }
    void begin() { mode->begin(scene.rate, 1, {}); }
    // The room heard until `seconds` of the stream.
    void hearTo(double seconds) {
        const std::int64_t end = scene.frameAt(seconds);
        std::vector<float> buf(441);
        for (; heard < end; heard += 441) {
            for (int f = 0; f < 441; ++f) {
                buf[static_cast<std::size_t>(f)] = static_cast<float>(scene(0, heard + f));
            }
            mode->feed(buf.data(), 441, static_cast<std::uint64_t>(heard));
        }
    }
    double at(std::uint64_t frame) const { return double(frame) / scene.rate; }
    // The user moves the selection: the list tells the mode.
    void select(int r) {
        row = r;
        mode->selectionMoved();
    }

    struct Start {
        int row;
        std::optional<std::uint64_t> onset;
    };
    VoiceScene scene;
    std::int64_t heard = 0;
    int row = 0;
    int skippedRow = -1;
    std::vector<bool> recorded = std::vector<bool>(5, false);
    quality::Verdict nextVerdict = quality::Verdict::Good;
    bool refuseStart = false;
    bool withPrompts = false;
    std::vector<int> prompted;
    std::function<void()> promptDone;
    std::vector<Start> starts;
    std::vector<std::optional<std::uint64_t>> stops;
    std::vector<Notice> notices;
    std::unique_ptr<HandsFree> mode;
};

TEST_F(Mode, EachWordIsTakenOnItsItemAndTheListMovesOnPastRecordedAndSkippedOnes) {
    recorded[1] = true;  // already has a recording
    skippedRow = 3;      // set aside
    scene.words = {{2.0, 0.8, -20.0}, {4.0, 0.8, -20.0}, {6.0, 0.8, -20.0}};
    begin();
    EXPECT_EQ(mode->notice(), Notice::Waiting);
    hearTo(9.0);
    ASSERT_EQ(starts.size(), 3U);
    ASSERT_EQ(stops.size(), 3U);
    const int rows[] = {0, 2, 4};
    const double words[] = {2.0, 4.0, 6.0};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(starts[i].row, rows[i]);
        ASSERT_TRUE(starts[i].onset.has_value());
        EXPECT_NEAR(at(*starts[i].onset), words[i], 0.010);
        // The end asked is the word's end and the silence after it: the post-roll is the take's.
        ASSERT_TRUE(stops[i].has_value());
        EXPECT_NEAR(at(*stops[i]), words[i] + 0.8 + 0.8, 0.010);
    }
    // Every item is recorded now: the mode says so and ends.
    EXPECT_EQ(mode->phase(), Phase::Off);
    EXPECT_EQ(notices.back(), Notice::Finished);
    EXPECT_NE(std::find(notices.begin(), notices.end(), Notice::MovedOn), notices.end());
}

TEST_F(Mode, ATakeToRedoStaysOnItsItemAndAsksAgain) {
    scene.words = {{2.0, 0.8, -20.0}, {4.0, 0.8, -20.0}};
    begin();
    nextVerdict = quality::Verdict::Redo;
    hearTo(3.7);
    EXPECT_EQ(row, 0);
    EXPECT_EQ(mode->notice(), Notice::AskAgain);
    EXPECT_EQ(mode->phase(), Phase::Listening);
    nextVerdict = quality::Verdict::Check;  // "check" moves on as "good" does
    hearTo(6.0);
    ASSERT_EQ(starts.size(), 2U);
    EXPECT_EQ(starts[1].row, 0);
    EXPECT_EQ(row, 1);
    EXPECT_EQ(mode->notice(), Notice::MovedOn);
}

TEST_F(Mode, AVoiceInTheLastTakesPostRollBeginsTheNextTake) {
    // 0.85 s after the first word's end: its silence (0.8 s) is over, its post-roll is not.
    scene.words = {{2.0, 0.8, -20.0}, {3.65, 0.8, -20.0}};
    begin();
    hearTo(6.0);
    ASSERT_EQ(starts.size(), 2U);
    EXPECT_EQ(starts[1].row, 1);
    EXPECT_NEAR(at(*starts[1].onset), 3.65, 0.010);
}

TEST_F(Mode, PromptsAreWaitedForAndAVoiceDuringOneBeginsNothing) {
    withPrompts = true;
    scene.words = {{2.0, 0.8, -20.0}, {5.0, 0.8, -20.0}};
    begin();
    EXPECT_EQ(mode->phase(), Phase::Prompting);
    EXPECT_EQ(prompted, std::vector<int>({0}));
    hearTo(4.0);  // the prompt "plays" over the first word
    EXPECT_TRUE(starts.empty());
    promptDone();
    EXPECT_EQ(mode->phase(), Phase::Listening);
    hearTo(7.0);
    ASSERT_EQ(starts.size(), 1U);
    EXPECT_NEAR(at(*starts[0].onset), 5.0, 0.010);
    EXPECT_EQ(prompted, std::vector<int>({0, 1}));  // the next item's prompt
    // A prompt's end that comes after the user moved on counts for nothing.
    const std::function<void()> stale = promptDone;
    select(3);
    EXPECT_EQ(prompted.back(), 3);
    stale();
    EXPECT_EQ(mode->phase(), Phase::Prompting);
}

// Enter, the selection keys and the mode's end in each phase.
TEST_F(Mode, KeysInEachPhase) {
    scene.words = {{2.0, 2.0, -20.0}};
    begin();
    hearTo(1.0);
    // Listening: Enter begins a take by hand, which silence does not end.
    mode->enter();
    EXPECT_EQ(mode->phase(), Phase::ByHand);
    ASSERT_EQ(starts.size(), 1U);
    EXPECT_FALSE(starts[0].onset.has_value());
    hearTo(5.0);
    EXPECT_TRUE(stops.empty());
    // ByHand: Enter stops it; judged good, the list moves on.
    mode->enter();
    ASSERT_EQ(stops.size(), 1U);
    EXPECT_FALSE(stops[0].has_value());
    EXPECT_EQ(row, 1);
    EXPECT_EQ(mode->phase(), Phase::Listening);

    // Recording: Enter stops the voice's take at once; the rest of the voice begins nothing.
    scene.words = {{6.0, 1.5, -20.0}};
    hearTo(6.5);
    ASSERT_EQ(mode->phase(), Phase::Recording);
    mode->enter();
    EXPECT_EQ(stops.size(), 2U);
    EXPECT_EQ(row, 2);
    hearTo(8.0);
    EXPECT_EQ(starts.size(), 2U);

    // Recording: a selection moved meanwhile stands when the take ends.
    scene.words = {{9.0, 0.8, -20.0}};
    hearTo(9.5);
    ASSERT_EQ(mode->phase(), Phase::Recording);
    select(0);
    hearTo(11.0);
    EXPECT_EQ(stops.size(), 3U);
    EXPECT_EQ(starts.back().row, 2);
    EXPECT_EQ(row, 0) << "the user's choice, not the next after the take's item";

    // Listening: a move listens for the new item.
    select(4);
    EXPECT_EQ(mode->phase(), Phase::Listening);
    // The take stopped by something else (a list load): listening again.
    scene.words = {{12.0, 0.8, -20.0}};
    hearTo(12.5);
    ASSERT_EQ(mode->phase(), Phase::Recording);
    mode->takeStoppedElsewhere();
    EXPECT_EQ(mode->phase(), Phase::Listening);
    // Off: nothing starts, Enter is not the mode's.
    mode->end();
    EXPECT_EQ(mode->notice(), Notice::Off);
    scene.words = {{14.0, 0.8, -20.0}};
    hearTo(16.0);
    mode->enter();
    EXPECT_EQ(starts.size(), 4U);
}

TEST_F(Mode, ARefusedStartAndALostInputBeginNothing) {
    scene.words = {{2.0, 0.8, -20.0}, {4.0, 0.8, -20.0}};
    begin();
    refuseStart = true;  // a take by hand runs already
    hearTo(3.5);
    EXPECT_EQ(mode->phase(), Phase::Listening);
    EXPECT_TRUE(starts.empty());
    refuseStart = false;
    mode->inputAvailable(false);
    EXPECT_EQ(mode->notice(), Notice::NoInput);
    hearTo(5.5);
    EXPECT_TRUE(starts.empty());
    mode->inputAvailable(true);
    EXPECT_EQ(mode->notice(), Notice::Waiting);
}

}  // namespace
}  // namespace quillar::test
