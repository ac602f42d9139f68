// The recorder's records of a take (window thread): the journal that keeps it on disk while it
// exists only in memory, and the check that reads it for clipping and judges it.

#include <utility>

#include "kit/record_buffer.h"
#include "record/recorder.h"

namespace quillar {

void Recorder::keepJournals(JournalSetup setup) {
    m_journalSetup = std::move(setup);
}

void Recorder::takeBegins(Take& take) {
    take.m_check.begin(bitsForSampleFlags(take.m_format.flags), take.m_format.channels,
                       take.m_format.rate);
    take.m_phase = Take::Phase::Recording;
    tell(Change::Started);
    startJournal(take);
}

void Recorder::startJournal(Take& take) {
    if (!m_journalSetup.folder || take.m_phase == Take::Phase::Closed) {
        return;
    }
    TakeJournal::Hooks hooks = m_journalSetup.hooks;
    // Called on the journal's thread (or in its constructor): only a queued call is made there.
    const auto report = [post = m_journalSetup.post, self = std::weak_ptr<Recorder*>(m_self),
                         serial = take.serial()](Change change) {
        return [post, self, serial, change] {
            if (post) {
                post([self, serial, change] {
                    if (const std::shared_ptr<Recorder*> recorder = self.lock()) {
                        (*recorder)->journalReport(serial, change);
                    }
                });
            }
        };
    };
    hooks.unprotected = report(Change::Unprotected);
    hooks.memoryLow = report(Change::MemoryLow);
    take.m_journal = std::make_shared<TakeJournal>(take.m_audio, m_journalSetup.folder(),
                                                   take.info(), std::move(hooks));
}

void Recorder::journalReport(std::uint32_t serial, Change change) {
    // A report of a take that is neither underway nor the newest (one a newer take replaced)
    // concerns nothing the window shows.
    const Take* take = m_latest && m_latest->serial() == serial ? m_latest.get() : nullptr;
    for (const std::shared_ptr<Take>& t : m_takes) {
        if (t->serial() == serial) {
            take = t.get();
        }
    }
    if (take == nullptr) {
        return;
    }
    if (change == Change::Unprotected && (!take->journal() || take->journal()->isProtected())) {
        return;
    }
    if (change == Change::MemoryLow && take != runningTake()) {
        return;
    }
    tell(change);
}

void Recorder::takeSaved() {
    if (m_latest) {
        m_latest->dropJournal();
    }
}

void Recorder::leaveJournalForRecovery() {
    for (const std::shared_ptr<Take>& t : m_takes) {
        t->leaveJournalForRecovery();
    }
    for (const std::shared_ptr<Take>& t : m_closed) {
        t->leaveJournalForRecovery();
    }
    if (m_latest) {
        m_latest->leaveJournalForRecovery();
    }
}

const TakeCheck& Recorder::check() const {
    return m_latest ? m_latest->check() : m_noCheck;
}

void Recorder::checkTake(std::int64_t nowMs) {
    Take* t = m_latest.get();
    if (t == nullptr || !t->underway() || t->phase() == Take::Phase::Opening ||
        t->m_audio.empty()) {
        return;
    }
    if (t->m_check.read(t->m_audio.data(), t->m_audio.size(), nowMs)) {
        tell(Change::Clipped);
    }
}

}  // namespace quillar
