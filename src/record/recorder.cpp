#include "record/recorder.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <limits>
#include <utility>

#include "record/capture_ring.h"
#include "record/device_worker.h"

namespace quillar {

namespace {

constexpr std::uint64_t kOpenEnd = std::numeric_limits<std::uint64_t>::max();

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Appends `bytes` of digital silence (8-bit samples are unsigned: silence is 0x80).
bool appendSilence(RecordBuffer& audio, std::size_t bytes, bool eightBit) {
    static const std::array<std::uint8_t, 4096> zeros{};
    static const std::array<std::uint8_t, 4096> middles = [] {
        std::array<std::uint8_t, 4096> a{};
        a.fill(0x80);
        return a;
    }();
    const std::uint8_t* fill = eightBit ? middles.data() : zeros.data();
    while (bytes > 0) {
        const std::size_t run = std::min(bytes, zeros.size());
        if (!audio.append(fill, run)) {
            return false;
        }
        bytes -= run;
    }
    return true;
}

}  // namespace

Recorder::Recorder(audio::AudioEngine& engine, DeviceWorker& worker, Notify notify,
                   RecorderShared shared)
    : m_engine(engine), m_worker(worker), m_notify(std::move(notify)), m_shared(shared) {}

std::int64_t Recorder::nowMs() const {
    return m_clock ? m_clock() : steadyMs();
}

Recorder::~Recorder() {
    // The engine delivers into a ring of ours until the capture is freed.
    if (m_deviceRing) {
        m_engine.freeCapture();
    }
}

void Recorder::tell(Change c) {
    if (m_notify) {
        m_notify(c);
    }
}

Recorder::State Recorder::state() const {
    if (const Take* t = runningTake()) {
        switch (t->phase()) {
            case Take::Phase::Opening:
                return State::Opening;
            case Take::Phase::Paused:
                return State::Paused;
            default:
                return State::Recording;
        }
    }
    return m_takes.empty() ? State::Idle : State::Closing;
}

Take* Recorder::runningTake() const {
    if (m_takes.empty()) {
        return nullptr;
    }
    Take* t = m_takes.back().get();
    const Take::Phase p = t->phase();
    return p == Take::Phase::Opening || p == Take::Phase::Recording || p == Take::Phase::Paused
               ? t
               : nullptr;
}

std::shared_ptr<Take> Recorder::nextClosedTake() {
    if (m_closed.empty()) {
        return nullptr;
    }
    std::shared_ptr<Take> t = std::move(m_closed.front());
    m_closed.pop_front();
    return t;
}

std::uint64_t Recorder::framesNow() const {
    const std::int64_t bytes = m_channel != 0 ? m_engine.positionBytes(m_channel) : 0;
    return bytes > 0 ? static_cast<std::uint64_t>(bytes) / m_format.bytesPerFrame() : 0;
}

std::uint64_t Recorder::framesByClock(const Take& take) const {
    const std::int64_t elapsed = std::max<std::int64_t>(0, nowMs() - take.m_refMs);
    const std::uint64_t now = take.m_channel == m_channel ? framesNow() : 0;
    if (take.m_refAtFirstFrame) {
        return now;  // nothing was captured before this key
    }
    return std::max(
        now, take.m_refFrame + msToFrames(static_cast<std::uint64_t>(elapsed), take.m_format.rate));
}

void Recorder::beginOnKeptInput(Take& take, std::uint64_t key, std::int64_t keyMs,
                                std::uint64_t onset) {
    const std::uint64_t pre = msToFrames(take.m_prerollMs, take.m_format.rate);
    const std::uint64_t at = onset == kOpenFrom ? key : onset;
    const std::uint64_t from = at > pre ? at - pre : 0;
    if (at < pre) {
        take.m_prerollShortMs = static_cast<std::uint32_t>((pre - at) * 1000 / take.m_format.rate);
    }
    take.m_ring = m_ring;
    take.m_channel = m_channel;
    take.m_ranges = {Take::Range{from, kOpenEnd}};
    take.m_range = 0;
    take.m_collectedTo = from;
    take.m_refMs = keyMs;
    take.m_refFrame = key;
    take.m_refAtFirstFrame = take.m_ring && take.m_ring->delivered() == 0;
}

bool Recorder::start(int device, const Format& format, std::uint32_t prerollMs, TakeTarget target) {
    if (runningTake() != nullptr) {
        return false;
    }
    auto take = std::make_shared<Take>(++m_takeSerial, std::move(target), format, prerollMs);
    take->m_audio.setDataLimit(m_takeDataLimit);
    m_latest = take;
    m_takes.push_back(take);
    if (m_keptOpen && format == m_format) {
        if (m_input == Input::Open && m_channel != 0) {
            beginOnKeptInput(*take, framesNow(), nowMs());
            takeBegins(*take);
            return true;
        }
        if (m_input == Input::Opening) {
            return true;  // begins when the input is open
        }
    }
    // A device of the take's own, from its first frame, as the recorder has always done.
    beginOnOwnDevice(take, device);
    return true;
}

bool Recorder::startAt(std::uint64_t onset, const Format& format, std::uint32_t prerollMs,
                       TakeTarget target) {
    if (runningTake() != nullptr || !m_keptOpen || !(format == m_format) ||
        m_input != Input::Open || m_channel == 0) {
        return false;
    }
    auto take = std::make_shared<Take>(++m_takeSerial, std::move(target), format, prerollMs);
    take->m_audio.setDataLimit(m_takeDataLimit);
    m_latest = take;
    m_takes.push_back(take);
    // The clock's reference stays the present: a stop by the clock is placed from now.
    const std::uint64_t now = framesNow();
    beginOnKeptInput(*take, now, nowMs(), std::min(onset, now));
    takeBegins(*take);
    return true;
}

bool Recorder::stopAt(std::uint64_t end, std::uint32_t postrollMs) {
    Take* t = runningTake();
    if (t == nullptr || t->m_phase != Take::Phase::Recording || t->m_ownDevice) {
        return false;
    }
    t->m_phase = Take::Phase::Closing;
    tell(Change::Stopping);
    Take::Range& last = t->m_ranges.back();
    last.to = std::max(last.from, end + msToFrames(postrollMs, t->m_format.rate));
    return true;
}

bool Recorder::stop(std::uint32_t postrollMs) {
    Take* t = runningTake();
    if (t == nullptr) {
        return false;
    }
    switch (t->m_phase) {
        case Take::Phase::Opening:
            t->m_calledOff = true;
            t->m_phase = Take::Phase::Closing;
            tell(Change::Stopping);
            if (!t->m_ownDevice) {
                // It waited for the kept input: nothing of it was captured.
                closeTake(*t);
                handOver();
            }
            return true;
        case Take::Phase::Recording: {
            const std::uint64_t post = msToFrames(postrollMs, t->m_format.rate);
            t->m_phase = Take::Phase::Closing;
            tell(Change::Stopping);
            if (t->m_ownDevice && post == 0) {
                // Closing its device hands over the last partial block: the take ends there.
                if (t->m_channel == m_channel && m_channel != 0) {
                    closeDevice({});
                }
            } else {
                const std::uint64_t key = t->m_ownDevice ? framesNow() : framesByClock(*t);
                t->m_ranges.back().to = std::max(t->m_ranges.back().from, key + post);
            }
            return true;
        }
        case Take::Phase::Paused:
            t->m_phase = Take::Phase::Closing;
            tell(Change::Stopping);
            if (t->m_ownDevice && t->m_channel == m_channel && m_channel != 0) {
                closeDevice({});
            } else {
                poll();  // its ranges are all set: it may be whole already
            }
            return true;
        default:
            return false;
    }
}

bool Recorder::pause() {
    Take* t = runningTake();
    if (t == nullptr || t->m_phase != Take::Phase::Recording) {
        return false;
    }
    t->m_phase = Take::Phase::Paused;
    if (t->m_ownDevice) {
        // The chunk the device holds at the pause is handed over by it: it is the take's.
        const audio::Handle channel = t->m_channel;
        m_worker.submit([this, channel] { m_engine.pause(channel); }, [this] { poll(); });
    } else {
        t->m_ranges.back().to = std::max(t->m_ranges.back().from, framesNow());
    }
    tell(Change::Paused);
    return true;
}

bool Recorder::resume() {
    Take* t = runningTake();
    if (t == nullptr || t->m_phase != Take::Phase::Paused) {
        return false;
    }
    if (t->m_ownDevice) {
        const audio::Handle channel = t->m_channel;
        m_worker.submit([this, channel] { m_engine.play(channel, false); });
    } else if (t->m_channel == m_channel && m_channel != 0) {
        // No pre-roll: the take goes on from the key.
        const std::uint64_t key = std::max(framesNow(), t->m_ranges.back().to);
        t->m_ranges.push_back(Take::Range{key, kOpenEnd});
        t->m_refMs = nowMs();
        t->m_refFrame = key;
    }
    t->m_phase = Take::Phase::Recording;
    tell(Change::Resumed);
    return true;
}

bool Recorder::needsPolling() const {
    return !m_takes.empty();
}

void Recorder::collect(Take& t) {
    if (!t.m_ring || t.m_phase == Take::Phase::Opening || t.m_phase == Take::Phase::Closed) {
        return;
    }
    const std::uint64_t delivered = t.m_ring->delivered();
    if (t.m_refAtFirstFrame && delivered > 0) {
        // The device has begun: its first frame came about that long ago.
        t.m_refAtFirstFrame = false;
        t.m_refFrame = 0;
        t.m_refMs = nowMs() - static_cast<std::int64_t>(delivered * 1000 / t.m_format.rate);
    }
    const bool eightBit = bitsForSampleFlags(t.m_format.flags) == 8;
    while (t.m_range < t.m_ranges.size()) {
        const Take::Range r = t.m_ranges[t.m_range];
        const std::uint64_t from = std::max(t.m_collectedTo, r.from);
        const std::uint64_t to = std::min(r.to, delivered);
        if (from < to) {
            if (!t.m_audio.refusedAppend()) {
                bool ok = true;
                t.m_lostFrames +=
                    t.m_ring->read(from, to, [&](const std::uint8_t* p, std::size_t n) {
                        if (ok) {
                            ok = p != nullptr ? t.m_audio.append(p, n)
                                              : appendSilence(t.m_audio, n, eightBit);
                        }
                    });
            }
            t.m_collectedTo = to;
        } else {
            t.m_collectedTo = std::max(t.m_collectedTo, from);
        }
        if (r.to != kOpenEnd && t.m_collectedTo >= r.to && t.m_range + 1 < t.m_ranges.size()) {
            ++t.m_range;
            continue;
        }
        break;
    }
    if (t.m_audio.refusedAppend() && !t.m_sizeLimitTold) {
        t.m_sizeLimitTold = true;
        if (runningTake() == &t) {
            tell(Change::SizeLimit);
        }
    }
}

void Recorder::poll() {
    // Copies, since closing a take may hand it over and change the queue.
    const std::vector<std::shared_ptr<Take>> takes(m_takes.begin(), m_takes.end());
    for (const std::shared_ptr<Take>& t : takes) {
        collect(*t);
        if (t->m_phase != Take::Phase::Closing) {
            continue;
        }
        const bool ended = !t->m_ring || t->m_ring->ended();
        if (ended) {
            // Its device is closed: what it delivered is all there is.
            t->endAt(t->m_ring ? t->m_ring->delivered() : 0);
            collect(*t);
            closeTake(*t);
            continue;
        }
        const std::uint64_t last = t->lastFrame();
        if (last != kOpenEnd && t->m_ring->delivered() >= last) {
            if (t->m_ownDevice && t->m_channel == m_channel && m_channel != 0) {
                closeDevice({});  // its post-roll is in: the device is done
            }
            if (t->collected()) {
                closeTake(*t);
            }
        }
    }
    handOver();
}

void Recorder::finishNow() {
    if (Take* t = runningTake(); t != nullptr && t->m_phase != Take::Phase::Opening) {
        t->m_phase = Take::Phase::Closing;
    }
    for (const std::shared_ptr<Take>& t : m_takes) {
        if (t->m_phase == Take::Phase::Closing && t->m_ring) {
            t->endAt(t->m_ring->delivered());
        }
    }
    poll();
    // Takes whose device is still being opened have nothing: they close empty.
    for (const std::shared_ptr<Take>& t : m_takes) {
        if (t->m_phase == Take::Phase::Opening ||
            (t->m_phase == Take::Phase::Closing && !t->m_ring)) {
            t->m_calledOff = true;
            t->m_ranges.clear();
            closeTake(*t);
        }
    }
    handOver();
}

void Recorder::closeTake(Take& take) {
    if (take.m_phase == Take::Phase::Closed) {
        return;
    }
    take.m_phase = Take::Phase::Closed;
    // Its journal reads the audio where it lies: the last of it before the window makes the
    // WAV image.
    if (take.m_journal) {
        take.m_journal->finish();
        if (take.m_audio.empty()) {
            take.dropJournal();
        }
    }
    if (!take.m_audio.empty() && !take.m_audio.isWavImage()) {
        take.m_check.finish(take.m_audio.data(), take.m_audio.size());
    }
}

void Recorder::handOver() {
    while (!m_takes.empty() && m_takes.front()->m_phase == Take::Phase::Closed) {
        m_closed.push_back(std::move(m_takes.front()));
        m_takes.pop_front();
        tell(Change::Closed);
    }
}

}  // namespace quillar
