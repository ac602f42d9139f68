// The output side of the SDL backend: one SDL device per stream, opened and closed on the
// backend's device thread.

#include "audio/sdl_state.h"

namespace quillar::audio {

bool SdlBackend::initOutput(int device, int rate, EndListener* listener) {
    State& s = *m_state;
    if (!s.audioReady || s.outputReady) {
        return s.outputReady;
    }
    std::string name;
    if (device >= 0) {
        const char* n = SDL_GetAudioDeviceName(device, 0);
        if (n == nullptr) {
            return false;
        }
        name = n;
    }
    // Probe: an output that cannot be opened now would fail every stream later.
    const AudioFormat probe{static_cast<std::uint32_t>(std::max(rate, 8000)), 2, SampleType::S16};
    SDL_AudioSpec want = specFor(probe, nullptr, nullptr);
    want.callback = [](void*, Uint8* stream, int len) { SDL_memset(stream, 0, len); };
    {
        std::lock_guard devices(s.sdlDevicesMutex);
        const SDL_AudioDeviceID dev =
            SDL_OpenAudioDevice(name.empty() ? nullptr : name.c_str(), 0, &want, nullptr, 0);
        if (dev == 0) {
            return false;
        }
        SDL_CloseAudioDevice(dev);
    }
    s.outputName = name;
    {
        std::lock_guard lock(s.noticeMutex);
        s.noticeStop = false;
        s.listener = listener;
    }
    s.noticeThread = std::thread([&s] { s.noticeLoop(); });
    platform::nameThread(s.noticeThread, "quillar-notice");
    s.outputReady = true;
    return true;
}

void SdlBackend::freeOutput() {
    State& s = *m_state;
    std::map<std::uint32_t, std::shared_ptr<State::Output>> outputs;
    {
        std::lock_guard lock(s.outputsMutex);
        outputs.swap(s.outputs);
    }
    for (auto& [id, out] : outputs) {
        s.startNoLongerAwaited(*out);
        std::lock_guard lock(out->playMutex);
        out->closed = true;
        out->source.store(nullptr, std::memory_order_release);
    }
    // Every open still queued finishes (and closes at once what was closed meanwhile).
    s.stopJobs();
    {
        std::lock_guard control(s.controlMutex);
        std::lock_guard devices(s.sdlDevicesMutex);
        for (auto& [id, out] : outputs) {
            if (out->device != 0) {
                SDL_CloseAudioDevice(out->device);
            }
        }
    }
    s.stopNotices();
    s.outputReady = false;
}

bool SdlBackend::openOutput(std::uint32_t streamId, const AudioFormat& format,
                            OutputSource* source) {
    State& s = *m_state;
    if (!s.outputReady || source == nullptr) {
        return false;
    }
    auto out = std::make_shared<State::Output>();
    out->state = &s;
    out->id = streamId;
    out->source.store(source, std::memory_order_relaxed);
    out->want = specFor(format, &State::outputCallback, out.get());
    if (source->live()) {
        // Twice the capture period: each output period then finds a captured one queued,
        // and its callbacks wake the capture thread half as often.
        out->want.samples = static_cast<Uint16>(2 * livePeriodFrames(format.rate));
    }
    out->widens = format.type == SampleType::S24;
    out->staging.assign(out->widens ? std::size_t{out->want.samples} * format.bytesPerFrame() : 0,
                        0);
    {
        std::lock_guard lock(s.outputsMutex);
        s.outputs[streamId] = out;
    }
    if (source->live()) {
        out->awaitsStart.store(true);
        s.liveAwaitingStart.fetch_add(1);
        s.wakeNotices();
    }
    s.runJob([&s, out] { s.openDevice(out); });
    return true;
}

void SdlBackend::setOutputPlaying(std::uint32_t streamId, bool playing) {
    State& s = *m_state;
    std::shared_ptr<State::Output> out;
    {
        std::lock_guard lock(s.outputsMutex);
        auto it = s.outputs.find(streamId);
        if (it == s.outputs.end()) {
            return;
        }
        out = it->second;
    }
    State::setPlaying(*out, playing);
}

void SdlBackend::requestOutputPlaying(std::uint32_t streamId) {
    m_state->startRequest.store(streamId, std::memory_order_relaxed);
}

void SdlBackend::closeOutput(std::uint32_t streamId) {
    State& s = *m_state;
    std::lock_guard control(s.controlMutex);
    std::shared_ptr<State::Output> out;
    {
        std::lock_guard lock(s.outputsMutex);
        auto it = s.outputs.find(streamId);
        if (it == s.outputs.end()) {
            return;
        }
        out = std::move(it->second);
        s.outputs.erase(it);
    }
    s.startNoLongerAwaited(*out);
    SDL_AudioDeviceID device = 0;
    {
        std::lock_guard lock(out->playMutex);
        out->closed = true;
        device = out->device;
        if (device == 0) {
            // Not open yet: no render has run, and none will (the open sees `closed`).
            out->source.store(nullptr, std::memory_order_release);
        }
    }
    if (device != 0) {
        // A render in progress finishes first; the device thread is held by a stalled server
        // outside this lock, so taking it does not wait for the server.
        SDL_LockAudioDevice(device);
        out->source.store(nullptr, std::memory_order_release);
        SDL_UnlockAudioDevice(device);
        s.runJob([&s, out, device] {
            std::lock_guard devices(s.sdlDevicesMutex);
            SDL_CloseAudioDevice(device);
        });
    }
}

}  // namespace quillar::audio
