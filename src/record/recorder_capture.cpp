// The recorder's receiver of capture blocks (capture thread): the ring of the latest moments and
// the take's ranges of frames into record_buffer. It only copies, and shares atomics alone with
// the window thread.

#include <algorithm>
#include <cstring>

#include "kit/record_buffer.h"
#include "record/recorder.h"

namespace quillar {

bool Recorder::onBlock(audio::Handle, const void* data, std::uint32_t bytes, void* self) {
    return static_cast<Recorder*>(self)->receive(static_cast<const std::uint8_t*>(data), bytes);
}

bool Recorder::receive(const std::uint8_t* data, std::uint32_t bytes) {
    m_inBlock.fetch_add(1, std::memory_order_acq_rel);
    const std::uint32_t bpf = m_bytesPerFrame;
    const std::uint64_t frames = bytes / bpf;
    const std::uint64_t blockEnd = m_deliveredAt.load(std::memory_order_relaxed) + frames;

    // Into the ring first: a range may begin before this block (the pre-roll).
    const std::uint64_t keep = std::min(frames, m_ringFrames);
    for (std::uint64_t f = blockEnd - keep; f < blockEnd;) {
        const std::uint64_t slot = f % m_ringFrames;
        const std::uint64_t run = std::min(blockEnd - f, m_ringFrames - slot);
        std::memcpy(m_ring.data() + slot * bpf, data + (f - (blockEnd - frames)) * bpf, run * bpf);
        f += run;
    }
    m_deliveredAt.store(blockEnd, std::memory_order_release);
    if (m_shared.lastBlockSize != nullptr) {
        m_shared.lastBlockSize->store(bytes, std::memory_order_release);
    }

    if (m_appendOn.load(std::memory_order_acquire)) {
        const std::uint32_t segment = m_segment.load(std::memory_order_acquire);
        const std::uint64_t oldest = blockEnd - std::min(blockEnd, m_ringFrames);
        if (segment != m_seenSegment) {
            m_seenSegment = segment;
            m_appended = std::max(m_segStart.load(std::memory_order_relaxed), oldest);
        }
        m_appended = std::max(m_appended, oldest);
        const std::uint64_t stop = m_stopFrame.load(std::memory_order_acquire);
        const std::uint64_t to = std::min(blockEnd, stop);
        if (m_appended < to) {
            copyRange(m_appended, to, true);
            m_appended = to;
        }
        m_appendedAt.store(m_appended, std::memory_order_release);
        if (m_closing.load(std::memory_order_acquire) && m_appended >= stop) {
            m_appendOn.store(false, std::memory_order_release);
            m_closedByCapture.store(true, std::memory_order_release);
        }
    }
    m_inBlock.fetch_add(1, std::memory_order_acq_rel);
    return true;
}

void Recorder::copyRange(std::uint64_t from, std::uint64_t to, bool monitored) {
    const std::uint32_t bpf = m_bytesPerFrame;
    while (from < to) {
        const std::uint64_t slot = from % m_ringFrames;
        const std::uint64_t run = std::min(to - from, m_ringFrames - slot);
        const bool alreadyRefused = m_buffer.refusedAppend();
        if (!m_buffer.append(m_ring.data() + slot * bpf, run * bpf)) {
            // At the WAV size limit: the take keeps what it has; the window stops it.
            m_appendOn.store(false, std::memory_order_release);
            if (!alreadyRefused && m_refused) {
                m_refused();
            }
            return;
        }
        if (const audio::Handle monitor = monitored && m_shared.monitor != nullptr
                                              ? m_shared.monitor->load(std::memory_order_acquire)
                                              : 0) {
            m_engine.pushData(monitor, m_ring.data() + slot * bpf,
                              static_cast<std::uint32_t>(run * bpf));
            m_engine.play(monitor, false);
        }
        from += run;
    }
}

// The receiver is out of the way (appending off, no block in hand): the frames of the take that
// came but were not appended yet (a range begun since the last block) are taken from the ring
// here. The capture thread meanwhile writes only newer slots of the ring.
void Recorder::takeWhatCameFromRing() {
    const std::uint64_t delivered = m_deliveredAt.load(std::memory_order_acquire);
    const std::uint64_t stop = std::min(m_stopFrame.load(std::memory_order_acquire), delivered);
    std::uint64_t from = m_segment.load(std::memory_order_relaxed) != m_seenSegment
                             ? m_segStart.load(std::memory_order_relaxed)
                             : m_appended;
    // Leave a block's room to the writer.
    const std::uint64_t safe =
        m_ringFrames > m_ringFrames / 4 ? m_ringFrames - m_ringFrames / 4 : 0;
    from = std::max(from, delivered > safe ? delivered - safe : 0);
    if (from < stop) {
        copyRange(from, stop, false);
    }
    m_seenSegment = m_segment.load(std::memory_order_relaxed);
    m_appended = std::max(from, stop);
}

}  // namespace quillar
