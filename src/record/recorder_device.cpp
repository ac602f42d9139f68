// The recorder's devices (window thread): the kept input and a take's own device, each opened
// with a ring of its own on the device worker and closed there, and what a lost or stalled device
// means for the takes on it.

#include <utility>

#include "record/capture_ring.h"
#include "record/device_worker.h"
#include "record/recorder.h"

namespace quillar {

std::shared_ptr<CaptureRing> Recorder::makeRing(const Format& format) const {
    return std::make_shared<CaptureRing>(format.bytesPerFrame(),
                                         msToFrames(2 * kMaxMarginMs + kRingSlackMs, format.rate),
                                         m_shared.lastBlockSize);
}

void Recorder::openDevice(int device, const Format& format,
                          std::function<void(audio::Handle, std::shared_ptr<CaptureRing>)> done) {
    // A ring of its own: the one a device before delivers into is left as it is.
    std::shared_ptr<CaptureRing> ring = makeRing(format);
    m_deviceRing = ring;
    const std::uint32_t generation = ++m_deviceGeneration;
    auto channel = std::make_shared<audio::Handle>(0);
    ++m_deviceCalls;
    m_worker.submit(
        [this, device, format, ring, channel] {
            if (m_engine.openCapture(device)) {
                *channel = m_engine.startCapture(format.rate, format.channels, format.flags,
                                                 &CaptureRing::onBlock, ring.get());
                if (*channel == 0) {
                    m_engine.freeCapture();
                }
            }
        },
        [this, ring, channel, generation, format, done = std::move(done)] {
            --m_deviceCalls;
            if (generation != m_deviceGeneration) {
                return;  // closed again meanwhile; that close ends the ring
            }
            if (*channel != 0) {
                m_channel = *channel;
                m_ring = ring;
                m_format = format;
            }
            done(*channel, ring);
            // A device that went before this answer came was told of while it was no channel
            // of ours, and the notice was let go: what began on it ends here instead.
            if (*channel != 0 && generation == m_deviceGeneration && m_channel == *channel &&
                m_engine.captureLost(*channel)) {
                deviceLost();
            }
        });
}

void Recorder::closeDevice(std::function<void()> done) {
    ++m_deviceGeneration;
    std::shared_ptr<CaptureRing> ring = std::move(m_deviceRing);
    m_deviceRing.reset();
    m_ring.reset();
    m_channel = 0;
    ++m_deviceCalls;
    // The ring stays alive in the job until the capture is freed: the last partial block is
    // written into it then.
    m_worker.submit([this, ring] { m_engine.freeCapture(); },
                    [this, ring, done = std::move(done)] {
                        --m_deviceCalls;
                        if (ring) {
                            ring->markEnded();
                        }
                        if (done) {
                            done();
                        }
                        // The takes on that ring have all they will get.
                        poll();
                    });
}

bool Recorder::openInput(int device, const Format& format) {
    if (runningTake() != nullptr) {
        return false;
    }
    if (m_deviceRing) {
        m_keptOpen = false;
        closeDevice({});
    }
    m_format = format;
    m_sawStall = false;
    m_keptOpen = true;
    m_inputDevice = device;
    m_input = Input::Opening;
    openDevice(device, format, [this](audio::Handle channel, std::shared_ptr<CaptureRing> ring) {
        inputOpened(channel, std::move(ring));
    });
    return true;
}

void Recorder::inputOpened(audio::Handle channel, std::shared_ptr<CaptureRing>) {
    if (!m_keptOpen) {
        return;
    }
    m_input = channel != 0 ? Input::Open : Input::Lost;
    Take* waiting = runningTake();
    if (waiting != nullptr && (waiting->phase() != Take::Phase::Opening || waiting->m_ownDevice)) {
        waiting = nullptr;
    }
    tell(Change::InputChanged);
    if (waiting == nullptr) {
        return;
    }
    if (channel == 0) {
        // The take asked for while the input opened has no device.
        std::erase_if(m_takes, [waiting](const auto& t) { return t.get() == waiting; });
        tell(Change::StartFailed);
        return;
    }
    // Asked for before the input delivered anything: it begins at the first frame, and its
    // pre-roll is that much shorter.
    beginOnKeptInput(*waiting, 0, nowMs());
    waiting->m_prerollShortMs = waiting->m_prerollMs;
    takeBegins(*waiting);
}

void Recorder::closeInput() {
    if (runningTake() != nullptr || !m_keptOpen) {
        return;
    }
    m_keptOpen = false;
    m_input = Input::Closed;
    closeDevice({});
    tell(Change::InputChanged);
}

void Recorder::beginOnOwnDevice(const std::shared_ptr<Take>& take, int device) {
    take->m_ownDevice = true;
    if (m_keptOpen) {
        m_keptOpen = false;
        m_input = Input::Closed;
    }
    if (m_deviceRing) {
        closeDevice({});
    }
    m_inputDevice = device;
    std::weak_ptr<Take> weak = take;
    openDevice(device, take->format(),
               [this, weak](audio::Handle channel, std::shared_ptr<CaptureRing> ring) {
                   const std::shared_ptr<Take> t = weak.lock();
                   if (!t) {
                       return;
                   }
                   if (channel == 0) {
                       std::erase_if(m_takes, [&t](const auto& x) { return x == t; });
                       tell(Change::StartFailed);
                       return;
                   }
                   t->m_ring = std::move(ring);
                   t->m_channel = channel;
                   if (t->m_calledOff) {
                       closeDevice({});  // its ring ends empty, and the take with it
                       return;
                   }
                   t->m_ranges = {Take::Range{0, Take::kOpenEnd}};
                   t->m_refMs = nowMs();
                   t->m_refFrame = 0;
                   takeBegins(*t);
               });
}

void Recorder::deviceLost() {
    const audio::Handle lost = m_channel;
    if (Take* t = runningTake(); t != nullptr && t->m_channel == lost && lost != 0) {
        t->m_endedByLoss = true;
        t->m_phase = Take::Phase::Closing;
        tell(Change::Stopping);
    }
    if (m_keptOpen) {
        m_input = Input::Lost;
    }
    if (m_deviceRing) {
        closeDevice({});  // its ring ends: the takes on it close with what came
    }
    if (m_keptOpen) {
        tell(Change::InputChanged);
    }
    poll();
}

void Recorder::refreshInputAfterStall() {
    if (m_channel != 0 && m_engine.captureStalled(m_channel)) {
        m_sawStall = true;
        return;
    }
    if (m_sawStall && m_takes.empty() && m_keptOpen && m_input == Input::Open &&
        m_deviceCalls == 0 && m_worker.outstanding() == 0) {
        m_sawStall = false;
        openInput(m_inputDevice, m_format);
    }
}

}  // namespace quillar
