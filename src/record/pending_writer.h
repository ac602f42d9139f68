// The thread that writes pending takes into their folders ("quillar-pending"), so that a folder
// that is slow or hangs (a USB stick, a dead network mount) never holds up the window. One job
// at a time; its completion runs afterwards on the window thread, through the poster given at
// construction.
//
// Closing waits at most a second for a job that runs; after that the thread is left to finish it
// alone. Either way its completion is dropped. A job must therefore own everything it touches (the
// window's state is for its completion only).
//
// An inline writer runs the job and its completion at once, inside submit(), for tests that read
// the outcome as soon as their handler returns.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace quillar {

class PendingWriter {
  public:
    using Job = std::function<void()>;
    // Runs a function on the window thread later (a queued call).
    using Poster = std::function<void(std::function<void()>)>;

    // A writer with a thread of its own; completions reach the window thread through `post`,
    // which is never called once the writer is destroyed.
    explicit PendingWriter(Poster post);
    // An inline writer: every job and completion runs inside submit().
    PendingWriter();
    // Window thread. Drops the jobs not started and every completion not yet run; joins the
    // thread once its job (if any) ends, but waits for that at most a second, and otherwise
    // leaves the thread to end by itself after its job.
    ~PendingWriter();
    PendingWriter(const PendingWriter&) = delete;
    PendingWriter& operator=(const PendingWriter&) = delete;

    // Window thread. `job` runs on the writer's thread, then `done` on the window thread.
    void submit(Job job, Job done = {});
    bool threaded() const { return m_thread.joinable(); }

    // Any thread: writer threads that have not ended yet, those left behind by a destroyed
    // writer included (for tests, which wait for them before they look at the files).
    static int threadsRunning();

  private:
    struct Shared;
    static void loop(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> m_shared;
    // False once the writer is gone: a completion still queued on the window thread is dropped.
    // Window thread only.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::thread m_thread;
};

}  // namespace quillar
