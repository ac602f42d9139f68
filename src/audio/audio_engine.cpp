// The engine's frame: the handle table, the output side, and the calls every kind of channel
// shares (play, pause, state, free). Capture, streams and analysis live in engine_capture.cpp,
// engine_streams.cpp and engine_analysis.cpp; the thread rules are in engine_impl.h.

#include "audio/audio_engine.h"

#include <fftw3.h>

#include <cmath>
#include <mutex>
#include <numbers>
#include <utility>
#include <vector>

#include "audio/engine_impl.h"

namespace quillar::audio {

using namespace detail;

namespace {

// FFTW's planner keeps global state; every plan made or destroyed in the process goes through here.
std::mutex& fftwPlannerMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

AudioEngine::Impl::Impl(AudioBackend& b) : backend(b) {
    std::lock_guard planner(fftwPlannerMutex());
    fftIn = fftwf_alloc_real(kFftSize);
    fftOut = fftwf_alloc_complex(kFftSize / 2 + 1);
    plan = fftwf_plan_dft_r2c_1d(kFftSize, fftIn, fftOut, FFTW_ESTIMATE);
    // Periodic Hann: its sum is exactly kFftSize / 2, which makes the scaling below exact.
    window.resize(kFftSize);
    for (int i = 0; i < kFftSize; ++i) {
        window[i] = static_cast<float>(
            0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / static_cast<double>(kFftSize)));
    }
}

AudioEngine::Impl::~Impl() {
    std::lock_guard planner(fftwPlannerMutex());
    fftwf_destroy_plan(plan);
    fftwf_free(fftIn);
    fftwf_free(fftOut);
}

void AudioEngine::Impl::retireLocked(std::shared_ptr<Channel> ch) {
    Channel* expected = ch.get();
    monitor.compare_exchange_strong(expected, nullptr, std::memory_order_seq_cst);
    // Read after the stream left `monitor`: a callback that began later cannot have found it.
    const std::uint64_t seq = captureSeq.load(std::memory_order_seq_cst);
    retired.push_back(Retired{std::move(ch), seq});
}

void AudioEngine::Impl::startMonitor(Channel& ch) {
    if (ch.state.load(std::memory_order_relaxed) != kPlaying) {
        ch.state.store(kPlaying);
    }
    if (!ch.outputPlaying.load(std::memory_order_relaxed) && !ch.outputPlaying.exchange(true)) {
        backend.requestOutputPlaying(ch.handle);
    }
}

void AudioEngine::Impl::reapRetired(bool all) {
    if (inCaptureCallback()) {
        return;
    }
    std::vector<std::shared_ptr<Channel>> drop;
    {
        std::lock_guard lock(mutex);
        const std::uint64_t now = captureSeq.load(std::memory_order_seq_cst);
        std::erase_if(retired, [&](Retired& r) {
            // Even: no callback was running when it left; odd: that one has returned since.
            if (all || r.seq % 2 == 0 || r.seq != now) {
                drop.push_back(std::move(r.channel));
                return true;
            }
            return false;
        });
    }
}

AudioEngine::AudioEngine(std::unique_ptr<AudioBackend> backend)
    : m_backend(std::move(backend)), m_impl(std::make_unique<Impl>(*m_backend)) {}

AudioEngine::~AudioEngine() {
    // The receiver's owner may already be gone (it usually dies before the engine), so the
    // partial block is not handed to it here.
    m_impl->releaseCapture(false);
    freeOutput();
}

bool AudioEngine::initOutput(int device, int rate) {
    Impl& d = *m_impl;
    {
        std::lock_guard lock(d.mutex);
        if (d.outputReady) {
            return true;
        }
    }
    const bool ok = d.backend.initOutput(device, rate, &d);
    std::lock_guard lock(d.mutex);
    d.outputReady = ok;
    return ok;
}

void AudioEngine::freeOutput() {
    Impl& d = *m_impl;
    std::vector<std::shared_ptr<Channel>> streams;
    bool wasReady = false;
    {
        std::lock_guard lock(d.mutex);
        for (auto it = d.channels.begin(); it != d.channels.end();) {
            if (it->second->kind != Kind::Recording) {
                streams.push_back(it->second);
                it = d.channels.erase(it);
            } else {
                ++it;
            }
        }
        d.syncs.clear();
        wasReady = std::exchange(d.outputReady, false);
    }
    for (auto& ch : streams) {
        d.releaseStream(*ch);
    }
    {
        std::lock_guard lock(d.mutex);
        for (auto& ch : streams) {
            if (ch->kind == Kind::Push) {
                d.retireLocked(std::move(ch));
            }
        }
    }
    streams.clear();
    d.reapRetired(false);
    if (wasReady) {
        d.backend.freeOutput();
    }
}

bool AudioEngine::play(Handle channel, bool restart) {
    Impl& d = *m_impl;
    if (d.inCaptureCallback()) {
        // The receiver starting monitoring: no table, no lock, no waiting for the output.
        Channel* monitor = d.monitorFor(channel);
        if (monitor == nullptr || restart) {
            return false;
        }
        d.startMonitor(*monitor);
        return true;
    }
    auto ch = d.find(channel);
    if (!ch) {
        return false;
    }
    if (ch->kind != Kind::Recording) {
        return d.playStream(*ch, restart);
    }
    if (ch->state.exchange(kPlaying) == kPlaying) {
        return true;
    }
    d.backend.setCapturePaused(false);
    return true;
}

bool AudioEngine::pause(Handle channel) {
    Impl& d = *m_impl;
    auto ch = d.find(channel);
    if (!ch) {
        return false;
    }
    if (ch->kind == Kind::Recording) {
        if (ch->state != kPlaying) {
            return false;
        }
        // The device first: the chunk it is capturing at the click holds audio from before the
        // click, and it arrives while the channel still records. Marking the channel paused first
        // dropped it, about 23 ms at every pause.
        d.backend.setCapturePaused(true);
        int playing = kPlaying;  // a block refused meanwhile has stopped it for good
        ch->state.compare_exchange_strong(playing, kPaused);
        return true;
    }
    std::lock_guard control(ch->controlMutex);
    if (ch->freed) {
        return false;
    }
    {
        std::lock_guard lock(ch->dataMutex);
        if (ch->state != kPlaying) {
            return false;
        }
        ch->state = kPaused;
    }
    if (ch->outputPlaying.exchange(false)) {
        d.backend.setOutputPlaying(ch->handle, false);
    }
    return true;
}

int AudioEngine::state(Handle channel) const {
    auto ch = m_impl->find(channel);
    if (!ch) {
        return -1;
    }
    return ch->state;
}

bool AudioEngine::freeStream(Handle stream) {
    Impl& d = *m_impl;
    std::shared_ptr<Channel> ch;
    {
        std::lock_guard lock(d.mutex);
        auto it = stream == 0 ? d.channels.end() : d.channels.find(stream);
        if (it == d.channels.end() || it->second->kind == Kind::Recording) {
            return false;
        }
        ch = it->second;
        d.channels.erase(it);
        std::erase_if(d.syncs, [stream](const auto& entry) { return entry.second == stream; });
    }
    d.releaseStream(*ch);
    if (ch->kind == Kind::Push) {
        {
            std::lock_guard lock(d.mutex);
            d.retireLocked(std::move(ch));
        }
        d.reapRetired(false);
    }
    return true;
}

}  // namespace quillar::audio
