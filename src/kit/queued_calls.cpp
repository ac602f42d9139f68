#include "kit/queued_calls.h"

#include <QCoreApplication>
#include <QEvent>
#include <utility>

namespace quillar {

namespace {

QEvent::Type callEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// Owned by Qt's queue of posted events, which deletes it on the receiver's thread: after it ran,
// or, when the receiver goes first, in the receiver's destructor.
class CallEvent : public QEvent {
  public:
    explicit CallEvent(std::function<void()> fn) : QEvent(callEventType()), fn(std::move(fn)) {}
    std::function<void()> fn;
};

}  // namespace

QueuedCalls::QueuedCalls(QObject* parent) : QObject(parent) {
    callEventType();  // registered on the GUI thread, before any other thread asks
}

// The calls still queued are dropped by QObject's destructor, which runs next.
QueuedCalls::~QueuedCalls() {
    m_posted.load(std::memory_order_acquire);
}

void QueuedCalls::post(std::function<void()> fn) {
    auto* event = new CallEvent(std::move(fn));
    m_posted.fetch_add(1, std::memory_order_release);
    QCoreApplication::postEvent(this, event);
}

bool QueuedCalls::event(QEvent* event) {
    m_posted.load(std::memory_order_acquire);
    if (event->type() != callEventType()) {
        return QObject::event(event);
    }
    if (auto& fn = static_cast<CallEvent*>(event)->fn) {
        fn();
    }
    return true;
}

}  // namespace quillar
