#include "audio/sdl_backend.h"

#include "audio/sdl_state.h"

// Under LeakSanitizer (the ASan test builds): SDL's PulseAudio hotplug thread never releases some
// of libpulse's operation records. Those leaks are neither ours nor fixable here, and would fail
// every leak-checked run that touches a sound server. Weak, so that a program may define its own.
extern "C" __attribute__((weak, used)) const char* __lsan_default_suppressions() {
    return "leak:libpulse.so\n";
}

namespace quillar::audio {

SdlBackend::SdlBackend() : m_state(std::make_unique<State>()) {
    // PulseAudio monitor sources let a user record what the computer plays; SDL hides them
    // unless asked.
    SDL_SetHint(SDL_HINT_AUDIO_INCLUDE_MONITORS, "1");
    // SDL's audio pulls in its event subsystem, which would take over SIGINT and SIGTERM and
    // turn them into events nobody reads: the program could then not be ended by the session
    // or a kill. Signals stay the program's own.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    m_state->audioReady = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

SdlBackend::~SdlBackend() {
    closeCapture();
    freeOutput();
    if (m_state->audioReady) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

std::vector<std::string> SdlBackend::captureDevices() {
    State& s = *m_state;
    if (s.serverSuspect || !s.audioReady) {
        s.restartAudio();
    }
    std::vector<std::string> names;
    s.firstIsDefault = false;
    if (!s.audioReady) {
        s.captureNames.clear();
        return names;
    }
    char* defaultName = nullptr;
    SDL_AudioSpec spec{};
    if (SDL_GetDefaultAudioInfo(&defaultName, &spec, 1) == 0 && defaultName != nullptr) {
        names.emplace_back(defaultName);
        s.firstIsDefault = true;
        SDL_free(defaultName);
    }
    const int count = SDL_GetNumAudioDevices(1);
    for (int i = 0; i < count; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, 1);
        if (name != nullptr && std::find(names.begin(), names.end(), name) == names.end()) {
            names.emplace_back(name);
        }
    }
    s.captureNames = names;
    return names;
}

bool SdlBackend::openCapture(int index, const AudioFormat& format, CaptureSink* sink) {
    State& s = *m_state;
    if (!s.audioReady || s.captureDevice != 0 || index < 0 ||
        static_cast<std::size_t>(index) >= s.captureNames.size()) {
        return false;
    }
    const char* name = index == 0 && s.firstIsDefault
                           ? nullptr
                           : s.captureNames[static_cast<std::size_t>(index)].c_str();
    if (s.serverSuspect) {
        s.restartAudio();
    }
    s.sink = sink;
    s.captureGone = false;
    s.captureSilence = format.type == SampleType::U8 ? 0x80 : 0;
    s.captureFrameBytes = std::max<std::uint32_t>(1, sdlFrameBytes(format));
    SDL_AudioSpec want = specFor(format, &State::captureCallback, &s);
    want.samples = livePeriodFrames(format.rate);
    s.capturePacks = format.type == SampleType::S24;
    s.packed.assign(s.capturePacks ? std::size_t{want.samples} * format.bytesPerFrame() : 0, 0);
    SDL_AudioSpec have{};
    // No allowed changes: SDL converts whatever the device delivers into our format.
    std::unique_lock devices(s.sdlDevicesMutex);
    SDL_AudioDeviceID device = SDL_OpenAudioDevice(name, 1, &want, &have, 0);
    if (device == 0 && !s.anythingOpen()) {
        // The sound server may have restarted since SDL connected to it.
        devices.unlock();
        s.restartAudio();
        devices.lock();
        device = s.audioReady ? SDL_OpenAudioDevice(name, 1, &want, &have, 0) : 0;
    }
    devices.unlock();
    s.captureDevice = device;
    if (device == 0) {
        s.sink = nullptr;
        return false;
    }
    s.wakeNotices();
    s.chunkMs = static_cast<std::uint32_t>(have.samples) * 1000 / std::max(have.freq, 1) + 1;
    s.capturePaused = true;
    s.capturePhase.store(State::kRunning);
    return true;
}

void SdlBackend::setCapturePaused(bool paused) {
    State& s = *m_state;
    if (s.captureDevice == 0) {
        return;
    }
    if (paused && !s.capturePaused) {
        // Released before SDL's pause, which waits for a callback that may want this lock.
        std::unique_lock lock(s.drainMutex);
        s.capturePhase.store(State::kDraining, std::memory_order_release);
        // A chunk is always on its way while the device runs; a stalled device is not waited
        // for longer than a few chunks.
        s.drained.wait_for(lock, std::chrono::milliseconds(4 * s.chunkMs + 50), [&s] {
            return s.capturePhase.load(std::memory_order_acquire) == State::kDrained;
        });
        s.capturePhase.store(State::kDrained, std::memory_order_release);
        lock.unlock();
    } else if (!paused) {
        s.capturePhase.store(State::kRunning, std::memory_order_release);
    }
    SDL_PauseAudioDevice(s.captureDevice, paused ? 1 : 0);
    s.capturePaused = paused;
}

void SdlBackend::closeCapture() {
    State& s = *m_state;
    if (s.captureDevice != 0) {
        std::lock_guard devices(s.sdlDevicesMutex);
        SDL_CloseAudioDevice(s.captureDevice);  // waits for a callback in progress
        s.captureDevice = 0;
    }
    s.sink = nullptr;
}

}  // namespace quillar::audio
