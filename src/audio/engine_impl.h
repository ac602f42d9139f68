// The engine's private state (AudioEngine::Impl), shared by audio_engine.cpp, engine_capture.cpp,
// engine_streams.cpp and engine_analysis.cpp, and how it stays safe across threads.
//
// The capture path never waits. The capture callback (captured(), and what the block receiver
// calls back into the engine from it: pushData and play on the monitoring stream) takes no lock,
// allocates nothing, starts no thread, makes no system call and never drops the last reference
// to anything:
// - what it reads of the capture (target channel, receiver, block) is set by the GUI thread only
//   while no device is open; opening and closing the device order those writes with it;
// - a channel's state, loss, position and analysis ring are atomics;
// - the monitoring stream is reached through `monitor`, not the handle table, and its queue is a
//   single-producer single-consumer ring (PushQueue); a stream freed meanwhile is kept in
//   `retired` until the callback that may hold it has returned (captureSeq), and then dropped on
//   the GUI thread; its output is started through the backend's requestOutputPlaying, which
//   does not wait either;
// - a lost device is told through an atomic pointer to the notice, and replaced notices live
//   until the engine goes.
//
// Everywhere else: channels live in one handle table (Impl::mutex) as shared_ptrs: a call looks
// its channel up, drops the table lock and works on its own reference, so a concurrent free never
// pulls a channel from under a caller. A stream's compound audio state is guarded by its
// dataMutex, a leaf lock that its render() takes and that nothing is called under. Backend calls
// of one stream (open, play, pause, close) are serialised by its controlMutex together with the
// `freed` flag. A file stream's render() reads its file under its own sourceMutex, without
// dataMutex, so a slow disk holds up only its own device callback, never a GUI thread's position
// read.
//
// Lock order: noticeMutex -> controlMutex -> backend locks -> sourceMutex -> dataMutex;
// Impl::mutex and watchMutex are taken alone. User callbacks run with no engine lock: capture
// blocks on the capture thread, or on the thread of freeCapture() once the device is closed (no
// block in delivery can race it, since closing waits for the callback); end notices under the
// stream's noticeMutex (freeStream on another thread waits for a notice in progress); the
// lost-device notice on the capture thread or the stall watch, never after freeCapture().
#pragma once

#include <fftw3.h>

#include <atomic>
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

    // The capture, read by the capture callback without a lock. Written by the GUI thread only
    // while no device is open (captureTarget's channel is owned by `recording`).
    std::atomic<Channel*> captureTarget{nullptr};
    CaptureProc captureProc = nullptr;
    void* captureUser = nullptr;
    std::vector<std::uint8_t> block;  // one whole 100 ms block, filled by the capture callback
    std::size_t blockFill = 0;
    // Steady-clock ticks when audio last arrived (or the channel was last seen paused), for the
    // stall watch.
    std::atomic<std::int64_t> lastCapture{0};
    // The lost-device notice. One replaced is kept (GUI thread) until the engine goes, since it
    // may be running on the capture thread.
    std::atomic<const LostProc*> lostProc{nullptr};
    std::vector<std::unique_ptr<LostProc>> lostProcs;

    // The latest push stream (live monitoring), which the capture callback feeds without the
    // table. Set by createPushStream, cleared when that stream is freed.
    std::atomic<Channel*> monitor{nullptr};
    // The stream monitorCapture() feeds (0: none).
    std::atomic<Handle> captureMonitor{0};
    // Bumped as the capture callback starts and as it returns: odd while it runs.
    std::atomic<std::uint64_t> captureSeq{0};
    // Push streams freed while the capture callback might hold them, with captureSeq as it was
    // after they left `monitor`. Guarded by `mutex`; dropped by reapRetired().
    struct Retired {
        std::shared_ptr<Channel> channel;
        std::uint64_t seq = 0;
    };
    std::vector<Retired> retired;

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

    // True inside this engine's capture callback, on whichever thread the backend delivers.
    bool inCaptureCallback() const;

    // The monitoring stream if `h` is it: the capture callback's lookup, without the table.
    Channel* monitorFor(Handle h) const {
        Channel* ch = monitor.load(std::memory_order_seq_cst);
        return ch != nullptr && ch->handle == h ? ch : nullptr;
    }

    // Starts the monitoring stream from the capture callback: no lock, no waiting for the output.
    void startMonitor(Channel& monitor);

    // A freed stream leaves `monitor` and waits in `retired` until no capture callback can hold
    // it. With `mutex` held.
    void retireLocked(std::shared_ptr<Channel> ch);
    // Drops the retired streams no capture callback can hold any more (all of them once no device
    // is open). Not on the capture thread, and not with `mutex` held.
    void reapRetired(bool all);

    std::shared_ptr<Channel> findStream(Handle h) const {
        auto ch = find(h);
        return ch && ch->kind != Kind::Recording ? ch : nullptr;
    }

    // Takes a stream out of service: no render, no notice after this returns (unless called
    // from inside that stream's own notice).
    void releaseStream(Channel& ch);

    void captured(const void* data, std::uint32_t bytes) override;

    void captureLost() override;

    // Any thread; the notice runs once per channel.
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

    // With the device closed.
    void deliverPartialBlock(Channel& ch);

    void outputEnded(std::uint32_t streamId) override;

    void listDevices(bool refresh);

    bool playStream(Channel& ch, bool restart);
};

}  // namespace quillar::audio
