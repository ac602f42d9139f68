// Capture: the device list, the recording channel, its 100 ms blocks, the last partial block at
// freeCapture(), and the stall watch that tells a lost device.

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <utility>

#include "audio/audio_engine.h"
#include "audio/engine_impl.h"
#include "platform/thread_name.h"

namespace quillar::audio {

using namespace detail;

namespace {

// The engine whose capture callback runs on this thread, if any.
thread_local const void* tCapturing = nullptr;

std::int64_t ticksNow() {
    return std::chrono::steady_clock::now().time_since_epoch().count();
}

}  // namespace

bool AudioEngine::Impl::inCaptureCallback() const {
    return tCapturing == this;
}

void AudioEngine::Impl::captured(const void* data, std::uint32_t bytes) {
    Channel* ch = captureTarget.load(std::memory_order_acquire);
    if (ch == nullptr || bytes == 0 || ch->state.load() != kPlaying || ch->lost.load()) {
        return;
    }
    captureSeq.fetch_add(1, std::memory_order_seq_cst);
    tCapturing = this;
    lastCapture.store(ticksNow(), std::memory_order_relaxed);
    ch->stalled.store(false, std::memory_order_relaxed);
    ch->ring.push(data, bytes);
    ch->position.fetch_add(bytes);
    // Monitoring hears each period as it comes, not the 100 ms blocks.
    if (const Handle m = captureMonitor.load(std::memory_order_relaxed); m != 0) {
        if (Channel* monitor = monitorFor(m)) {
            monitor->queue->push(data, bytes);
            startMonitor(*monitor);
        }
    }
    const auto* src = static_cast<const std::uint8_t*>(data);
    while (bytes > 0) {
        const std::size_t take = std::min<std::size_t>(bytes, block.size() - blockFill);
        std::memcpy(block.data() + blockFill, src, take);
        blockFill += take;
        src += take;
        bytes -= static_cast<std::uint32_t>(take);
        if (blockFill < block.size()) {
            break;
        }
        blockFill = 0;
        // The rest of the chunk is counted in the position already, so it goes into the next
        // block even if the receiver pauses the channel now; only a refusal ends delivery.
        if (captureProc != nullptr &&
            !captureProc(ch->handle, block.data(), static_cast<std::uint32_t>(block.size()),
                         captureUser)) {
            ch->state.store(kStopped);
            break;
        }
    }
    tCapturing = nullptr;
    captureSeq.fetch_add(1, std::memory_order_seq_cst);
}

void AudioEngine::Impl::captureLost() {
    markLost();
}

void AudioEngine::Impl::markLost() {
    Channel* ch = captureTarget.load(std::memory_order_acquire);
    if (ch == nullptr || ch->lost.exchange(true)) {
        return;
    }
    const LostProc* proc = lostProc.load(std::memory_order_acquire);
    if (proc != nullptr && *proc) {
        (*proc)(ch->handle);
    }
}

// A capture that stops delivering is stalled, not lost: a sound server stopped for a while (or a
// hanging Bluetooth or USB device) comes back, and the take goes on into the same file. Only the
// backend's report of a removal, or a silence far beyond any stall, ends it.
void AudioEngine::Impl::watchLoop() {
    using namespace std::chrono;
    const auto stall = duration_cast<steady_clock::duration>(milliseconds(kCaptureStallMs));
    const auto giveUp = duration_cast<steady_clock::duration>(milliseconds(kCaptureGiveUpMs));
    std::unique_lock lock(watchMutex);
    while (!watchWake.wait_for(lock, milliseconds(100), [this] { return watchStop; })) {
        lock.unlock();
        Channel* ch = captureTarget.load(std::memory_order_acquire);
        // Armed by the first audio: a device that never starts delivering (an idle null sink's
        // monitor can take two seconds) is not one that was lost.
        const bool running =
            ch != nullptr && ch->state.load() == kPlaying && !ch->lost.load() && ch->position > 0;
        const std::int64_t now = ticksNow();
        if (!running) {
            lastCapture.store(now, std::memory_order_relaxed);
        } else if (const std::int64_t silent = now - lastCapture.load(std::memory_order_relaxed);
                   silent > giveUp.count()) {
            markLost();
        } else if (silent > stall.count()) {
            ch->stalled.store(true, std::memory_order_relaxed);
        }
        lock.lock();
    }
}

void AudioEngine::Impl::startWatch() {
    stopWatch();
    {
        std::lock_guard lock(watchMutex);
        watchStop = false;
    }
    watch = std::thread([this] { watchLoop(); });
    platform::nameThread(watch, "quillar-watch");
}

void AudioEngine::Impl::stopWatch() {
    {
        std::lock_guard lock(watchMutex);
        watchStop = true;
    }
    watchWake.notify_all();
    if (watch.joinable()) {
        watch.join();
    }
}

// Closes the capture device and takes the recording channel out of service. The device is
// closed first and the target kept until then, so every chunk the device still hands over
// goes into the block; with the device silent, the partial block can go to the receiver on
// this thread without racing a delivery on the capture thread.
void AudioEngine::Impl::releaseCapture(bool deliverRest) {
    std::shared_ptr<Channel> ch;
    {
        std::lock_guard lock(mutex);
        ch = recording;
        captureDevice = -1;
    }
    stopWatch();
    if (ch) {
        backend.closeCapture();
    }
    {
        if (deliverRest && ch && captureTarget.load() == ch.get() && captureProc != nullptr) {
            deliverPartialBlock(*ch);
        }
        captureTarget.store(nullptr);
        captureProc = nullptr;
        captureUser = nullptr;
        blockFill = 0;
    }
    if (ch) {
        std::lock_guard lock(mutex);
        channels.erase(ch->handle);
        if (recording == ch) {
            recording.reset();
        }
    }
    reapRetired(true);
}

// With the device closed.
void AudioEngine::Impl::deliverPartialBlock(Channel& ch) {
    const std::size_t frame = ch.format.bytesPerFrame();
    const auto bytes = static_cast<std::uint32_t>(blockFill / frame * frame);
    blockFill = 0;
    // A receiver that refused a block wants nothing more; a pause keeps what came before it.
    if (ch.state == kStopped || bytes == 0) {
        return;
    }
    // A delivery like those on the capture thread: monitoring fed by the engine has these bytes.
    tCapturing = this;
    if (!captureProc(ch.handle, block.data(), bytes, captureUser)) {
        ch.state = kStopped;
    }
    tCapturing = nullptr;
}

void AudioEngine::Impl::listDevices(bool refresh) {
    {
        std::lock_guard lock(mutex);
        if (devicesListed && !refresh) {
            return;
        }
    }
    auto list = backend.captureDevices();
    std::lock_guard lock(mutex);
    devices = std::move(list);
    devicesListed = true;
}

bool AudioEngine::captureDeviceName(int index, std::string* name) const {
    Impl& d = *m_impl;
    if (index < 0) {
        return false;
    }
    // Listing starts at 0, so that is when the list is taken afresh.
    d.listDevices(index == 0);
    std::lock_guard lock(d.mutex);
    if (static_cast<std::size_t>(index) >= d.devices.size()) {
        return false;
    }
    if (name != nullptr) {
        *name = d.devices[static_cast<std::size_t>(index)];
    }
    return true;
}

bool AudioEngine::openCapture(int index) {
    Impl& d = *m_impl;
    if (index < 0) {
        return false;
    }
    // Indices refer to the list the caller was shown (the device box), not to a fresh listing in
    // which a newly plugged headset could have shifted them.
    d.listDevices(false);
    std::lock_guard lock(d.mutex);
    if (static_cast<std::size_t>(index) >= d.devices.size() || d.captureDevice >= 0) {
        return false;  // no such device, or one is open already (freeCapture() first)
    }
    d.captureDevice = index;
    return true;
}

Handle AudioEngine::startCapture(std::uint32_t rate, std::uint32_t channels, std::uint32_t flags,
                                 CaptureProc proc, void* user) {
    Impl& d = *m_impl;
    AudioFormat format;
    if (!formatFromFlags(rate, channels, flags, &format)) {
        return 0;
    }
    std::shared_ptr<Channel> ch;
    int device = -1;
    {
        std::lock_guard lock(d.mutex);
        if (d.captureDevice < 0 || d.recording) {
            return 0;
        }
        device = d.captureDevice;
        ch = std::make_shared<Channel>(Kind::Recording, d.newHandleLocked(), format);
        ch->state = kPlaying;
        d.channels.emplace(ch->handle, ch);
        d.recording = ch;
    }
    // No device is open, so nothing reads these yet; opening it publishes them.
    d.captureProc = proc;
    d.captureUser = user;
    // A block is exactly a tenth of a second, whatever the rate.
    d.block.assign(std::size_t{rate / 10} * format.bytesPerFrame(), 0);
    d.blockFill = 0;
    d.lastCapture.store(ticksNow());
    d.captureTarget.store(ch.get());
    if (!d.backend.openCapture(device, format, &d)) {
        d.captureTarget.store(nullptr);
        std::lock_guard lock(d.mutex);
        d.channels.erase(ch->handle);
        d.recording.reset();
        return 0;
    }
    d.backend.setCapturePaused(false);
    d.startWatch();
    return ch->handle;
}

void AudioEngine::freeCapture() {
    m_impl->releaseCapture(true);
}

void AudioEngine::setCaptureLostNotice(LostProc proc) {
    Impl& d = *m_impl;
    d.lostProcs.push_back(std::make_unique<LostProc>(std::move(proc)));
    d.lostProc.store(d.lostProcs.back().get(), std::memory_order_release);
}

bool AudioEngine::captureStalled(Handle channel) const {
    auto ch = m_impl->find(channel);
    return ch && ch->kind == Kind::Recording && ch->stalled && !ch->lost;
}

bool AudioEngine::captureLost(Handle channel) const {
    auto ch = m_impl->find(channel);
    if (!ch || ch->kind != Kind::Recording) {
        return false;
    }
    return ch->lost;
}

}  // namespace quillar::audio
