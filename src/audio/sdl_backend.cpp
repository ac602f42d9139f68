#include "audio/sdl_backend.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "audio/sample_packing.h"
#include "audio/sdl_format.h"
#include "platform/thread_name.h"

// Under LeakSanitizer (the ASan test builds): SDL's PulseAudio hotplug thread never releases some
// of libpulse's operation records. Those leaks are neither ours nor fixable here, and would fail
// every leak-checked run that touches a sound server. Weak, so that a program may define its own.
extern "C" __attribute__((weak, used)) const char* __lsan_default_suppressions() {
    return "leak:libpulse.so\n";
}

namespace quillar::audio {

using sdl::bufferFrames;
using sdl::livePeriodFrames;
using sdl::sdlFrameBytes;
using sdl::specFor;
using sdl::toSdl;

struct SdlBackend::State {
    bool audioReady = false;  // SDL's audio subsystem came up

    // Capture: written by the GUI thread only while the device is closed (the callback reads the
    // device number, hence atomic).
    std::atomic<SDL_AudioDeviceID> captureDevice = 0;
    CaptureSink* sink = nullptr;
    std::uint32_t chunkMs = 0;  // one device chunk, rounded up

    // SDL drops the chunk its capture thread is reading when the device is paused under it, so a
    // pause first lets that chunk through: Running -> Draining (GUI thread) -> Drained (capture
    // thread, once the chunk is delivered). Drained delivers nothing more; resuming runs again.
    enum Phase : int { kRunning, kDraining, kDrained };
    std::atomic<int> capturePhase{kRunning};
    std::mutex drainMutex;
    std::condition_variable drained;
    bool capturePaused = true;            // GUI thread only; SDL opens devices paused
    std::uint8_t captureSilence = 0;      // the byte SDL pads with in the capture format
    std::uint32_t captureFrameBytes = 1;  // as SDL hands them over
    // 24-bit capture: SDL delivers 32-bit samples, packed into this buffer (made at the open,
    // while the device is closed) before they go to the sink.
    bool capturePacks = false;
    std::vector<Uint8> packed;
    bool captureGone = false;  // capture thread only, reset at each open
    // A device was lost since SDL's audio came up: its connection to the sound server may be
    // dead (SDL's PulseAudio driver keeps one for the subsystem's life), so the subsystem is
    // restarted before the next listing or open, when nothing is open.
    std::atomic<bool> serverSuspect = false;
    std::vector<std::string> captureNames;  // as last listed
    bool firstIsDefault = false;            // captureNames[0] is the system default

    // One SDL device per stream; the callback's user data points at its Output. Opening and
    // closing an SDL device waits on the sound server, so both happen on the device thread below:
    // the caller never waits, and a stalled server holds up only that thread.
    struct Output {
        State* state = nullptr;
        std::uint32_t id = 0;
        // Null once the stream is closed: the callback then plays silence. Stored under the
        // device's own lock, so no render runs after closeOutput() returns.
        std::atomic<OutputSource*> source{nullptr};
        SDL_AudioSpec want{};
        // 24-bit output: the source renders packed samples here, widened to SDL's 32-bit.
        bool widens = false;
        std::vector<Uint8> staging;
        // Guards the three below, and every pause or resume of the device, so that the device
        // thread's open and the caller's play or close land in the order they were asked for.
        std::mutex playMutex;
        SDL_AudioDeviceID device = 0;  // 0 until the device thread has opened it
        bool wantPlaying = false;
        bool closed = false;
    };
    std::mutex outputsMutex;  // never held while calling SDL
    // SDL's opening and closing of devices (and its subsystem's restart) are not safe side by
    // side: the capture device is opened on the recorder's worker and outputs on the device
    // thread, so each of those calls holds this. Taken after controlMutex, never around a wait
    // for a callback of ours.
    std::mutex sdlDevicesMutex;

    // The device thread: opens and closes output devices in the order asked for.
    std::mutex jobsMutex;
    std::condition_variable jobsWake;
    std::deque<std::function<void()>> jobs;
    bool jobsStop = false;
    std::thread jobThread;

    void runJob(std::function<void()> job) {
        {
            std::lock_guard lock(jobsMutex);
            if (!jobThread.joinable()) {
                jobsStop = false;
                jobThread = std::thread([this] { jobLoop(); });
                platform::nameThread(jobThread, "quillar-outputs");
            }
            jobs.push_back(std::move(job));
        }
        jobsWake.notify_one();
    }

