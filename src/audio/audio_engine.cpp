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
    if (wasReady) {
        d.backend.freeOutput();
    }
}

bool AudioEngine::play(Handle channel, bool restart) {
    Impl& d = *m_impl;
    auto ch = d.find(channel);
    if (!ch) {
        return false;
    }
    if (ch->kind != Kind::Recording) {
        return d.playStream(*ch, restart);
    }
    {
        std::lock_guard lock(ch->dataMutex);
        if (ch->state == kPlaying) {
            return true;
        }
        ch->state = kPlaying;
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
        {
            std::lock_guard lock(ch->dataMutex);
            if (ch->state != kPlaying) {
                return false;
            }
        }
        // The device first: the chunk it is capturing at the click holds audio from before the
        // click, and it arrives while the channel still records. Marking the channel paused first
        // dropped it, about 23 ms at every pause.
        d.backend.setCapturePaused(true);
        std::lock_guard lock(ch->dataMutex);
        if (ch->state == kPlaying) {
            ch->state = kPaused;
        }
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
    if (ch->outputPlaying) {
        d.backend.setOutputPlaying(ch->handle, false);
        ch->outputPlaying = false;
    }
    return true;
}

int AudioEngine::state(Handle channel) const {
    auto ch = m_impl->find(channel);
    if (!ch) {
        return -1;
    }
    std::lock_guard lock(ch->dataMutex);
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
    return true;
}

}  // namespace quillar::audio
