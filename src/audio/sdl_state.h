// The SDL backend's private state (SdlBackend::State), shared by sdl_backend.cpp (the subsystem,
// capture) and sdl_output.cpp (one output device per stream), with the callbacks SDL calls and
// the threads that keep the caller from waiting on the sound server.
#pragma once

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
        // A monitoring output whose start the capture callback will ask for.
        std::atomic<bool> awaitsStart{false};
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
    // Monitoring outputs open and not started yet: only while there is one can a start request
    // come, and only then does the notice thread look for it.
    std::atomic<int> liveAwaitingStart{0};
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

    // A monitoring output started or closed: no start request is awaited for it any more.
    void startNoLongerAwaited(Output& out) {
        if (out.awaitsStart.exchange(false)) {
            liveAwaitingStart.fetch_sub(1);
        }
    }

    // Plays or pauses an output, now if its device is open, else as soon as it is.
    static void setPlaying(Output& out, bool playing) {
        if (playing) {
            out.state->startNoLongerAwaited(out);
        }
        std::lock_guard lock(out.playMutex);
        out.wantPlaying = playing;
        if (out.device != 0 && !out.closed) {
            SDL_PauseAudioDevice(out.device, playing ? 0 : 1);
        }
    }

    // Wakes the notice thread so that it notices an open capture or a monitoring output that
    // waits for its start (GUI thread).
    void wakeNotices() {
        { std::lock_guard lock(noticeMutex); }
        noticeWake.notify_one();
    }

    void noticeLoop() {
        using namespace std::chrono;
        std::unique_lock lock(noticeMutex);
        for (;;) {
            const auto pending = [this] { return noticeStop || !notices.empty(); };
            // While a capture is open and a monitoring output waits for its first audio, the
            // capture callback may ask for that output to start, and it wakes no one (a wake is
            // a system call): look every 10 ms then, and only then.
            const auto watching = [this] {
                return captureDevice.load(std::memory_order_relaxed) != 0 &&
                       liveAwaitingStart.load(std::memory_order_relaxed) > 0;
            };
            if (watching()) {
                noticeWake.wait_for(lock, milliseconds(10), pending);
            } else {
                noticeWake.wait(lock, [&] { return pending() || watching(); });
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

}  // namespace quillar::audio
