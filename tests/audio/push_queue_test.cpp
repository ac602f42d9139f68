// The monitoring queue drops a lag that stands through a window of pops, and nothing else: not
// what the next pop needs, not a jittery queue that ran dry, not a queue already as short as it
// can be.
#include "audio/push_queue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace quillar::audio {
namespace {

constexpr std::size_t kFrame = 4;  // 16-bit stereo
constexpr std::size_t kPush = 1024;
constexpr std::size_t kPop = 2048;

struct LagCase {
    const char* what;
    std::size_t backlog;     // bytes queued before the steady pushes and pops begin
    bool late;               // two pushes come a pop late: that pop finds the queue dry
    std::size_t dropped[2];  // bytes trimLag drops in the first and in the second window
};

// Frames numbered in order, so that what is popped shows where the queue skipped.
struct Source {
    std::uint32_t next = 0;
    std::vector<std::uint8_t> take(std::size_t bytes) {
        std::vector<std::uint8_t> out(bytes);
        for (std::size_t at = 0; at < bytes; at += kFrame) {
            std::memcpy(out.data() + at, &next, kFrame);
            ++next;
        }
        return out;
    }
};

TEST(PushQueueLag, OnlyAStandingLagIsDropped) {
    const LagCase cases[] = {
        {"no lag: each pop finds just what it needs", 0, false, {0, 0}},
        {"a lag of half a push is the slack kept", kPush / 2, false, {0, 0}},
        {"a lag of two pushes left from the start", 2 * kPush, false, {1536, 0}},
        // Jitter: not a lag while the window holds the dry pop, a lag once it stands after.
        {"two pushes late once", 0, true, {0, 1536}},
    };
    for (const LagCase& c : cases) {
        SCOPED_TRACE(c.what);
        PushQueue queue(64 * kPush, kFrame);
        Source source;
        queue.push(source.take(c.backlog).data(), c.backlog);
        std::size_t dropped[2] = {0, 0};
        std::uint32_t expected = 0;  // the frame the next pop should begin with
        std::vector<std::uint8_t> out(kPop);
        // Two windows of 40 pops, two pushes before each pop, as a capture period of half the
        // output's delivers them.
        for (int pop = 0; pop < 80; ++pop) {
            const int pushes = !c.late ? 2 : pop == 10 ? 0 : pop == 11 ? 4 : 2;
            for (int p = 0; p < pushes; ++p) {
                queue.push(source.take(kPush).data(), kPush);
            }
            const std::size_t skipped = queue.trimLag(kPop);
            dropped[pop / 40] += skipped;
            expected += static_cast<std::uint32_t>(skipped / kFrame);
            const std::size_t got = queue.pop(out.data(), kPop);
            for (std::size_t at = 0; at < got; at += kFrame) {
                std::uint32_t frame = 0;
                std::memcpy(&frame, out.data() + at, kFrame);
                ASSERT_EQ(frame, expected) << "pop " << pop;  // in order, nothing lost but the lag
                ++expected;
            }
        }
        EXPECT_EQ(dropped[0], c.dropped[0]);
        EXPECT_EQ(dropped[1], c.dropped[1]);
    }
}

}  // namespace
}  // namespace quillar::audio
