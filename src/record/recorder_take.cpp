// The recorder's records of a take (window thread): the journal that keeps it on disk while it
// exists only in memory, and the check that reads it for clipping and judges it.

#include <utility>

#include "kit/record_buffer.h"
#include "record/recorder.h"

namespace quillar {

void Recorder::keepJournals(JournalSetup setup) {
    m_journalSetup = std::move(setup);
}

void Recorder::takeBegins() {
    const std::uint32_t serial = ++m_takeSerial;
    m_check.begin(bitsForSampleFlags(m_format.flags), m_format.channels, m_format.rate);
    changeTo(State::Recording, Change::Started);
    // The window fixes what the take belongs to as it is told; a take gone meanwhile has none.
    if (serial != m_takeSerial || m_state == State::Idle || !m_journalSetup.describe) {
        return;
    }
    dropJournal();
    TakeInfo info = m_journalSetup.describe();
    info.rate = m_format.rate;
    info.bits = bitsForSampleFlags(m_format.flags);
    info.channels = static_cast<std::uint16_t>(m_format.channels);
    TakeJournal::Hooks hooks = m_journalSetup.hooks;
    // Called on the journal's thread (or in its constructor): only a queued call is made there.
    const auto report = [post = m_journalSetup.post,
                         self = std::weak_ptr<Recorder*>(m_self)](Change change) {
        return [post, self, change] {
            if (post) {
                post([self, change] {
                    if (const std::shared_ptr<Recorder*> recorder = self.lock()) {
                        (*recorder)->journalReport(change);
                    }
                });
            }
        };
    };
    hooks.unprotected = report(Change::Unprotected);
    hooks.memoryLow = report(Change::MemoryLow);
    const QString folder = m_journalSetup.folder ? m_journalSetup.folder() : QString();
    m_journal = std::make_shared<TakeJournal>(m_buffer, folder, info, std::move(hooks));
}

void Recorder::journalReport(Change change) {
    // A report from a take that has ended since must not mark the one that runs now.
    if (change == Change::Unprotected && (!m_journal || m_journal->isProtected())) {
        return;
    }
    if (m_notify) {
        m_notify(change);
    }
}

void Recorder::finishTake() {
    // Before the window puts the header in front of the data: the journal reads it where it lies.
    if (m_journal) {
        m_journal->finish();
        if (m_buffer.empty()) {
            dropJournal();  // an empty take has nothing to keep
        }
    }
    if (!m_buffer.empty() && !m_buffer.isWavImage()) {
        m_check.finish(m_buffer.data(), m_buffer.size());
    }
}

void Recorder::dropJournal() {
    if (m_journal) {
        m_journal->remove();
        m_journal.reset();
    }
}

void Recorder::leaveJournalForRecovery() {
    if (m_journal) {
        m_journal->finish();
    }
}

void Recorder::checkTake(std::int64_t nowMs) {
    if (m_state == State::Idle || m_state == State::Opening) {
        return;  // the check is the running take's, and record_buffer may hold a WAV image
    }
    // With heap backing the bytes may move under an append; the close reads them all instead.
    if (m_check.read(m_buffer.stableCapturedData(), m_buffer.size(), nowMs) && m_notify) {
        m_notify(Change::Clipped);
    }
}

}  // namespace quillar
