// A hold on the writes of pending takes, for tests of what happens while one is in flight.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "record/take_replacement.h"

namespace quillar::test {

// Holds the writes of pending takes (TakeStep::WriteTemporary) until released, so that a test
// can act while a write is in flight without guessing at times. A test that fails is let go
// after 20 s rather than hanging. Any thread.
class WriteHold {
  public:
    explicit WriteHold(bool held = true) : m_held(held) {}
    StepCheck check() {
        return [this](TakeStep step) {
            if (step != TakeStep::WriteTemporary) {
                return true;
            }
            std::unique_lock lock(m_mutex);
            ++m_entered;
            m_maxInside = std::max(m_maxInside, ++m_inside);
            m_changed.notify_all();
            if (!m_changed.wait_for(lock, std::chrono::seconds(20), [this] { return !m_held; })) {
                m_timedOut = true;
            }
            --m_inside;
            return true;
        };
    }
    // Waits until `n` writes have reached the hold.
    bool waitEntered(int n) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10),
                                  [this, n] { return m_entered >= n; });
    }
    // Holds the writes that come from now on.
    void hold() {
        std::lock_guard lock(m_mutex);
        m_held = true;
    }
    void release() {
        std::lock_guard lock(m_mutex);
        m_held = false;
        m_changed.notify_all();
    }
    int inside() {
        std::lock_guard lock(m_mutex);
        return m_inside;
    }
    int entered() {
        std::lock_guard lock(m_mutex);
        return m_entered;
    }
    int maxInside() {
        std::lock_guard lock(m_mutex);
        return m_maxInside;
    }
    bool timedOut() {
        std::lock_guard lock(m_mutex);
        return m_timedOut;
    }

  private:
    std::mutex m_mutex;  // guards everything below
    std::condition_variable m_changed;
    bool m_held;
    int m_entered = 0;
    int m_inside = 0;
    int m_maxInside = 0;
    bool m_timedOut = false;
};

}  // namespace quillar::test
