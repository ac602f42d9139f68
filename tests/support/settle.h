// Lets the window thread run its events until a condition holds, for tests whose work finishes
// on another thread: a loaded machine (the ThreadSanitizer build beside other tests) may take far
// longer than usual, so they wait for the outcome rather than for a fixed time.
#pragma once

#include <QCoreApplication>
#include <QEventLoop>
#include <chrono>
#include <functional>
#include <thread>

namespace quillar::test {

// Runs the window thread's events until `done`, for at most `patience`; returns `done()`.
inline bool settleUntil(const std::function<bool()>& done,
                        std::chrono::milliseconds patience = std::chrono::seconds(10)) {
    const auto until = std::chrono::steady_clock::now() + patience;
    while (!done() && std::chrono::steady_clock::now() < until) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

}  // namespace quillar::test