    void jobLoop() {
        std::unique_lock lock(jobsMutex);
        for (;;) {
            jobsWake.wait(lock, [this] { return jobsStop || !jobs.empty(); });
            if (jobs.empty()) {
                return;
            }
            auto job = std::move(jobs.front());
            jobs.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
    }

    // Runs what is queued and ends the device thread (shut-down; may wait for the server).
    void stopJobs() {
        {
            std::lock_guard lock(jobsMutex);
            jobsStop = true;
        }
        jobsWake.notify_all();
        if (jobThread.joinable()) {
            jobThread.join();
        }
    }

    // Device thread.
    void openDevice(const std::shared_ptr<Output>& out) {
        SDL_AudioSpec have{};
        SDL_AudioDeviceID device = 0;
        {
            std::lock_guard devices(sdlDevicesMutex);
            device = SDL_OpenAudioDevice(outputName.empty() ? nullptr : outputName.c_str(), 0,
                                         &out->want, &have, 0);
        }
        bool closeNow = false;
        {
            std::lock_guard lock(out->playMutex);
            out->device = device;
            closeNow = out->closed && device != 0;
            if (device != 0 && !out->closed && out->wantPlaying) {
                SDL_PauseAudioDevice(device, 0);
            }
        }
        if (closeNow) {
            std::lock_guard devices(sdlDevicesMutex);
            SDL_CloseAudioDevice(device);
        } else if (device == 0 && !out->closed) {
            // No device after all: the stream ends at once rather than hang silent for ever.
            {
                std::lock_guard lock(noticeMutex);
                notices.push_back(out->id);
            }
            noticeWake.notify_one();
        }
    }
    // Held around closing an output and around starting one on the notice thread, so that a
    // start asked for by the capture callback never reaches a closed (or reused) device id.
    std::mutex controlMutex;
    // An output the capture callback wants started (0: none); the notice thread starts it.
    std::atomic<std::uint32_t> startRequest{0};
    std::map<std::uint32_t, std::shared_ptr<Output>> outputs;
    bool outputReady = false;
    std::string outputName;  // empty: the system default

    // End notices leave the device callback through this queue and a thread of their own, so
    // that the receiver may close the very device that ended. The device callbacks take only
    // noticeMutex.
    std::mutex noticeMutex;
    std::condition_variable noticeWake;
    std::deque<std::uint32_t> notices;
    bool noticeStop = false;
    EndListener* listener = nullptr;  // guarded by noticeMutex
    std::thread noticeThread;

    // SDL marks a lost device stopped and from then on hands over silence, the chunk in which the
    // loss happened padded with it: the real audio of that chunk is what comes before the
    // padding. (The status is a plain read of SDL's own flag: no lock, no system call.)
    static void captureCallback(void* user, Uint8* stream, int len) {
        auto* s = static_cast<State*>(user);
        const int phase = s->capturePhase.load(std::memory_order_acquire);
        if (phase == kDrained) {
            return;
        }
        if (s->sink != nullptr && len > 0 && !s->captureGone) {
            if (SDL_GetAudioDeviceStatus(s->captureDevice.load(std::memory_order_relaxed)) !=
                SDL_AUDIO_STOPPED) {
                s->handOver(stream, static_cast<std::uint32_t>(len));
            } else {
                s->captureGone = true;
                s->serverSuspect.store(true, std::memory_order_relaxed);
                const std::uint32_t real = realAudioBefore(stream, static_cast<std::uint32_t>(len),
                                                           s->captureSilence, s->captureFrameBytes);
                if (real > 0) {
                    s->handOver(stream, real);
                }
                s->sink->captureLost();
            }
        }
        if (phase == kDraining) {
            {
                std::lock_guard lock(s->drainMutex);
                s->capturePhase.store(kDrained, std::memory_order_release);
            }
            s->drained.notify_all();
        }
    }

    // Captured bytes (whole frames as SDL delivers them) to the sink, packed first if need be.
    void handOver(const Uint8* data, std::uint32_t len) {
        if (!capturePacks) {
            sink->captured(data, len);
            return;
        }
        // In pieces of whole frames if SDL ever hands over more than the buffer was made for.
        const std::uint32_t channels = captureFrameBytes / 4;
        const auto pieceSamples =
            static_cast<std::uint32_t>(packed.size() / 3 / channels * channels);
        std::uint32_t samples = len / 4;
        while (samples > 0 && pieceSamples > 0) {
            const std::uint32_t n = std::min(samples, pieceSamples);
            packS32ToS24(data, packed.data(), n);
            sink->captured(packed.data(), n * 3);
            data += std::size_t{n} * 4;
            samples -= n;
        }
    }

    // Bytes of whole frames up to and including the last one that is not all padding.
    static std::uint32_t realAudioBefore(const Uint8* data, std::uint32_t len, std::uint8_t pad,
                                         std::uint32_t frameBytes) {
        std::uint32_t end = len;
        while (end > 0 && data[end - 1] == pad) {
            --end;
        }
        const std::uint32_t frames = (end + frameBytes - 1) / frameBytes;
        return std::min(len, frames * frameBytes);
    }

    bool anythingOpen() {
        std::lock_guard lock(outputsMutex);
        return captureDevice != 0 || !outputs.empty();
    }

    // Quit and init again: SDL then connects to the sound server afresh and lists what is there
    // now. Only with no device open, since every device id dies with it.
    void restartAudio() {
        if (anythingOpen()) {
            return;
        }
        stopJobs();  // outputs closed a moment ago may still be closing
        std::lock_guard devices(sdlDevicesMutex);
        if (audioReady) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
        }
        audioReady = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
        serverSuspect = false;
    }

