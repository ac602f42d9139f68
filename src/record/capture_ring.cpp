#include "record/capture_ring.h"

#include <algorithm>
#include <cstring>

namespace quillar {

CaptureRing::CaptureRing(std::uint32_t bytesPerFrame, std::uint64_t frames,
                         std::atomic<std::uint32_t>* lastBlockSize)
    : m_bytesPerFrame(std::max<std::uint32_t>(1, bytesPerFrame)),
      m_frames(std::max<std::uint64_t>(2, frames)),
      m_data(new std::uint8_t[m_frames * m_bytesPerFrame]()),
      m_lastBlockSize(lastBlockSize) {}

bool CaptureRing::onBlock(audio::Handle, const void* data, std::uint32_t bytes, void* user) {
    static_cast<CaptureRing*>(user)->write(static_cast<const std::uint8_t*>(data), bytes);
    return true;
}

void CaptureRing::write(const std::uint8_t* data, std::uint32_t bytes) {
    // Only for the ordering it gives: the reader's copies happen before these writes.
    (void)m_readTo.load(std::memory_order_acquire);
    const std::uint64_t frames = bytes / m_bytesPerFrame;
    const std::uint64_t end = m_delivered.load(std::memory_order_relaxed) + frames;
    const std::uint64_t keep = std::min(frames, m_frames);
    const std::uint8_t* src = data + (frames - keep) * m_bytesPerFrame;
    for (std::uint64_t f = end - keep; f < end;) {
        const std::uint64_t slot = f % m_frames;
        const std::uint64_t run = std::min(end - f, m_frames - slot);
        std::memcpy(m_data.get() + slot * m_bytesPerFrame, src, run * m_bytesPerFrame);
        src += run * m_bytesPerFrame;
        f += run;
    }
    m_delivered.store(end, std::memory_order_release);
    if (m_lastBlockSize != nullptr) {
        m_lastBlockSize->store(bytes, std::memory_order_release);
    }
}

std::uint64_t CaptureRing::oldestSafe(std::uint64_t delivered) const {
    // A block is 100 ms; a tenth of the ring is far more than one at any rate we capture.
    const std::uint64_t room = m_frames - m_frames / 10;
    return delivered > room ? delivered - room : 0;
}

}  // namespace quillar
