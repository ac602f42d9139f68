// The engine's private state (AudioEngine::Impl), shared by audio_engine.cpp, engine_capture.cpp,
// engine_streams.cpp and engine_analysis.cpp, and how it stays safe across threads.
//
// Channels live in one handle table (Impl::mutex) as shared_ptrs: a call looks its channel up,
// drops the table lock and works on its own reference, so a concurrent free never pulls a channel
// from under a caller. Each channel guards its audio state with dataMutex, a leaf lock that the
// device threads take in render()/captured() and that nothing is called under. Backend calls of
// one stream (open, play, pause, close) are serialised by its controlMutex together with the
// `freed` flag, so that the capture thread's play() on a monitoring stream can never reopen or
// touch a device that the GUI thread has just closed.
//
// A file stream's render() reads its file under its own sourceMutex, without dataMutex, so a slow
// disk holds up only its own device callback, never a GUI thread's position read.
//
// Lock order: captureGate or noticeMutex -> controlMutex -> backend locks -> sourceMutex ->
// dataMutex;
// Impl::mutex is taken alone. User callbacks (capture blocks, end notices) run with no engine
// lock but captureGate (freeCapture waits for a block in delivery, and holds it while it hands
// over the last partial block itself) or the stream's noticeMutex (freeStream on another thread
// waits for a notice in progress).
#pragma once

#include <fftw3.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "audio/audio_backend.h"
#include "audio/audio_engine.h"
#include "audio/channel.h"

namespace quillar::audio {

using detail::Channel;
using detail::Kind;

struct AudioEngine::Impl final : CaptureSink, EndListener {
    explicit Impl(AudioBackend& b);
    ~Impl();

    static constexpr int kFftSize = 2048;

    AudioBackend& backend;

    // Guards the handle table and the fields up to the capture section. Never held while calling
    // the backend, a channel lock or a user callback.
    mutable std::mutex mutex;
    std::unordered_map<Handle, std::shared_ptr<Channel>> channels;
    std::unordered_map<Handle, Handle> syncs;  // end-notice handle -> stream
    Handle lastHandle = 0;
    bool outputReady = false;
    std::vector<std::string> devices;
    bool devicesListed = false;
    int captureDevice = -1;  // set by openCapture, until freeCapture
    std::shared_ptr<Channel> recording;

    // Held while a captured chunk is processed (and its blocks delivered): freeCapture() takes it
    // to make sure no block is delivered after it returns.
    std::mutex captureGate;
    std::shared_ptr<Channel> captureTarget;  // guarded by captureGate
    CaptureProc captureProc = nullptr;       // guarded by captureGate
    void* captureUser = nullptr;             // guarded by captureGate
    std::vector<std::uint8_t> block;         // guarded by captureGate; one whole 100 ms block
    std::size_t blockFill = 0;               // guarded by captureGate
    // When audio last arrived (or the channel was last seen paused), for the stall watch.
    std::chrono::steady_clock::time_point lastCapture;  // guarded by captureGate
    LostProc lostProc;                                  // guarded by captureGate

    // The stall watch: a thread that runs while a recording channel exists.
    std::thread watch;
    std::mutex watchMutex;
    std::condition_variable watchWake;
    bool watchStop = false;  // guarded by watchMutex

    mutable std::mutex fftMutex;
    float* fftIn = nullptr;
    fftwf_complex* fftOut = nullptr;
    fftwf_plan plan = nullptr;
    std::vector<float> window;

    Handle newHandleLocked() {
        do {
            ++lastHandle;
        } while (lastHandle == 0 || channels.contains(lastHandle) || syncs.contains(lastHandle));
        return lastHandle;
    }

    std::shared_ptr<Channel> find(Handle h) const {
        if (h == 0) {
            return nullptr;
        }
        std::lock_guard lock(mutex);
        auto it = channels.find(h);
        return it == channels.end() ? nullptr : it->second;
    }

    std::shared_ptr<Channel> findStream(Handle h) const {
        auto ch = find(h);
        return ch && ch->kind != Kind::Recording ? ch : nullptr;
    }

    // Takes a stream out of service: no render, no notice after this returns (unless called
    // from inside that stream's own notice).
    void releaseStream(Channel& ch);

    void captured(const void* data, std::uint32_t bytes) override;

    void captureLost() override;

    // With captureGate held.
    void markLost();

    // Sound servers that stall rather than report a removal (PipeWire) are caught here.
    void watchLoop();

    void startWatch();

    void stopWatch();

    // Closes the capture device and takes the recording channel out of service. The device is
    // closed first and the target kept until then, so every chunk the device still hands over
    // goes into the block; with the device silent, the partial block can go to the receiver on
    // this thread without racing a delivery on the capture thread.
    void releaseCapture(bool deliverRest);

    // With captureGate held and the device closed.
    void deliverPartialBlock(Channel& ch);

    void outputEnded(std::uint32_t streamId) override;

    void listDevices(bool refresh);

    bool playStream(Channel& ch, bool restart);
};

}  // namespace quillar::audio
