#include "kit/record_buffer.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/memory.h"
#include "platform/thread_name.h"

namespace quillar {

using platform::pageSize;

namespace {

std::size_t roundUp(std::size_t n, std::size_t to) {
    return (n + to - 1) / to * to;
}
std::size_t roundDown(std::size_t n, std::size_t to) {
    return n / to * to;
}

// Room after the data for the pad byte an odd-sized chunk ends in.
constexpr std::size_t kPadRoom = 1;

// The whole address range a recording can ever need: header, the largest describable data, pad.
std::size_t reservedBytes() {
    return roundUp(RecordBuffer::kHeaderRoom + RecordBuffer::kMaxDataBytes + kPadRoom, pageSize());
}

// First heap allocation: a few seconds of CD-quality stereo, so short takes never regrow.
constexpr std::size_t kFirstHeapBytes = 1u << 20;
// How far ahead of the data the warmer keeps pages faulted in (bytes): about 11 s of 48 kHz
// float stereo, 2.7 s even at 192 kHz, so a warmer delayed by a busy machine still keeps up.
constexpr std::size_t kWarmAheadBytes = std::size_t{4} << 20;
// Data growth between two requests to the warmer (bytes): one wake-up every few seconds of audio
// rather than one per block, and the populated lead never drops below 3 MiB.
constexpr std::size_t kWarmStrideBytes = std::size_t{1} << 20;
// Pages faulted in per hold of the warmer's mutex (bytes): clear() waits at most this long
// (64 pages, well under a millisecond) for the warmer to let go.
constexpr std::size_t kWarmChunkBytes = std::size_t{256} << 10;

}  // namespace

// Faults in the pages of the reserved region ahead of the capture thread's writes. It only ever
// asks the kernel to map pages (never writes a byte), so a warmer that lags or fails costs the
// capture thread its own page faults and nothing else.
class RecordBuffer::Warmer {
  public:
    Warmer(std::uint8_t* base, std::size_t capacity) : m_base(base), m_capacity(capacity) {
        m_thread = std::thread([this] { run(); });
        platform::nameThread(m_thread, "quillar-warm");
    }
    ~Warmer() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        kick();
        m_thread.join();
    }
    Warmer(const Warmer&) = delete;
    Warmer& operator=(const Warmer&) = delete;

    // Capture thread: asks for the pages up to `target` bytes from the base. Never blocks: an
    // atomic store and a futex wake, and the wake only when the warmer sleeps.
    void request(std::size_t target) {
        m_target.store(target, std::memory_order_release);
        kick();
    }

    // GUI thread, no capture running: the lock waits out a populate in progress and keeps the
    // warmer away while the caller returns pages to the system.
    std::unique_lock<std::mutex> pause() { return std::unique_lock<std::mutex>(m_mutex); }
    // With the lock from pause(): bytes from the base the warmer has faulted in.
    std::size_t populated() const { return m_populated; }
    // With the lock from pause(): what is populated now, and nothing more is wanted.
    void restart(std::size_t populated) {
        m_populated = populated;
        m_target.store(0, std::memory_order_release);
    }

  private:
    void kick() {
        m_kicks.fetch_add(1, std::memory_order_release);
        m_kicks.notify_one();
    }

    void run() {
        const std::size_t page = pageSize();
        for (;;) {
            // Read before looking at the target: a request made after that look changes the
            // count, so the wait below returns at once instead of missing it.
            const std::uint32_t seen = m_kicks.load(std::memory_order_acquire);
            bool more = false;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_stop) {
                    return;
                }
                const std::size_t want =
                    std::min(roundUp(m_target.load(std::memory_order_acquire), page), m_capacity);
                // Below the data end at the request the capture thread has written every page
                // itself; after a long stall, going over them again would only delay the lead.
                const std::size_t written =
                    want > kWarmAheadBytes ? roundDown(want - kWarmAheadBytes, page) : 0;
                const std::size_t from = std::max(m_populated, written);
                if (from < want) {
                    const std::size_t to = std::min(want, from + kWarmChunkBytes);
                    // A kernel that cannot leaves the pages to fault in on the capture thread, as
                    // they would without a warmer.
                    platform::commitAhead(m_base + from, to - from);
                    m_populated = to;
                    more = to < want;
                }
            }
            if (!more) {
                m_kicks.wait(seen, std::memory_order_acquire);
            }
        }
    }

    std::uint8_t* const m_base;
    const std::size_t m_capacity;
    std::mutex m_mutex;  // never taken by the capture thread
    std::size_t m_populated = 0;
    bool m_stop = false;
    std::atomic<std::size_t> m_target{0};
    std::atomic<std::uint32_t> m_kicks{0};
    std::thread m_thread;  // last: starts once everything it reads is constructed
};

RecordBuffer::RecordBuffer(Backing preferred) {
    if (preferred == Backing::Reserved && sizeof(std::size_t) >= 8) {
        const std::size_t bytes = reservedBytes();
        if (void* p = platform::reserveRegion(bytes)) {
            m_base = static_cast<std::uint8_t*>(p);
            m_capacity = bytes;
            m_backing = Backing::Reserved;
            // Here, on the thread that makes the buffer: an append never starts a thread.
            startWarmer();
            return;
        }
    }
    // No room for the region (32-bit address space, strict overcommit): grow on the heap.
    m_backing = Backing::Heap;
}

RecordBuffer::~RecordBuffer() {
    // Joined before the region goes: the warmer may be inside a populate call on it.
    m_warmer.reset();
    if (m_base == nullptr) {
        return;
    }
    if (m_backing == Backing::Reserved) {
        platform::releaseRegion(m_base, m_capacity);
    } else {
        std::free(m_base);
    }
}

