// The queue of a push stream (live monitoring): bytes written by one producer (the capture
// callback) and played by one consumer (the stream's render() on the playback thread), without a
// lock, an allocation or a system call on either side. The queue never holds more than its
// limit: the oldest bytes make way for the newest, so what is heard never lags the input by more
// than that.
//
// Threads: push() from one thread at a time (the producer); pop() from one thread at a time (the
// consumer); queued() and drop() from any thread. Every byte is an atomic, so a producer that
// laps a consumer stalled in the middle of a read garbles that read, never memory.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace quillar::audio {

class PushQueue {
  public:
    // `limitBytes`: the most that is ever queued (whole frames of `frameBytes`).
    PushQueue(std::size_t limitBytes, std::size_t frameBytes);

    // Queues `bytes` bytes (producer); more than the limit keeps only the newest limit. Returns
    // the bytes queued afterwards.
    std::size_t push(const void* data, std::size_t bytes);
    // Takes up to `bytes` of the oldest queued bytes into `out` (consumer); returns how many.
    std::size_t pop(void* out, std::size_t bytes);
    // Bytes waiting to be played.
    std::size_t queued() const;
    // Forgets what is queued now (a restart).
    void drop();
    // Consumer, before each pop of `bytes`: what stayed queued through a whole window of pops
    // beyond the pop's own need and half a push of slack only delays what is heard (a backlog
    // from the start, or from a burst), so its oldest bytes are dropped. Returns how many.
    std::size_t trimLag(std::size_t bytes);

    std::size_t limit() const { return m_limit; }

  private:
    std::uint64_t startAt(std::uint64_t write) const;

    // Pops over which the least queued is the standing lag: about half a second of output.
    static constexpr int kLagWindowPops = 40;

    std::size_t m_limit;
    std::size_t m_frameBytes;
    std::size_t m_capacity;  // twice the limit: a reader always has a limit's lead on the writer
    std::unique_ptr<std::atomic<std::uint8_t>[]> m_bytes;
    // Stream positions in bytes since creation: everything before m_write was pushed, before
    // m_read played, before m_floor dropped.
    std::atomic<std::uint64_t> m_write{0};  // written by the producer only
    std::atomic<std::uint64_t> m_read{0};   // written by the consumer only
    std::atomic<std::uint64_t> m_floor{0};
    std::atomic<std::size_t> m_lastPush{0};  // bytes of the latest push (producer)
    // The consumer's look at the lag: the least queued before a pop in this window, and pops.
    std::size_t m_lagMin = SIZE_MAX;
    int m_lagPops = 0;
};

}  // namespace quillar::audio
