#include "record/record_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "record/wav_image.h"

namespace quillar {

namespace {

std::size_t pageSize() {
    const long p = ::sysconf(_SC_PAGESIZE);
    return p > 0 ? static_cast<std::size_t>(p) : 4096;
}

std::size_t roundUp(std::size_t n, std::size_t to) {
    return (n + to - 1) / to * to;
}

// The whole address range a recording can ever need: header plus the largest describable data.
std::size_t reservedBytes() {
    return roundUp(RecordBuffer::kHeaderBytes + RecordBuffer::kMaxDataBytes, pageSize());
}

// First heap allocation: a few seconds of CD-quality stereo, so short takes never regrow.
constexpr std::size_t kFirstHeapBytes = 1u << 20;
// How far ahead of the data fresh pages are faulted in with one call (bytes): one trip into the
// kernel per 2 MiB instead of one page fault per 4 KiB, about every 12 s of 44100 Hz 16-bit.
constexpr std::size_t kPopulateAheadBytes = std::size_t{2} << 20;

}  // namespace

RecordBuffer::RecordBuffer(Backing preferred) {
    if (preferred == Backing::Reserved && sizeof(std::size_t) >= 8) {
        const std::size_t bytes = reservedBytes();
        void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p != MAP_FAILED) {
            m_base = static_cast<std::uint8_t*>(p);
            m_capacity = bytes;
            m_backing = Backing::Reserved;
            return;
        }
    }
    // No room for the region (32-bit address space, strict overcommit): grow on the heap.
    m_backing = Backing::Heap;
}

RecordBuffer::~RecordBuffer() {
    if (m_base == nullptr) {
        return;
    }
    if (m_backing == Backing::Reserved) {
        ::munmap(m_base, m_capacity);
    } else {
        std::free(m_base);
    }
}

void RecordBuffer::clear() {
    const std::size_t used = size() + (m_wrapped ? 0 : kHeaderBytes);
    if (m_backing == Backing::Reserved) {
        // Pages up to kRetainedBytes stay mapped for the next take, so word-list takes of a few
        // seconds append without a single page fault after the first; the rest goes back now.
        const std::size_t keep = roundUp(kRetainedBytes, pageSize());
        const std::size_t end =
            std::min(std::max(roundUp(used, pageSize()), m_populated), m_capacity);
        if (end > keep) {
            ::madvise(m_base + keep, end - keep, MADV_DONTNEED);
        }
        m_populated = std::min(m_populated, keep);
    } else if (m_capacity > kRetainedBytes) {
        std::free(m_base);
        m_base = nullptr;
        m_capacity = 0;
    }
    m_wrapped = false;
    m_refused.store(false, std::memory_order_release);
    m_size.store(0, std::memory_order_release);
}

bool RecordBuffer::fits(std::size_t bytes) const {
    const std::uint64_t data = m_wrapped ? 0 : size();
    return !m_wrapped && bytes <= m_limit && data <= m_limit - bytes;
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

bool RecordBuffer::append(const void* data, std::size_t bytes) {
    if (!fits(bytes)) {
        m_refused.store(true, std::memory_order_release);
        return false;
    }
    // The capture thread is the only writer of m_size while recording.
    const std::size_t current = m_size.load(std::memory_order_relaxed);
    const std::size_t end = kHeaderBytes + current + bytes;
    if (end > m_capacity && (m_backing == Backing::Reserved || !growHeap(end))) {
        m_refused.store(true, std::memory_order_release);
        return false;
    }
    if (m_backing == Backing::Reserved && end > m_populated) {
        const std::size_t to = std::min(roundUp(end + kPopulateAheadBytes, pageSize()), m_capacity);
        // A kernel without MADV_POPULATE_WRITE refuses it; the pages then fault in one by one.
        ::madvise(m_base + m_populated, to - m_populated, MADV_POPULATE_WRITE);
        m_populated = to;
    }
    if (bytes > 0) {
        std::memcpy(m_base + kHeaderBytes + current, data, bytes);
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
    return m_wrapped ? m_base : m_base + kHeaderBytes;
}

void RecordBuffer::wrapAsWavImage(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels) {
    const std::size_t dataBytes = size();
    if (m_wrapped || dataBytes == 0) {
        return;
    }
    const auto header = wavHeaderBytes(static_cast<std::uint32_t>(dataBytes), rate, bits, channels);
    std::memcpy(m_base, header.data(), header.size());
    m_wrapped = true;
    m_size.store(dataBytes + kHeaderBytes, std::memory_order_release);
}

void RecordBuffer::setDataLimit(std::uint64_t bytes) {
    m_limit = std::min(bytes, kMaxDataBytes);
}

}  // namespace quillar