    static void outputCallback(void* user, Uint8* stream, int len) {
        auto* out = static_cast<Output*>(user);
        bool ended = false;
        OutputSource* source = out->source.load(std::memory_order_acquire);
        if (source == nullptr) {
            SDL_memset(stream, 0, static_cast<std::size_t>(len));
            return;
        }
        if (!out->widens) {
            ended = source->render(stream, static_cast<std::uint32_t>(len)).ended;
        } else {
            // Whole frames per piece: the staging buffer holds whole frames, and so does `len`.
            const std::uint32_t samples = static_cast<std::uint32_t>(len) / 4;
            const auto pieceSamples = static_cast<std::uint32_t>(out->staging.size() / 3);
            for (std::uint32_t done = 0; done < samples && pieceSamples > 0;) {
                const std::uint32_t n = std::min(samples - done, pieceSamples);
                ended |= source->render(out->staging.data(), n * 3).ended;
                widenS24ToS32(out->staging.data(), stream + std::size_t{done} * 4, n);
                done += n;
            }
        }
        if (ended) {
            State& s = *out->state;
            {
                std::lock_guard lock(s.noticeMutex);
                s.notices.push_back(out->id);
            }
            s.noticeWake.notify_one();
        }
    }

    // Starts output `id` if it is still open (notice thread).
    void startOutput(std::uint32_t id) {
        std::lock_guard control(controlMutex);
        std::shared_ptr<Output> out;
        {
            std::lock_guard lock(outputsMutex);
            auto it = outputs.find(id);
            if (it == outputs.end()) {
                return;
            }
            out = it->second;
        }
        setPlaying(*out, true);
    }

    // Plays or pauses an output, now if its device is open, else as soon as it is.
    static void setPlaying(Output& out, bool playing) {
        std::lock_guard lock(out.playMutex);
        out.wantPlaying = playing;
        if (out.device != 0 && !out.closed) {
            SDL_PauseAudioDevice(out.device, playing ? 0 : 1);
        }
    }

    // Wakes the notice thread so that it notices an open capture (GUI thread).
    void wakeNotices() {
        { std::lock_guard lock(noticeMutex); }
        noticeWake.notify_one();
    }

    void noticeLoop() {
        using namespace std::chrono;
        std::unique_lock lock(noticeMutex);
        for (;;) {
            const auto pending = [this] { return noticeStop || !notices.empty(); };
            // While a capture is open its callback may ask for an output to start, and it wakes
            // no one (a wake is a system call): look every 10 ms.
            if (captureDevice.load(std::memory_order_relaxed) != 0) {
                noticeWake.wait_for(lock, milliseconds(10), pending);
            } else {
                noticeWake.wait(lock, [&] {
                    return pending() || captureDevice.load(std::memory_order_relaxed) != 0;
                });
            }
            if (noticeStop) {
                return;
            }
            if (const std::uint32_t start = startRequest.exchange(0); start != 0) {
                lock.unlock();
                startOutput(start);
                lock.lock();
                continue;
            }
            if (notices.empty()) {
                continue;
            }
            const std::uint32_t id = notices.front();
            notices.pop_front();
            EndListener* target = listener;
            lock.unlock();
            if (target != nullptr) {
                target->outputEnded(id);
            }
            lock.lock();
        }
    }

    void stopNotices() {
        {
            std::lock_guard lock(noticeMutex);
            noticeStop = true;
            listener = nullptr;
            notices.clear();
        }
        noticeWake.notify_one();
        if (noticeThread.joinable()) {
            if (noticeThread.get_id() == std::this_thread::get_id()) {
                noticeThread.detach();  // freed from inside an end notice
            } else {
                noticeThread.join();
            }
        }
    }
};

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
