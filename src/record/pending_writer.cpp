#include "record/pending_writer.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <tuple>
#include <utility>

#include "platform/thread_name.h"

namespace quillar {

namespace {

std::atomic<int> g_threadsRunning{0};
// How long closing waits for a write in flight before it leaves it.
constexpr std::chrono::milliseconds kLongestCloseWait{1000};

}  // namespace

// What the thread shares with the writer. The thread holds its own reference, so that a thread
// left behind at closing still has it after the writer is gone.
struct PendingWriter::Shared {
    Poster post;
    std::shared_ptr<bool> alive;  // the writer's; only copied here, read on the window thread
    std::mutex mutex;             // guards queue, stop and running
    std::condition_variable wake;
    std::deque<std::pair<Job, Job>> queue;
    bool stop = false;
    bool running = false;  // a job runs outside the mutex
};

PendingWriter::PendingWriter(Poster post) : m_shared(std::make_shared<Shared>()) {
    m_shared->post = std::move(post);
    m_shared->alive = m_alive;
    g_threadsRunning.fetch_add(1, std::memory_order_relaxed);
    m_thread = std::thread([shared = m_shared]() mutable {
        loop(std::move(shared));
        g_threadsRunning.fetch_sub(1, std::memory_order_release);
    });
    platform::nameThread(m_thread, "quillar-pending");
}

PendingWriter::PendingWriter() = default;

PendingWriter::~PendingWriter() {
    *m_alive = false;
    if (!m_thread.joinable()) {
        return;
    }
    std::deque<std::pair<Job, Job>> notStarted;
    bool running = false;
    {
        std::unique_lock lock(m_shared->mutex);
        m_shared->stop = true;
        notStarted.swap(m_shared->queue);
        // A write that is only slow ends cleanly before the program does.
        running = !m_shared->wake.wait_for(lock, kLongestCloseWait,
                                           [this] { return !m_shared->running; });
    }
    m_shared->wake.notify_all();
    if (running) {
        // Its folder may never answer again; the process's end takes the thread with it.
        m_thread.detach();
    } else {
        m_thread.join();  // idle: it sees the stop at once
    }
}

int PendingWriter::threadsRunning() {
    return g_threadsRunning.load(std::memory_order_acquire);
}

void PendingWriter::submit(Job job, Job done) {
    if (!m_thread.joinable()) {
        job();
        if (done) {
            done();
        }
        return;
    }
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->queue.emplace_back(std::move(job), std::move(done));
    }
    m_shared->wake.notify_one();
}

void PendingWriter::loop(std::shared_ptr<Shared> shared) {
    Shared& s = *shared;
    for (;;) {
        Job job;
        Job done;
        {
            std::unique_lock lock(s.mutex);
            s.wake.wait(lock, [&s] { return s.stop || !s.queue.empty(); });
            if (s.stop) {
                return;
            }
            std::tie(job, done) = std::move(s.queue.front());
            s.queue.pop_front();
            s.running = true;
        }
        job();
        job = nullptr;
        {
            std::lock_guard lock(s.mutex);
            s.running = false;
            s.wake.notify_all();  // a closing writer may wait for this
            // Posted under the mutex: once the writer has set the stop, the poster (which may
            // name a window that is going) is never called again.
            if (!s.stop) {
                s.post([alive = s.alive, done = std::move(done)] {
                    if (*alive && done) {
                        done();
                    }
                });
            }
        }
        // A completion not posted goes here, outside the mutex: what it owns may remove a file.
    }
}

}  // namespace quillar
