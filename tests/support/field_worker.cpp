#include "support/field_worker.h"

#include "kit/queued_calls.h"

#include <algorithm>
#include <utility>

namespace quillar::test {

// What the worker's thread and the test share.
struct FieldWorker::Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool open = false;        // jobs pass without waiting
    bool atGate = false;      // a job waits to be let through
    int letThrough = 0;       // jobs the test has let through and not yet seen pass
    std::int64_t posted = 0;  // completions the worker has posted
    std::vector<std::function<void()>> completions;  // posted, not yet taken by the test
    QueuedCalls* calls = nullptr;                    // once open: where completions go
};

FieldWorker::FieldWorker(std::uint32_t seed, int jobMoments, int completionMoments)
    : m_gate(std::make_shared<Gate>()),
      m_rng(seed),
      m_jobMoments(jobMoments),
      m_completionMoments(completionMoments) {
    auto post = [gate = m_gate](std::function<void()> completion) {
        std::lock_guard lock(gate->mutex);
        ++gate->posted;
        if (gate->calls != nullptr) {
            gate->calls->post(std::move(completion));
        } else if (!gate->open) {
            gate->completions.push_back(std::move(completion));
        }
        gate->changed.notify_all();
    };
    auto wait = [gate = m_gate] {
        std::unique_lock lock(gate->mutex);
        gate->atGate = true;
        gate->changed.notify_all();
        gate->changed.wait(lock, [&gate] { return gate->open || gate->letThrough > 0; });
        gate->atGate = false;
        if (gate->letThrough > 0) {
            --gate->letThrough;
        }
    };
    m_owned = std::make_shared<DeviceWorker>(std::move(post), std::move(wait));
    m_worker = m_owned.get();
}

FieldWorker::~FieldWorker() {
    std::lock_guard lock(m_gate->mutex);
    m_gate->open = true;
    m_gate->calls = nullptr;
    m_gate->completions.clear();
    m_gate->changed.notify_all();
}

std::int64_t FieldWorker::submitted() const {
    // Every job submitted either has had its completion run here or has one still to come.
    return m_worker->outstanding() + m_delivered;
}

void FieldWorker::runDueJobs() {
    std::unique_lock lock(m_gate->mutex);
    if (m_gate->open) {
        return;
    }
    // Jobs submitted whose completion the worker has not posted: the first of them is at the
    // gate, or on its way there.
    while (submitted() > m_gate->posted) {
        m_gate->changed.wait(lock,
                             [this] { return m_gate->atGate || submitted() <= m_gate->posted; });
        if (!m_gate->atGate) {
            break;
        }
        if (m_jobDue < 0) {
            const bool now = m_hurry || m_holding;
            m_jobDue =
                m_now + (now ? 0 : std::uniform_int_distribution<int>(0, m_jobMoments)(m_rng));
        }
        if (m_jobDue > m_now) {
            return;
        }
        m_jobDue = -1;
        const std::int64_t before = m_gate->posted;
        ++m_gate->letThrough;
        m_gate->changed.notify_all();
        m_gate->changed.wait(lock, [this, before] { return m_gate->posted > before; });
    }
}

void FieldWorker::moment() {
    ++m_now;
    runDueJobs();
    std::vector<std::function<void()>> arrived;
    {
        std::lock_guard lock(m_gate->mutex);
        arrived.swap(m_gate->completions);
    }
    for (std::function<void()>& completion : arrived) {
        const int wait =
            m_hurry ? 0 : std::uniform_int_distribution<int>(0, m_completionMoments)(m_rng);
        m_held.push_back({std::move(completion), m_now + wait});
    }
    std::vector<std::function<void()>> due;
    for (auto it = m_held.begin(); it != m_held.end();) {
        if (it->due <= m_now && !m_holding) {
            due.push_back(std::move(it->completion));
            it = m_held.erase(it);
        } else {
            ++it;
        }
    }
    std::shuffle(due.begin(), due.end(), m_rng);
    for (std::function<void()>& completion : due) {
        ++m_delivered;
        completion();
    }
}

void FieldWorker::settle() {
    m_hurry = true;
    for (int i = 0; i < 1000 && (m_worker->outstanding() > 0 || !m_held.empty()); ++i) {
        m_jobDue = std::min(m_jobDue, m_now + 1);
        moment();
    }
    m_hurry = false;
}

void FieldWorker::answerAtOnce(QueuedCalls* calls) {
    std::vector<Held> held = std::move(m_held);
    m_held.clear();
    std::lock_guard lock(m_gate->mutex);
    m_gate->open = true;
    m_gate->calls = calls;
    for (Held& h : held) {
        calls->post(std::move(h.completion));
    }
    for (std::function<void()>& completion : m_gate->completions) {
        calls->post(std::move(completion));
    }
    m_gate->completions.clear();
    m_gate->changed.notify_all();
}

}  // namespace quillar::test
