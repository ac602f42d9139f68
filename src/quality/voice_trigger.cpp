#include "quality/voice_trigger.h"

#include <algorithm>
#include <cmath>

#include "quality/level_math.h"
#include "quality/quality_limits.h"

namespace quillar::quality {

namespace {

// Frames of kVoiceFrameMs in `ms`, rounded up: a run shorter than asked never passes.
int framesIn(int ms) {
    return (ms + kVoiceFrameMs - 1) / kVoiceFrameMs;
}

}  // namespace

void VoiceTrigger::restart(std::uint32_t rate, std::uint32_t channels, VoiceSettings settings) {
    m_settings = settings;
    m_rate = rate;
    m_stride = channels;
    m_channels = std::min<std::uint32_t>(channels, 2);
    m_frameLength = std::max<std::uint32_t>(1, rate * kVoiceFrameMs / 1000);
    m_meter.restart(rate, channels);
    m_started = false;
    m_inFrame = 0;
    m_squares[0] = m_squares[1] = 0.0;
    m_state = State::Quiet;
    m_loudRun = 0;
    m_quietRun = 0;
    m_waitForQuiet = false;
    m_armed = false;
}

void VoiceTrigger::setListening(bool listening) {
    m_listening = listening;
    if (m_state == State::Quiet || m_state == State::Candidate) {
        m_state = State::Quiet;
        m_loudRun = 0;
    }
}

void VoiceTrigger::forgetVoice() {
    if (m_state != State::Quiet) {
        m_state = State::Quiet;
        m_waitForQuiet = true;
        m_quietRun = 0;
    }
    m_loudRun = 0;
}

double VoiceTrigger::startThresholdDbfs() const {
    return std::max(m_meter.noiseFloorDbfs() + m_settings.sensitivityDb, kVoiceFloorDbfs);
}

void VoiceTrigger::feed(const float* samples, std::uint32_t frames, std::uint64_t first,
                        std::vector<VoiceEvent>& events) {
    if (m_rate == 0 || m_channels == 0 || frames == 0) {
        return;
    }
    const bool gap = m_started && first != m_next;
    if (!m_started || gap) {
        // A frame never spans lost audio; a voice in progress goes on from the next frame.
        m_inFrame = 0;
        m_squares[0] = m_squares[1] = 0.0;
        m_started = true;
    }
    m_meter.feed(samples, frames, static_cast<std::int64_t>(first * 1000 / m_rate), gap);
    for (std::uint32_t f = 0; f < frames; ++f) {
        if (m_inFrame == 0) {
            m_frameStart = first + f;
        }
        const float* frame = samples + std::size_t{f} * m_stride;
        for (std::uint32_t c = 0; c < m_channels; ++c) {
            const double v = std::isfinite(frame[c]) ? frame[c] : 1.0;
            m_squares[c] += v * v;
        }
        if (++m_inFrame == m_frameLength) {
            closeFrame(events);
        }
    }
    m_next = first + frames;
}

void VoiceTrigger::closeFrame(std::vector<VoiceEvent>& events) {
    double loudest = 0.0;
    for (std::uint32_t c = 0; c < m_channels; ++c) {
        loudest = std::max(loudest, m_squares[c]);
        m_squares[c] = 0.0;
    }
    const double db = toDb(std::sqrt(loudest / m_inFrame));
    const std::uint64_t start = m_frameStart;
    const std::uint64_t end = m_frameStart + m_inFrame;
    m_inFrame = 0;

    if (m_state == State::Quiet) {
        if (m_waitForQuiet) {
            // The voice a key cut short goes on: nothing begins until it has stopped.
            m_quietRun = db < startThresholdDbfs() - kVoiceEndHysteresisDb ? m_quietRun + 1 : 0;
            if (m_quietRun >= framesIn(kVoiceShortestMs)) {
                m_waitForQuiet = false;
                m_armed = true;
            }
            return;
        }
        const bool known = m_meter.hasNoiseFloor();
        if (known && !(db > startThresholdDbfs())) {
            m_loudRun = 0;
            m_armed = true;
            return;
        }
        if (!m_listening || !known) {
            // A sound while nobody listens (a prompt plays, the floor is not known yet): what
            // is left of it when listening begins is not the onset of a voice.
            m_loudRun = 0;
            m_armed = false;
            return;
        }
        if (!m_armed) {
            return;  // a voice heard from its middle is not begun there
        }
        if (m_loudRun++ == 0) {
            m_runStart = start;
        }
        if (m_loudRun >= framesIn(kVoiceOnsetMs)) {
            m_state = State::Candidate;
            m_threshold = startThresholdDbfs();
            m_onset = m_runStart;
            m_lastLoudEnd = end;
            m_quietRun = 0;
            m_loudRun = 0;
        }
        return;
    }

    if (db >= m_threshold - kVoiceEndHysteresisDb) {
        m_lastLoudEnd = end;
        m_quietRun = 0;
    } else {
        ++m_quietRun;
    }
    const std::uint64_t shortest = std::uint64_t{m_rate} * kVoiceShortestMs / 1000;
    switch (m_state) {
        case State::Candidate:
            if (m_lastLoudEnd - m_onset >= shortest) {
                m_state = State::Voice;
                events.push_back({VoiceEvent::Kind::Began, m_onset, 0});
            } else if (m_quietRun >= framesIn(kVoiceShortestMs)) {
                m_state = State::Quiet;  // a click or a cough
                m_armed = true;
            }
            break;
        case State::Voice:
            if (m_quietRun >= framesIn(m_settings.silenceMs)) {
                m_state = State::Quiet;
                m_armed = true;
                events.push_back({VoiceEvent::Kind::Ended, end, m_lastLoudEnd});
            } else if (end - m_onset >= std::uint64_t{m_rate} * kVoiceLongestMs / 1000) {
                m_state = State::Overlong;
                events.push_back({VoiceEvent::Kind::TooLong, end, 0});
            }
            break;
        case State::Overlong:
            if (m_quietRun >= framesIn(m_settings.silenceMs)) {
                m_state = State::Quiet;
                m_armed = true;
            }
            break;
        case State::Quiet:
            break;
    }
}

}  // namespace quillar::quality
