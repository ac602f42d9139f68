// The latest seconds of one opened capture device, as a ring of frames that the capture thread
// fills and the window thread reads takes out of. A take is a range of frames of this stream;
// several takes may read the same frames. Each device opening gets a ring of its own, so the
// frame size and the storage never change while a device delivers into them: they are fixed at
// construction, and takes still closing on an old device read on from its ring after the next
// one opened.
//
// Threads: write() is the capture thread's (and, for the last partial block, the thread that
// frees the capture); it only copies and stores atomics. read() is one reader thread's (the
// window's). delivered() is any thread's.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>

#include "audio/audio_engine.h"

namespace quillar {

class CaptureRing {
  public:
    // `bytesPerFrame` > 0; `frames`: how many the ring keeps (at least two capture blocks).
    // `lastBlockSize`, when given, gets the byte count of every block written.
    CaptureRing(std::uint32_t bytesPerFrame, std::uint64_t frames,
                std::atomic<std::uint32_t>* lastBlockSize = nullptr);
    CaptureRing(const CaptureRing&) = delete;
    CaptureRing& operator=(const CaptureRing&) = delete;

    // The engine's capture receiver: `user` is the ring.
    static bool onBlock(audio::Handle channel, const void* data, std::uint32_t bytes, void* user);
    // Capture thread: appends `bytes` (whole frames) to the stream.
    void write(const std::uint8_t* data, std::uint32_t bytes);

    std::uint32_t bytesPerFrame() const { return m_bytesPerFrame; }
    std::uint64_t capacityFrames() const { return m_frames; }
    // Frames written since the ring was made (the stream's length). Any thread.
    std::uint64_t delivered() const { return m_delivered.load(std::memory_order_acquire); }

    // Reader: frames [from, to) of the stream (to <= delivered()), handed to `sink(data, bytes)`
    // in order, in at most two runs of contiguous bytes. Frames the writer has overwritten
    // already (or may reach while they are read) come first as one call with a null `data`:
    // they are lost, and the return says how many. The ring is far longer than any wait of the
    // window thread, so a reader that looks every few tens of milliseconds never loses a frame.
    template <typename Sink>
    std::uint64_t read(std::uint64_t from, std::uint64_t to, Sink&& sink);

    // The device that filled it is closed: no frame will come any more. Window thread.
    void markEnded() { m_ended = true; }
    bool ended() const { return m_ended; }

  private:
    // The oldest frame a read may still start at with `delivered` written: one block's room is
    // left to a writer that runs meanwhile.
    std::uint64_t oldestSafe(std::uint64_t delivered) const;

    const std::uint32_t m_bytesPerFrame;
    const std::uint64_t m_frames;
    const std::unique_ptr<std::uint8_t[]> m_data;
    std::atomic<std::uint32_t>* const m_lastBlockSize;
    std::atomic<std::uint64_t> m_delivered{0};
    // The reader's progress, published after each read and looked at by the writer before it
    // writes: it orders the reader's copies before the writer's later reuse of those slots.
    std::atomic<std::uint64_t> m_readTo{0};
    bool m_ended = false;  // window thread only
};

template <typename Sink>
std::uint64_t CaptureRing::read(std::uint64_t from, std::uint64_t to, Sink&& sink) {
    const std::uint64_t start = std::min(to, std::max(from, oldestSafe(delivered())));
    if (start > from) {
        sink(static_cast<const std::uint8_t*>(nullptr),
             static_cast<std::size_t>((start - from) * m_bytesPerFrame));
    }
    std::uint64_t f = start;
    while (f < to) {
        const std::uint64_t slot = f % m_frames;
        const std::uint64_t run = std::min(to - f, m_frames - slot);
        sink(m_data.get() + slot * m_bytesPerFrame,
             static_cast<std::size_t>(run * m_bytesPerFrame));
        f += run;
    }
    m_readTo.store(to, std::memory_order_release);
    return start - from;
}

}  // namespace quillar