void RecordBuffer::swap(RecordBuffer& other) noexcept {
    using std::swap;
    swap(m_backing, other.m_backing);
    swap(m_base, other.m_base);
    swap(m_capacity, other.m_capacity);
    swap(m_warmer, other.m_warmer);
    swap(m_warmerTried, other.m_warmerTried);
    swap(m_wakeAt, other.m_wakeAt);
    const std::size_t size = m_size.load(std::memory_order_acquire);
    m_size.store(other.m_size.load(std::memory_order_acquire), std::memory_order_release);
    other.m_size.store(size, std::memory_order_release);
    const bool refused = m_refused.load(std::memory_order_acquire);
    m_refused.store(other.m_refused.load(std::memory_order_acquire), std::memory_order_release);
    other.m_refused.store(refused, std::memory_order_release);
    swap(m_limit, other.m_limit);
    swap(m_wrappedHeader, other.m_wrappedHeader);
}

void RecordBuffer::clear() {
    // Bytes from m_base: before the wrap the data after the room, after it the image at its end.
    const std::size_t used = size() + kHeaderRoom - m_wrappedHeader;
    if (m_backing == Backing::Reserved) {
        // Pages up to kRetainedBytes stay mapped for the next take, so word-list takes of a few
        // seconds append without a single page fault after the first; the rest goes back now.
        const std::size_t keep = roundUp(kRetainedBytes, pageSize());
        std::unique_lock<std::mutex> paused;
        std::size_t populated = roundUp(used, pageSize());
        if (m_warmer) {
            paused = m_warmer->pause();
            populated = std::max(populated, m_warmer->populated());
        }
        const std::size_t end = std::min(populated, m_capacity);
        if (end > keep) {
            platform::returnPages(m_base + keep, end - keep);
        }
        const std::size_t kept = std::min(end, keep);
        if (m_warmer) {
            m_warmer->restart(kept);
        }
        // The next take needs the warmer only once its data nears the end of the kept pages.
        m_wakeAt = kept > kWarmAheadBytes ? kept - kWarmAheadBytes : 0;
    } else if (m_capacity > kRetainedBytes) {
        std::free(m_base);
        m_base = nullptr;
        m_capacity = 0;
    }
    m_wrappedHeader = 0;
    m_refused.store(false, std::memory_order_release);
    m_size.store(0, std::memory_order_release);
}

bool RecordBuffer::fits(std::size_t bytes) const {
    const std::uint64_t data = isWavImage() ? 0 : size();
    return !isWavImage() && bytes <= m_limit && data <= m_limit - bytes;
}

bool RecordBuffer::growHeap(std::size_t needed) {
    std::size_t want = std::max(m_capacity, kFirstHeapBytes);
    while (want < needed) {
        want = want > SIZE_MAX / 2 ? needed : want * 2;
    }
    void* p = std::realloc(m_base, want);
    if (p == nullptr) {
        return false;
    }
    m_base = static_cast<std::uint8_t*>(p);
    m_capacity = want;
    return true;
}

void RecordBuffer::startWarmer() {
    if (m_warmerTried) {
        return;
    }
    m_warmerTried = true;
    try {
        m_warmer = std::make_unique<Warmer>(m_base, m_capacity);
    } catch (const std::system_error&) {
        // No thread to be had: the capture thread faults its pages in itself.
    }
}

void RecordBuffer::requestWarm(std::size_t end) {
    m_wakeAt = end + kWarmStrideBytes;
    if (m_warmer) {
        // No further ahead than the data can ever reach.
        const std::size_t limitEnd = static_cast<std::size_t>(kHeaderRoom + m_limit + kPadRoom);
        m_warmer->request(std::min(end + kWarmAheadBytes, limitEnd));
    }
}

bool RecordBuffer::append(const void* data, std::size_t bytes) {
    if (!fits(bytes)) {
        m_refused.store(true, std::memory_order_release);
        return false;
    }
    // The capture thread is the only writer of m_size while recording.
    const std::size_t current = m_size.load(std::memory_order_relaxed);
    const std::size_t end = kHeaderRoom + current + bytes;
    // The pad byte's room comes with the data, so that the wrap never needs memory.
    if (end + kPadRoom > m_capacity &&
        (m_backing == Backing::Reserved || !growHeap(end + kPadRoom))) {
        m_refused.store(true, std::memory_order_release);
        return false;
    }
    if (m_backing == Backing::Reserved && end > m_wakeAt) {
        requestWarm(end);
    }
    if (bytes > 0) {
        std::memcpy(m_base + kHeaderRoom + current, data, bytes);
    }
    m_size.store(current + bytes, std::memory_order_release);
    return true;
}

const std::uint8_t* RecordBuffer::data() const {
    // The acquire load orders this read after the capture thread's last growth of the heap.
    (void)size();
    if (m_base == nullptr) {
        return nullptr;
    }
    return m_base + kHeaderRoom - m_wrappedHeader;
}

void RecordBuffer::wrapWithHeader(std::span<const std::uint8_t> header, std::size_t padBytes) {
    const std::size_t dataBytes = size();
    if (isWavImage() || dataBytes == 0 || header.empty() || header.size() > kHeaderRoom ||
        padBytes > kPadRoom) {
        return;
    }
    std::memcpy(m_base + kHeaderRoom - header.size(), header.data(), header.size());
    std::memset(m_base + kHeaderRoom + dataBytes, 0, padBytes);
    m_wrappedHeader = header.size();
    m_size.store(header.size() + dataBytes + padBytes, std::memory_order_release);
}

void RecordBuffer::setDataLimit(std::uint64_t bytes) {
    m_limit = std::min(bytes, kMaxDataBytes);
}

}  // namespace quillar
