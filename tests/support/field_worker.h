// A device worker on a thread of its own, as the program runs it, over a sound server that
// answers when the test says so. Each job waits at a gate for a random number of the test's
// moments, as a server that is slow to open or close a device; each completion then waits a few
// moments more and comes back among the others in a random order, as the window thread finds
// them among its other work. The randomness comes from a seed and the test's moments alone, so a
// session replays the same; the jobs themselves still run on the worker's thread, beside the
// window thread, where ThreadSanitizer can see them.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <vector>

#include "record/device_worker.h"

namespace quillar {
class QueuedCalls;
}

namespace quillar::test {

class FieldWorker {
  public:
    // A job waits up to `jobMoments` moments, a completion up to `completionMoments` more.
    FieldWorker(std::uint32_t seed, int jobMoments, int completionMoments);
    ~FieldWorker();  // lets every job through, so the worker can finish
    FieldWorker(const FieldWorker&) = delete;
    FieldWorker& operator=(const FieldWorker&) = delete;

    // The worker, for the window to own as the program's window does: it is destroyed with the
    // window, after answerAtOnce().
    std::shared_ptr<DeviceWorker> handOver() { return std::move(m_owned); }

    // One moment of the window thread (call it after every key and every pumped chunk): the
    // jobs whose time has come run on the worker, the test waiting for each, and then the
    // completions whose time has come run here, in a random order.
    void moment();
    // Moments without waiting, until every job has run and every completion has come back.
    void settle();
    // While held, jobs run at the next moment and their completions wait until let go: a test
    // stages one ordering on purpose.
    void holdAnswers(bool hold) { m_holding = hold; }
    // From now on jobs run at once and completions come back through the window's queued calls,
    // as in the program: before the window that owns the worker closes.
    void answerAtOnce(QueuedCalls* calls);

  private:
    struct Gate;
    void runDueJobs();
    std::int64_t submitted() const;

    std::shared_ptr<Gate> m_gate;
    std::shared_ptr<DeviceWorker> m_owned;
    DeviceWorker* m_worker = nullptr;
    std::mt19937 m_rng;
    int m_jobMoments;
    int m_completionMoments;
    bool m_hurry = false;
    bool m_holding = false;
    std::int64_t m_now = 0;
    std::int64_t m_jobDue = -1;  // when the job at the gate may run; -1 before it is seen
    struct Held {
        std::function<void()> completion;
        std::int64_t due;
    };
    std::vector<Held> m_held;
    std::int64_t m_delivered = 0;
};

}  // namespace quillar::test
