#include "record/take.h"

#include <algorithm>
#include <utility>

#include "audio/audio_engine.h"
#include "record/capture_ring.h"

namespace quillar {

std::uint16_t bitsForSampleFlags(std::uint32_t flags) {
    if (flags & audio::kSample8Bit) {
        return 8;
    }
    if (flags & audio::kSampleFloat) {
        return 32;
    }
    if (flags & audio::kSample24Bit) {
        return 24;
    }
    return 16;
}

std::uint32_t TakeFormat::bytesPerFrame() const {
    return bitsForSampleFlags(flags) / 8U * std::max<std::uint32_t>(1, channels);
}

Take::Take(std::uint32_t serial, TakeTarget target, TakeFormat format, std::uint32_t prerollMs)
    : m_serial(serial), m_target(std::move(target)), m_format(format), m_prerollMs(prerollMs) {}

Take::~Take() {
    // Its journal's thread reads m_audio: it must be done first. The files stay unless the take
    // was saved or dropped (then the journal is gone already).
    if (m_journal) {
        m_journal->finish();
    }
}

double Take::seconds() const {
    // A pad byte after odd data is less than a frame: the division drops it.
    const std::size_t header = m_audio.headerBytes();
    const std::size_t bytes = m_audio.size() > header ? m_audio.size() - header : 0;
    const std::uint64_t perSecond = std::uint64_t{m_format.rate} * m_format.bytesPerFrame();
    return perSecond == 0 ? 0.0 : static_cast<double>(bytes) / static_cast<double>(perSecond);
}

TakeInfo Take::info() const {
    TakeInfo info;
    info.item = m_target.item;
    info.occurrence = m_target.occurrence;
    info.folder = m_target.folder;
    info.device = m_target.device;
    info.started = m_target.started;
    info.rate = m_format.rate;
    info.bits = bitsForSampleFlags(m_format.flags);
    info.channels = static_cast<std::uint16_t>(m_format.channels);
    info.labels = m_target.labels;
    return info;
}

void Take::dropJournal() {
    if (m_journal) {
        m_journal->remove();
        m_journal.reset();
    }
}

void Take::leaveJournalForRecovery() {
    if (m_journal) {
        m_journal->finish();
    }
}

std::uint64_t Take::lastFrame() const {
    return m_ranges.empty() ? kOpenEnd : m_ranges.back().to;
}

void Take::endAt(std::uint64_t frame) {
    for (Range& r : m_ranges) {
        r.to = std::min(r.to, frame);
        r.from = std::min(r.from, r.to);
    }
}

bool Take::collected() const {
    return m_range >= m_ranges.size() ||
           (m_range + 1 == m_ranges.size() && m_ranges.back().to != kOpenEnd &&
            m_collectedTo >= m_ranges.back().to);
}

}  // namespace quillar
