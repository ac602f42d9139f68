#include "record/device_worker.h"

#include <utility>

#include "platform/thread_name.h"

namespace quillar {

namespace {

std::int64_t ticksNow() {
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

}  // namespace

DeviceWorker::DeviceWorker(Poster post, Job beforeEachJob)
    : m_post(std::move(post)), m_beforeEachJob(std::move(beforeEachJob)) {
    m_thread = std::thread([this] { loop(); });
    platform::nameThread(m_thread, "quillar-device");
}

DeviceWorker::DeviceWorker() = default;

DeviceWorker::~DeviceWorker() {
    *m_alive = false;
    {
        std::lock_guard lock(m_queueMutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void DeviceWorker::submit(Job job, Job done) {
    ++m_outstanding;
    if (!m_thread.joinable()) {
        job();
        --m_outstanding;
        if (done) {
            done();
        }
        return;
    }
    {
        std::lock_guard lock(m_queueMutex);
        m_queue.emplace_back(std::move(job), std::move(done));
    }
    m_wake.notify_one();
}

std::chrono::milliseconds DeviceWorker::busyFor() const {
    const std::int64_t started = m_jobStarted.load(std::memory_order_acquire);
    if (started == 0) {
        return std::chrono::milliseconds(0);
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::duration(ticksNow() - started));
}

void DeviceWorker::loop() {
    std::unique_lock lock(m_queueMutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty()) {
            return;  // stopping, and every job has run
        }
        auto [job, done] = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        if (m_beforeEachJob) {
            m_beforeEachJob();
        }
        m_jobStarted.store(ticksNow(), std::memory_order_release);
        job();
        m_jobStarted.store(0, std::memory_order_release);
        m_post([this, alive = m_alive, done = std::move(done)] {
            if (!*alive) {
                return;
            }
            --m_outstanding;
            if (done) {
                done();
            }
        });
        lock.lock();
    }
}

}  // namespace quillar
