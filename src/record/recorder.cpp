#include "record/recorder.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <memory>
#include <thread>
#include <utility>

#include "kit/record_buffer.h"
#include "record/device_worker.h"

namespace quillar {

namespace {

constexpr std::uint64_t kOpenEnd = std::numeric_limits<std::uint64_t>::max();

std::uint32_t bytesPerFrame(const Recorder::Format& f) {
    return bitsForSampleFlags(f.flags) / 8U * std::max<std::uint32_t>(1, f.channels);
}

std::uint64_t msToFrames(std::uint32_t ms, std::uint32_t rate) {
    return std::uint64_t{ms} * rate / 1000;
}

}  // namespace

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

Recorder::Recorder(audio::AudioEngine& engine, RecordBuffer& buffer, DeviceWorker& worker,
                   Notify notify, Refused refused, RecorderShared shared)
    : m_engine(engine),
      m_buffer(buffer),
      m_worker(worker),
      m_notify(std::move(notify)),
      m_refused(std::move(refused)),
      m_shared(shared) {}

Recorder::~Recorder() {
    // The receiver points here: no block may arrive once this is gone.
    if (m_channel != 0 || m_state == State::Opening) {
        m_engine.freeCapture();
    }
}

std::uint64_t Recorder::framesNow() const {
    const std::int64_t bytes = m_channel != 0 ? m_engine.positionBytes(m_channel) : 0;
    return bytes > 0 ? static_cast<std::uint64_t>(bytes) / m_bytesPerFrame : 0;
}

namespace {

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::uint64_t Recorder::framesByClock() const {
    const std::int64_t elapsed = std::max<std::int64_t>(0, steadyMs() - m_refMs);
    return std::max(framesNow(),
                    m_refFrame + msToFrames(static_cast<std::uint32_t>(elapsed), m_format.rate));
}

void Recorder::refreshInputAfterStall() {
    if (m_channel != 0 && m_engine.captureStalled(m_channel)) {
        m_sawStall = true;
        return;
    }
    if (m_sawStall && m_state == State::Idle && m_keptOpen && m_input == Input::Open &&
        !m_deviceClosing && m_worker.outstanding() == 0) {
        m_sawStall = false;
        openInput(m_inputDevice, m_format);
    }
}

void Recorder::waitOutOfBlock() const {
    // A block in hand is a copy of at most a few hundred kilobytes; no lock or device is waited
    // for here.
    const std::uint32_t seen = m_inBlock.load(std::memory_order_acquire);
    if ((seen & 1U) == 0) {
        return;
    }
    while (m_inBlock.load(std::memory_order_acquire) == seen) {
        std::this_thread::yield();
    }
}

void Recorder::changeTo(State s, Change c) {
    m_state = s;
    if (m_notify) {
        m_notify(c);
    }
}

void Recorder::armCapture(const Format& format) {
    m_format = format;
    m_bytesPerFrame = bytesPerFrame(format);
    // Both margins and two blocks: a take queued during a post-roll still finds its pre-roll.
    m_ringFrames = msToFrames(2 * kMaxMarginMs + 300, format.rate);
    m_ring.assign(m_ringFrames * m_bytesPerFrame, 0);
    m_deliveredAt.store(0, std::memory_order_relaxed);
    m_appendedAt.store(0, std::memory_order_relaxed);
    m_appended = 0;
    m_appendOn.store(false, std::memory_order_relaxed);
    m_seenSegment = m_segment.load(std::memory_order_relaxed);
}

void Recorder::beginSegment(std::uint64_t startFrame) {
    m_segStart.store(startFrame, std::memory_order_relaxed);
    m_stopFrame.store(kOpenEnd, std::memory_order_relaxed);
    m_closedByCapture.store(false, std::memory_order_relaxed);
    m_segment.fetch_add(1, std::memory_order_release);
    m_appendOn.store(true, std::memory_order_release);
}

// A take on the kept input, keyed at `key` (read at `keyMs`): its range begins the pre-roll
// before, and its stop is placed by the clock from there.
void Recorder::beginTakeAt(std::uint64_t key, std::int64_t keyMs, std::uint32_t prerollMs) {
    const std::uint64_t pre = msToFrames(prerollMs, m_format.rate);
    m_refMs = keyMs;
    m_refFrame = key;
    beginSegment(key > pre ? key - pre : 0);
    takeBegins();
}

void Recorder::openDevice(int device, const Format& format, std::function<void(bool)> done) {
    auto channel = std::make_shared<audio::Handle>(0);
    m_worker.submit(
        [this, device, format, channel] {
            if (m_engine.openCapture(device)) {
                *channel = m_engine.startCapture(format.rate, format.channels, format.flags,
                                                 &Recorder::onBlock, this);
                if (*channel == 0) {
                    m_engine.freeCapture();
                }
            }
        },
        [this, channel, done = std::move(done)] {
            m_channel = *channel;
            done(*channel != 0);
        });
}

void Recorder::closeDevice(std::function<void()> done) {
    m_deviceClosing = true;
    m_worker.submit([this] { m_engine.freeCapture(); },
                    [this, done = std::move(done)] {
                        m_deviceClosing = false;
                        m_channel = 0;
                        if (done) {
                            done();
                        }
                    });
}

bool Recorder::openInput(int device, const Format& format) {
    if (m_state != State::Idle) {
        return false;
    }
    const auto open = [this, device, format] {
        armCapture(format);
        m_sawStall = false;
        m_keptOpen = true;
        m_inputDevice = device;
        m_input = Input::Opening;
        openDevice(device, format, [this](bool ok) {
            if (!m_keptOpen) {
                return;  // closed meanwhile
            }
            m_input = ok ? Input::Open : Input::Lost;
            if (m_notify) {
                m_notify(Change::InputChanged);
            }
            if (ok && m_queuedStart && m_state == State::Idle) {
                m_queuedStart = false;
                start(m_inputDevice, m_format, m_queuedPreroll);
            }
        });
    };
    if (m_channel != 0 || m_input == Input::Opening) {
        m_keptOpen = false;
        closeDevice({});
    }
    open();
    return true;
}

void Recorder::closeInput() {
    if (m_state != State::Idle || !m_keptOpen) {
        return;
    }
    m_keptOpen = false;
    m_input = Input::Closed;
    closeDevice({});
    if (m_notify) {
        m_notify(Change::InputChanged);
    }
}

bool Recorder::start(int device, const Format& format, std::uint32_t prerollMs) {
    if (m_state == State::Closing || (m_state == State::Idle && m_input == Input::Opening)) {
        if (m_queuedStart) {
            return false;
        }
        // Counted from this key: the ring still holds it when the previous take has closed.
        m_queuedStart = true;
        m_queuedFrame = framesNow();
        m_queuedMs = steadyMs();
        m_queuedPreroll = prerollMs;
        return true;
    }
    if (m_state != State::Idle) {
        return false;
    }
    // The take before is dropped with its buffer; its journal's thread must be done first.
    dropJournal();
    m_buffer.clear();
    m_closing.store(false, std::memory_order_relaxed);
    m_closedByCapture.store(false, std::memory_order_relaxed);
    if (m_keptOpen && m_input == Input::Open && format == m_format && m_channel != 0) {
        beginTakeAt(framesNow(), steadyMs(), prerollMs);
        return true;
    }
    // A device of the take's own, from its first frame, as the recorder has always done.
    if (m_keptOpen) {
        m_keptOpen = false;
        m_input = Input::Closed;
        if (m_channel != 0) {
            closeDevice({});
        }
    }
    armCapture(format);
    beginSegment(0);
    m_inputDevice = device;
    m_cancelOpening = false;
    m_state = State::Opening;
    openDevice(device, format, [this](bool ok) {
        if (!ok) {
            m_appendOn.store(false, std::memory_order_release);
            m_buffer.clear();
            changeTo(State::Idle, Change::StartFailed);
            return;
        }
        if (m_cancelOpening) {
            closeDevice([this] { becomeClosed(); });
            return;
        }
        takeBegins();
    });
    return true;
}

bool Recorder::stop(std::uint32_t postrollMs) {
    switch (m_state) {
        case State::Opening:
            m_cancelOpening = true;
            m_closing.store(true, std::memory_order_release);
            changeTo(State::Closing, Change::Stopping);
            return true;
        case State::Recording: {
            const std::uint64_t post = msToFrames(postrollMs, m_format.rate);
            const bool closeAtOnce = !m_keptOpen && post == 0;
            const std::uint64_t key = m_keptOpen ? framesByClock() : framesNow();
            m_stopFrame.store(closeAtOnce ? kOpenEnd : key + post, std::memory_order_release);
            break;
        }
        case State::Paused:
            m_queuedResume = false;
            if (!m_keptOpen) {
                m_stopFrame.store(kOpenEnd, std::memory_order_release);
            }
            break;
        default:
            return false;
    }
    m_closing.store(true, std::memory_order_release);
    const bool paused = m_state == State::Paused;
    changeTo(State::Closing, Change::Stopping);
    if (!m_keptOpen && (paused || m_stopFrame.load() == kOpenEnd)) {
        // The device's own take: closing it hands over the last partial block.
        closeDevice([this] { becomeClosed(); });
    }
    return true;
}

bool Recorder::pause() {
    if (m_state != State::Recording) {
        return false;
    }
    if (m_keptOpen) {
        m_stopFrame.store(framesNow(), std::memory_order_release);
    } else {
        const audio::Handle channel = m_channel;
        m_worker.submit([this, channel] { m_engine.pause(channel); });
    }
    changeTo(State::Paused, Change::Paused);
    return true;
}

bool Recorder::resume() {
    if (m_state != State::Paused) {
        return false;
    }
    if (m_keptOpen) {
        // No pre-roll: the take goes on from the key. The range before the pause must be in
        // first, or its end would be lost.
        m_resumeFrame = framesNow();
        m_refMs = steadyMs();
        m_refFrame = m_resumeFrame;
        if (m_appendedAt.load(std::memory_order_acquire) >= m_stopFrame.load()) {
            beginSegment(m_resumeFrame);
        } else {
            m_queuedResume = true;
        }
    } else {
        const audio::Handle channel = m_channel;
        m_worker.submit([this, channel] { m_engine.play(channel, false); });
    }
    changeTo(State::Recording, Change::Resumed);
    return true;
}

bool Recorder::needsPolling() const {
    return m_state == State::Opening || m_state == State::Closing || m_queuedResume ||
           m_queuedStart;
}

void Recorder::poll() {
    if (m_queuedResume && m_appendedAt.load(std::memory_order_acquire) >= m_stopFrame.load()) {
        m_queuedResume = false;
        beginSegment(m_resumeFrame);
    }
    if (m_state != State::Closing || m_deviceClosing) {
        return;
    }
    if (m_cancelOpening) {
        return;  // the opening's completion closes it
    }
    // A take whose appending ended (its post-roll is in, or record_buffer is full) is whole.
    const bool caughtUp =
        m_closedByCapture.load(std::memory_order_acquire) ||
        !m_appendOn.load(std::memory_order_acquire) ||
        m_appendedAt.load(std::memory_order_acquire) >= m_stopFrame.load(std::memory_order_acquire);
    const bool stalled =
        m_channel != 0 && (m_engine.captureStalled(m_channel) || m_engine.captureLost(m_channel));
    if (caughtUp || stalled) {
        finishNow();
    }
}

void Recorder::finishNow() {
    if (m_state == State::Recording || m_state == State::Paused) {
        m_closing.store(true, std::memory_order_release);
        m_state = State::Closing;
    }
    if (m_state != State::Closing || m_deviceClosing || m_cancelOpening) {
        return;
    }
    if (m_keptOpen) {
        m_appendOn.store(false, std::memory_order_release);
        waitOutOfBlock();
        takeWhatCameFromRing();
        becomeClosed();
        return;
    }
    // Closing the take's own device hands over what it still holds, up to the stop.
    closeDevice([this] { becomeClosed(); });
}

void Recorder::becomeClosed() {
    m_appendOn.store(false, std::memory_order_release);
    waitOutOfBlock();
    m_closing.store(false, std::memory_order_relaxed);
    m_queuedResume = false;
    finishTake();
    changeTo(State::Idle, Change::Closed);
    if (m_queuedStart && !(m_keptOpen && m_input == Input::Opening)) {
        m_queuedStart = false;
        if (m_keptOpen && m_input == Input::Open && m_channel != 0) {
            dropJournal();
            m_buffer.clear();
            beginTakeAt(m_queuedFrame, m_queuedMs, m_queuedPreroll);
        } else {
            start(m_inputDevice, m_format, 0);
        }
    }
}

void Recorder::deviceLost() {
    if (m_state == State::Recording || m_state == State::Paused) {
        m_closing.store(true, std::memory_order_release);
        changeTo(State::Closing, Change::Stopping);
    }
    if (m_keptOpen) {
        m_input = Input::Lost;
        if (m_state == State::Closing) {
            m_appendOn.store(false, std::memory_order_release);
            waitOutOfBlock();
            becomeClosed();
        }
        if (m_channel != 0) {
            closeDevice({});
        }
        if (m_notify) {
            m_notify(Change::InputChanged);
        }
        return;
    }
    finishNow();
}

}  // namespace quillar
