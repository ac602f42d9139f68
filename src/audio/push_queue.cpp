#include "audio/push_queue.h"

#include <algorithm>

namespace quillar::audio {

PushQueue::PushQueue(std::size_t limitBytes, std::size_t frameBytes)
    : m_limit(std::max(limitBytes, std::max<std::size_t>(1, frameBytes))),
      m_frameBytes(std::max<std::size_t>(1, frameBytes)),
      m_capacity(2 * m_limit),
      m_bytes(std::make_unique<std::atomic<std::uint8_t>[]>(m_capacity)) {}

std::uint64_t PushQueue::startAt(std::uint64_t write) const {
    const std::uint64_t newest = write > m_limit ? write - m_limit : 0;
    return std::max(
        {m_read.load(std::memory_order_acquire), m_floor.load(std::memory_order_acquire), newest});
}

std::size_t PushQueue::push(const void* data, std::size_t bytes) {
    const std::uint64_t write = m_write.load(std::memory_order_relaxed);
    const auto* src = static_cast<const std::uint8_t*>(data);
    // Only the newest limit can ever be played: the rest is counted as pushed and dropped.
    const std::size_t skip = bytes > m_limit ? bytes - m_limit : 0;
    std::size_t at = static_cast<std::size_t>((write + skip) % m_capacity);
    for (std::size_t i = skip; i < bytes; ++i) {
        m_bytes[at].store(src[i], std::memory_order_relaxed);
        if (++at == m_capacity) {
            at = 0;
        }
    }
    m_lastPush.store(bytes, std::memory_order_relaxed);
    m_write.store(write + bytes, std::memory_order_release);
    return queued();
}

std::size_t PushQueue::pop(void* out, std::size_t bytes) {
    const std::uint64_t write = m_write.load(std::memory_order_acquire);
    const std::uint64_t start = startAt(write);
    if (start >= write) {
        return 0;  // dry, or dropped by a restart after `write` was read
    }
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, write - start));
    auto* dst = static_cast<std::uint8_t*>(out);
    std::size_t at = static_cast<std::size_t>(start % m_capacity);
    for (std::size_t i = 0; i < n; ++i) {
        dst[i] = m_bytes[at].load(std::memory_order_relaxed);
        if (++at == m_capacity) {
            at = 0;
        }
    }
    m_read.store(start + n, std::memory_order_release);
    return n;
}

std::size_t PushQueue::queued() const {
    const std::uint64_t write = m_write.load(std::memory_order_acquire);
    return static_cast<std::size_t>(write - std::min(write, startAt(write)));
}

std::size_t PushQueue::trimLag(std::size_t bytes) {
    m_lagMin = std::min(m_lagMin, queued());
    if (++m_lagPops < kLagWindowPops) {
        return 0;
    }
    const std::size_t keep = bytes + m_lastPush.load(std::memory_order_relaxed) / 2;
    std::size_t excess = m_lagMin > keep ? m_lagMin - keep : 0;
    excess -= excess % m_frameBytes;
    m_lagMin = SIZE_MAX;
    m_lagPops = 0;
    if (excess > 0) {
        // At most what is queued now: the least of the window is never more than that.
        const std::uint64_t start = startAt(m_write.load(std::memory_order_acquire));
        m_read.store(start + excess, std::memory_order_release);
    }
    return excess;
}

void PushQueue::drop() {
    m_floor.store(m_write.load(std::memory_order_acquire), std::memory_order_release);
}

}  // namespace quillar::audio
