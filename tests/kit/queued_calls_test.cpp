// Calls handed to the window's thread from others (run under ThreadSanitizer too): they run
// there in the order posted, and whatever they hold is let go there, whether they ran or the
// receiver went first, so no other thread ever destroys what the window's thread has used.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "kit/queued_calls.h"

namespace quillar {
namespace {

// Held by a posted call, made on the posting thread; counts a release off the receiver's thread.
struct Held {
    Held(std::thread::id receiver, std::atomic<int>* destroyedElsewhere)
        : elsewhere(destroyedElsewhere), receiver(receiver) {}
    ~Held() {
        if (std::this_thread::get_id() != receiver) {
            elsewhere->fetch_add(1);
        }
    }
    std::atomic<int>* elsewhere;
    const std::thread::id receiver;
    int value = 0;  // written by the poster, read by the call
};

TEST(QueuedCalls, RunInOrderOnTheReceiversThreadAndAreDestroyedThere) {
    constexpr int kCalls = 2000;
    const std::thread::id gui = std::this_thread::get_id();
    QueuedCalls calls;
    std::vector<int> ran;
    std::atomic<int> destroyedElsewhere{0};
    std::thread poster([&] {
        for (int i = 0; i < kCalls; ++i) {
            auto held = std::make_shared<Held>(gui, &destroyedElsewhere);
            held->value = i;
            calls.post([&ran, held = std::move(held)] {
                EXPECT_EQ(held->receiver, std::this_thread::get_id());
                ran.push_back(held->value);
            });
        }
    });
    QElapsedTimer waited;
    waited.start();
    while (ran.size() < kCalls && waited.elapsed() < 20'000) {
        QCoreApplication::processEvents();
    }
    poster.join();
    ASSERT_EQ(ran.size(), std::size_t(kCalls));
    for (int i = 0; i < kCalls; ++i) {
        ASSERT_EQ(ran[i], i);
    }
    EXPECT_EQ(destroyedElsewhere.load(), 0);
}

TEST(QueuedCalls, PendingWhenTheReceiverGoesAreDroppedUnrunOnItsThread) {
    const std::thread::id gui = std::this_thread::get_id();
    std::atomic<int> destroyedElsewhere{0};
    int ran = 0;
    std::weak_ptr<Held> left;
    auto calls = std::make_unique<QueuedCalls>();
    std::thread poster([&] {
        auto held = std::make_shared<Held>(gui, &destroyedElsewhere);
        left = held;
        calls->post([&ran, held = std::move(held)] { ++ran; });
    });
    poster.join();
    calls.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 0);
    EXPECT_TRUE(left.expired());
    EXPECT_EQ(destroyedElsewhere.load(), 0);
}

}  // namespace
}  // namespace quillar
