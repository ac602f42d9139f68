// Calls that can wait on the sound server (opening, starting, pausing and closing the capture
// device, listing devices) run here, one at a time and in order, so the window never waits for
// a server that stalls. Each job runs on the worker's thread ("quillar-device"); its completion
// runs afterwards on the window thread, through the poster given at construction.
//
// An inline worker runs the job and its completion at once, inside submit(): the simulated
// backend never stalls, and tests then see every call finished when their handler returns.
// Callers therefore finish their own bookkeeping before they submit.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace quillar {

class DeviceWorker {
  public:
    using Job = std::function<void()>;
    // Runs a function on the window thread later (a queued call).
    using Poster = std::function<void(std::function<void()>)>;

    // A worker with a thread of its own; completions reach the window thread through `post`.
    // `beforeEachJob`, when given, runs on the worker's thread before every job: a test holds
    // it there to play a sound server that answers late.
    explicit DeviceWorker(Poster post, Job beforeEachJob = {});
    // An inline worker: every job and completion runs inside submit().
    DeviceWorker();
    ~DeviceWorker();  // finishes the queued jobs (not their completions) and joins the thread
    DeviceWorker(const DeviceWorker&) = delete;
    DeviceWorker& operator=(const DeviceWorker&) = delete;

    // Window thread. `job` runs on the worker, then `done` on the window thread.
    void submit(Job job, Job done = {});
    // Window thread: how long the job now running has run, 0 when none runs. The window says
    // that the sound server is not answering once this grows past a moment.
    std::chrono::milliseconds busyFor() const;
    // Window thread: jobs submitted whose completion has not run yet.
    int outstanding() const { return m_outstanding; }
    bool threaded() const { return m_thread.joinable(); }

  private:
    void loop();

    Poster m_post;
    Job m_beforeEachJob;      // set before the thread starts, read only by it
    std::mutex m_queueMutex;  // guards m_queue and m_stop
    std::condition_variable m_wake;
    std::deque<std::pair<Job, Job>> m_queue;
    bool m_stop = false;
    // Steady-clock ticks when the running job began; 0 when none runs.
    std::atomic<std::int64_t> m_jobStarted{0};
    int m_outstanding = 0;  // window thread only
    // False once the worker is gone: a completion still queued on the window thread is dropped.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::thread m_thread;
};

}  // namespace quillar
