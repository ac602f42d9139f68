#include "record/hands_free.h"

#include <memory>
#include <utility>

namespace quillar {

void HandsFree::say(Notice notice) {
    if (notice == m_notice) {
        return;
    }
    m_notice = notice;
    if (m_hooks.notice) {
        m_hooks.notice(notice);
    }
}

void HandsFree::begin(std::uint32_t rate, std::uint32_t channels, quality::VoiceSettings settings) {
    m_settings = settings;
    m_trigger.restart(rate, channels, settings);
    m_phase = Phase::Listening;
    m_takeRow = -1;
    listenForCurrent(Notice::Waiting);
}

void HandsFree::end() {
    m_phase = Phase::Off;
    ++m_promptSerial;
    m_trigger.setListening(false);
    say(Notice::Off);
}

void HandsFree::inputChanged(std::uint32_t rate, std::uint32_t channels) {
    m_trigger.restart(rate, channels, m_settings);
    m_trigger.setListening(m_phase == Phase::Listening && m_inputOpen);
}

void HandsFree::inputAvailable(bool available) {
    if (available == m_inputOpen) {
        return;
    }
    m_inputOpen = available;
    if (m_phase == Phase::Listening) {
        m_trigger.setListening(available);
        say(available ? Notice::Waiting : Notice::NoInput);
    }
}

void HandsFree::listenForCurrent(Notice notice) {
    m_trigger.setListening(false);
    const int row = m_hooks.currentRow ? m_hooks.currentRow() : -1;
    if (!m_hooks.prompt || row < 0) {
        startListening(notice);
        return;
    }
    m_phase = Phase::Prompting;
    say(Notice::Prompting);
    // The prompt ends later; by then the item, the mode or this object may have gone.
    const std::uint64_t serial = ++m_promptSerial;
    std::weak_ptr<bool> alive = m_alive;
    m_hooks.prompt(row, [this, alive, serial, notice] {
        if (!alive.expired() && serial == m_promptSerial && m_phase == Phase::Prompting) {
            startListening(notice);
        }
    });
}

void HandsFree::startListening(Notice notice) {
    m_phase = Phase::Listening;
    m_trigger.setListening(m_inputOpen);
    say(m_inputOpen ? notice : Notice::NoInput);
}

void HandsFree::feed(const float* samples, std::uint32_t frames, std::uint64_t first) {
    if (m_phase == Phase::Off) {
        return;
    }
    m_events.clear();
    m_trigger.feed(samples, frames, first, m_events);
    // Copied: a hook may feed nothing, but the phase moves on with each event.
    const std::vector<quality::VoiceEvent> events = m_events;
    for (const quality::VoiceEvent& e : events) {
        switch (e.kind) {
            case quality::VoiceEvent::Kind::Began:
                if (m_phase == Phase::Listening) {
                    voiceBegan(e.frame);
                }
                break;
            case quality::VoiceEvent::Kind::Ended:
            case quality::VoiceEvent::Kind::TooLong:
                if (m_phase == Phase::Recording) {
                    takeEnds(e.frame);
                }
                break;
        }
        if (m_phase == Phase::Off) {
            return;
        }
    }
}

void HandsFree::feedPast(const float* samples, std::uint32_t frames, std::uint64_t first) {
    if (m_phase == Phase::Off) {
        return;
    }
    m_trigger.setListening(false);
    m_events.clear();
    m_trigger.feed(samples, frames, first, m_events);
    m_trigger.setListening(m_phase == Phase::Listening && m_inputOpen);
}

void HandsFree::voiceBegan(std::uint64_t onset) {
    m_takeRow = m_hooks.currentRow ? m_hooks.currentRow() : -1;
    m_movedDuringTake = false;
    if (!m_hooks.startTake || !m_hooks.startTake(onset)) {
        m_trigger.forgetVoice();
        return;
    }
    m_phase = Phase::Recording;
    say(Notice::Recording);
}

void HandsFree::takeEnds(std::optional<std::uint64_t> at) {
    const quality::Judgement judgement =
        m_hooks.stopTake ? m_hooks.stopTake(at) : quality::Judgement{};
    if (!at) {
        m_trigger.forgetVoice();  // stopped by hand while the voice may go on
    }
    const int row = m_takeRow;
    m_takeRow = -1;
    const int current = m_hooks.currentRow ? m_hooks.currentRow() : -1;
    if (m_movedDuringTake || current != row) {
        // The user chose the next item meanwhile: that choice stands.
        listenForCurrent(Notice::Waiting);
        return;
    }
    if (judgement.verdict == quality::Verdict::Redo) {
        listenForCurrent(Notice::AskAgain);
        return;
    }
    m_advancing = true;
    const bool moved = m_hooks.advance && m_hooks.advance(row);
    m_advancing = false;
    if (!moved) {
        end();
        say(Notice::Finished);
        return;
    }
    listenForCurrent(Notice::MovedOn);
}

void HandsFree::enter() {
    switch (m_phase) {
        case Phase::Off:
            return;
        case Phase::Recording:
        case Phase::ByHand:
            takeEnds(std::nullopt);
            return;
        case Phase::Prompting:
        case Phase::Listening:
            m_takeRow = m_hooks.currentRow ? m_hooks.currentRow() : -1;
            m_movedDuringTake = false;
            if (m_hooks.startTake && m_hooks.startTake(std::nullopt)) {
                ++m_promptSerial;  // a prompt still playing no longer starts the listening
                m_trigger.setListening(false);
                m_phase = Phase::ByHand;
                say(Notice::Recording);
            }
            return;
    }
}

void HandsFree::selectionMoved() {
    switch (m_phase) {
        case Phase::Off:
            return;
        case Phase::Recording:
        case Phase::ByHand:
            if (!m_advancing) {
                m_movedDuringTake = true;
            }
            return;
        case Phase::Prompting:
        case Phase::Listening:
            if (!m_advancing) {
                listenForCurrent(Notice::Waiting);
            }
            return;
    }
}

void HandsFree::takeStoppedElsewhere() {
    if (m_phase != Phase::Recording && m_phase != Phase::ByHand) {
        return;
    }
    m_trigger.forgetVoice();
    m_takeRow = -1;
    listenForCurrent(Notice::Waiting);
}

}  // namespace quillar
