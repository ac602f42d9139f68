// Calls handed from any thread to the thread a QueuedCalls object lives in (the window's): the
// way engine, worker and reader threads reach the window.
//
// Unlike QMetaObject::invokeMethod with Qt::QueuedConnection, the function is always destroyed on
// the receiving thread, whether it ran or was dropped. invokeMethod leaves the last reference to
// its functor to whichever thread lets go last, through a reference count inside Qt: a worker
// thread can destroy a lambda the window thread has just run, which is correct but invisible to
// ThreadSanitizer in a Qt not built with it, and reads to it as a race in our code.
#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>

namespace quillar {

class QueuedCalls : public QObject {
  public:
    // Made on the thread whose event loop runs the calls (the GUI thread).
    explicit QueuedCalls(QObject* parent = nullptr);
    ~QueuedCalls() override;

    // Any thread. `fn` runs on this object's thread once its event loop gets to it, after the
    // calls posted before it; if this object is destroyed first, `fn` is dropped without running.
    void post(std::function<void()> fn);

  protected:
    bool event(QEvent* event) override;

  private:
    // Bumped by each post before its event is queued, and read by the receiving thread before it
    // touches an event, run or dropped: Qt's queue of posted events is guarded by locks that a Qt
    // not built with ThreadSanitizer hides from it, so this is the hand-over it sees.
    std::atomic<std::uint64_t> m_posted{0};
};

}  // namespace quillar
