// How the engine stays safe across threads.
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
#include "audio/audio_engine.h"

#include <fcntl.h>
#include <fftw3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <numbers>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "audio/audio_backend.h"
#include "audio/sample_ring.h"
#include "audio/wav_layout.h"

namespace quillar::audio {

namespace {

// FFTW's planner keeps global state; every plan made or destroyed in the process goes through here.
std::mutex& fftwPlannerMutex() {
    static std::mutex mutex;
    return mutex;
}

constexpr std::uint32_t kMinRate = 1000;
constexpr std::uint32_t kMaxRate = 384000;
constexpr std::uint32_t kMaxChannels = 8;

bool formatFromFlags(std::uint32_t rate, std::uint32_t channels, std::uint32_t flags,
                     AudioFormat* format) {
    if (rate < kMinRate || rate > kMaxRate || channels == 0 || channels > kMaxChannels) {
        return false;
    }
    format->rate = rate;
    format->channels = channels;
    // The high bits may carry unrelated options; only the sample-width bits choose the type.
    if ((flags & kSampleFloat) != 0) {
        format->type = SampleType::F32;
    } else if ((flags & kSample8Bit) != 0) {
        format->type = SampleType::U8;
    } else {
        format->type = SampleType::S16;
    }
    return true;
}

void fillSilence(void* out, std::uint32_t bytes, SampleType type) {
    std::memset(out, type == SampleType::U8 ? 0x80 : 0, bytes);
}

enum class Kind { Recording, Push, Memory, File };

// Reads up to `n` bytes at `at`; fewer only at the end of the file or on a read error.
std::uint64_t readAt(int fd, void* out, std::uint64_t n, std::uint64_t at) {
    auto* dst = static_cast<std::uint8_t*>(out);
    std::uint64_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd, dst + got, n - got, static_cast<off_t>(at + got));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            break;
        }
        got += static_cast<std::uint64_t>(r);
    }
    return got;
}

// Stored frames a file stream converts per read.
constexpr std::uint32_t kStagingBytes = 16384;

// Channel states as reported by state().
constexpr int kStopped = 0;
constexpr int kPlaying = 1;
constexpr int kPaused = 3;

struct Channel final : OutputSource {
    Channel(Kind k, Handle h, AudioFormat f) : kind(k), handle(h), format(f), ring(f) {}
    ~Channel() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    const Kind kind;
    const Handle handle;
    const AudioFormat format;

    // Guards everything below up to the control section. Leaf lock: nothing is called while held.
    mutable std::mutex dataMutex;
    SampleRing ring;            // latest frames as floats, for the analysis
    std::int64_t position = 0;  // bytes played or captured
    int state = kStopped;
    bool lost = false;         // recording channel: its device is gone
    bool endReported = false;  // memory stream: render() said "ended" for this play-through
    // Push stream queue: bytes [queueRead, queue.size()) are waiting to be played.
    std::vector<std::uint8_t> queue;
    std::size_t queueRead = 0;
    std::size_t queueLimit = 0;  // bytes, whole frames
    // Memory and file streams: what is played, as the device plays it (bytes, whole frames).
    // A file stream's length shrinks when its file turns out shorter than its header said.
    std::int64_t memoryLength = 0;
    // Bumped by every restart, so that a file read begun before it is not counted after it.
    std::uint64_t generation = 0;

    // Set at creation, then read only. Memory stream: the data, owned by the caller. File
    // stream: the open file, read as it plays; a file saved over by rename leaves this one
    // intact, and one cut short in place only ends the playback early.
    WavLayout layout;
    const std::uint8_t* memory = nullptr;
    int fd = -1;

    // Held by render() of a file stream around its reads, which run without dataMutex so that
    // the GUI thread's position reads never wait for the disk.
    std::mutex sourceMutex;
    std::vector<std::uint8_t> staging;  // guarded by sourceMutex; stored frames being converted

    bool playsData() const { return kind == Kind::Memory || kind == Kind::File; }

    // Serialises the backend calls of one stream (open/play/pause/close) with its release. Taken
    // before the backend's own locks; never taken inside render().
    std::mutex controlMutex;
    bool freed = false;
    bool outputPlaying = false;
    std::vector<std::pair<Handle, EndProc>> endProcs;

    // Held while an end notice runs, so that freeStream() on another thread waits for it to
    // finish. Recursive: the notice itself usually frees its stream.
    std::recursive_mutex noticeMutex;

    std::size_t queuedBytes() const { return queue.size() - queueRead; }

    std::uint64_t backlog() override {
        std::lock_guard lock(dataMutex);
        if (playsData()) {
            return static_cast<std::uint64_t>(std::max<std::int64_t>(0, memoryLength - position));
        }
        return queuedBytes();
    }

    // Played bytes [pos, pos + n) of a memory or file stream into `dst`, n whole frames; returns
    // the bytes got (fewer only when a file ends early).
    std::uint32_t fetch(std::int64_t pos, std::uint8_t* dst, std::uint32_t n) {
        const std::uint32_t outFrame = format.bytesPerFrame();
        const std::uint32_t inFrame = layout.storedFrameBytes;
        std::uint64_t frame = static_cast<std::uint64_t>(pos) / outFrame;
        std::uint64_t frames = n / outFrame;
        if (kind == Kind::Memory) {
            convertStoredFrames(layout, memory + frame * inFrame, dst, frames);
            return n;
        }
        const std::uint64_t at = layout.dataOffset + frame * inFrame;
        if (layout.stored == StoredSample::AsPlayed) {
            return static_cast<std::uint32_t>(readAt(fd, dst, frames * inFrame, at) / inFrame *
                                              inFrame);
        }
        std::uint32_t done = 0;
        const std::uint64_t perRead = staging.size() / inFrame;
        while (frames > 0) {
            const std::uint64_t want = std::min(frames, perRead);
            const std::uint64_t got =
                readAt(fd, staging.data(), want * inFrame, layout.dataOffset + frame * inFrame) /
                inFrame;
            convertStoredFrames(layout, staging.data(), dst + done, got);
            done += static_cast<std::uint32_t>(got * outFrame);
            frame += got;
            frames -= got;
            if (got < want) {
                break;
            }
        }
        return done;
    }

    Rendered renderFile(std::uint8_t* dst, std::uint32_t bytes) {
        Rendered result;
        std::lock_guard source(sourceMutex);
        std::int64_t pos = 0;
        std::uint64_t gen = 0;
        std::uint32_t want = 0;
        {
            std::lock_guard lock(dataMutex);
            if (state != kPlaying) {
                fillSilence(dst, bytes, format.type);
                return result;
            }
            pos = position;
            gen = generation;
            want = static_cast<std::uint32_t>(std::min<std::int64_t>(bytes, memoryLength - pos));
        }
        const std::uint32_t n = want > 0 ? fetch(pos, dst, want) : 0;
        if (n < bytes) {
            fillSilence(dst + n, bytes - n, format.type);
        }
        std::lock_guard lock(dataMutex);
        if (generation != gen || state != kPlaying) {
            fillSilence(dst, bytes, format.type);  // restarted, paused or stopped meanwhile
            return result;
        }
        if (n < want) {
            memoryLength = pos + n;  // cut short since it was opened: it ends where its data does
        }
        position += n;
        ring.push(dst, n);
        result.bytes = n;
        if (position >= memoryLength && !endReported) {
            endReported = true;
            state = kStopped;
            result.ended = true;
        }
        return result;
    }

    Rendered render(void* out, std::uint32_t bytes) override {
        auto* dst = static_cast<std::uint8_t*>(out);
        if (kind == Kind::File) {
            return renderFile(dst, bytes);
        }
        Rendered result;
        std::lock_guard lock(dataMutex);
        if (state != kPlaying) {
            fillSilence(out, bytes, format.type);
            return result;
        }
        std::uint32_t n = 0;
        if (kind == Kind::Push) {
            n = static_cast<std::uint32_t>(std::min<std::size_t>(bytes, queuedBytes()));
            std::memcpy(dst, queue.data() + queueRead, n);
            queueRead += n;
            if (queueRead == queue.size()) {
                queue.clear();
                queueRead = 0;
            }
        } else if (kind == Kind::Memory) {
            const std::int64_t left = memoryLength - position;
            n = static_cast<std::uint32_t>(std::min<std::int64_t>(bytes, left));
            if (n > 0) {
                fetch(position, dst, n);
            }
        }
        position += n;
        if (n < bytes) {
            fillSilence(dst + n, bytes - n, format.type);
        }
        // A dry push stream goes on playing silence, and the analysis should say so.
        ring.push(dst, kind == Kind::Push ? bytes : n);
        result.bytes = n;
        if (kind == Kind::Memory && position >= memoryLength && !endReported) {
            endReported = true;
            state = kStopped;
            result.ended = true;
        }
        return result;
    }
};

}  // namespace

struct AudioEngine::Impl final : CaptureSink, EndListener {
    explicit Impl(AudioBackend& b) : backend(b) {
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
    ~Impl() {
        std::lock_guard planner(fftwPlannerMutex());
        fftwf_destroy_plan(plan);
        fftwf_free(fftIn);
        fftwf_free(fftOut);
    }

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
    void releaseStream(Channel& ch) {
        {
            std::lock_guard control(ch.controlMutex);
            ch.freed = true;
            ch.endProcs.clear();
            backend.closeOutput(ch.handle);
            ch.outputPlaying = false;
        }
        std::lock_guard notice(ch.noticeMutex);
    }

    void captured(const void* data, std::uint32_t bytes) override {
        std::lock_guard gate(captureGate);
        Channel* ch = captureTarget.get();
        if (ch == nullptr || bytes == 0) {
            return;
        }
        {
            std::lock_guard lock(ch->dataMutex);
            if (ch->state != kPlaying || ch->lost) {
                return;
            }
            lastCapture = std::chrono::steady_clock::now();
            ch->ring.push(data, bytes);
            ch->position += bytes;
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
                std::lock_guard lock(ch->dataMutex);
                ch->state = kStopped;
                return;
            }
        }
    }

    void captureLost() override {
        std::lock_guard gate(captureGate);
        markLost();
    }

    // With captureGate held.
    void markLost() {
        Channel* ch = captureTarget.get();
        if (ch == nullptr) {
            return;
        }
        {
            std::lock_guard lock(ch->dataMutex);
            if (ch->lost) {
                return;
            }
            ch->lost = true;
        }
        if (lostProc) {
            lostProc(ch->handle);
        }
    }

    // Sound servers that stall rather than report a removal (PipeWire) are caught here.
    void watchLoop() {
        using namespace std::chrono;
        std::unique_lock lock(watchMutex);
        while (!watchWake.wait_for(lock, milliseconds(100), [this] { return watchStop; })) {
            lock.unlock();
            {
                std::lock_guard gate(captureGate);
                Channel* ch = captureTarget.get();
                bool running = false;
                if (ch != nullptr) {
                    std::lock_guard data(ch->dataMutex);
                    // Armed by the first audio: a device that never starts delivering (an idle
                    // null sink's monitor can take two seconds) is not one that was lost.
                    running = ch->state == kPlaying && !ch->lost && ch->position > 0;
                }
                const auto now = steady_clock::now();
                if (!running) {
                    lastCapture = now;
                } else if (now - lastCapture > milliseconds(kCaptureStallMs)) {
                    markLost();
                }
            }
            lock.lock();
        }
    }

    void startWatch() {
        stopWatch();
        {
            std::lock_guard lock(watchMutex);
            watchStop = false;
        }
        watch = std::thread([this] { watchLoop(); });
    }

    void stopWatch() {
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
    void releaseCapture(bool deliverRest) {
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
            std::lock_guard gate(captureGate);
            if (deliverRest && ch && captureTarget == ch && captureProc != nullptr) {
                deliverPartialBlock(*ch);
            }
            captureTarget.reset();
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
    }

    // With captureGate held and the device closed.
    void deliverPartialBlock(Channel& ch) {
        const std::size_t frame = ch.format.bytesPerFrame();
        const auto bytes = static_cast<std::uint32_t>(blockFill / frame * frame);
        blockFill = 0;
        {
            std::lock_guard lock(ch.dataMutex);
            // A receiver that refused a block wants nothing more; a pause keeps what came
            // before it.
            if (ch.state == kStopped || bytes == 0) {
                return;
            }
        }
        if (!captureProc(ch.handle, block.data(), bytes, captureUser)) {
            std::lock_guard lock(ch.dataMutex);
            ch.state = kStopped;
        }
    }

    void outputEnded(std::uint32_t streamId) override {
        auto ch = findStream(streamId);
        if (!ch) {
            return;
        }
        std::lock_guard notice(ch->noticeMutex);
        std::vector<EndProc> procs;
        {
            std::lock_guard control(ch->controlMutex);
            if (ch->freed) {
                return;
            }
            {
                std::lock_guard lock(ch->dataMutex);
                if (ch->state != kStopped) {
                    return;  // restarted before the notice got here
                }
            }
            if (ch->outputPlaying) {
                backend.setOutputPlaying(ch->handle, false);
                ch->outputPlaying = false;
            }
            for (const auto& [sync, proc] : ch->endProcs) {
                procs.push_back(proc);
            }
        }
        for (const auto& proc : procs) {
            if (proc) {
                proc(ch->handle);
            }
        }
    }

    void listDevices(bool refresh) {
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

    bool playStream(Channel& ch, bool restart) {
        std::lock_guard control(ch.controlMutex);
        if (ch.freed) {
            return false;
        }
        {
            std::lock_guard lock(ch.dataMutex);
            const bool playedOut = ch.playsData() && ch.position >= ch.memoryLength;
            if (restart || (playedOut && ch.state != kPlaying)) {
                ++ch.generation;
                ch.position = 0;
                ch.queue.clear();
                ch.queueRead = 0;
                ch.ring.reset();
                ch.endReported = false;
            }
            ch.state = kPlaying;
        }
        if (!ch.outputPlaying) {
            backend.setOutputPlaying(ch.handle, true);
            ch.outputPlaying = true;
        }
        return true;
    }
};

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
    {
        std::lock_guard gate(d.captureGate);
        d.captureTarget = ch;
        d.captureProc = proc;
        d.captureUser = user;
        // A block is exactly a tenth of a second, whatever the rate.
        d.block.assign(std::size_t{rate / 10} * format.bytesPerFrame(), 0);
        d.blockFill = 0;
        d.lastCapture = std::chrono::steady_clock::now();
    }
    if (!d.backend.openCapture(device, format, &d)) {
        {
            std::lock_guard gate(d.captureGate);
            d.captureTarget.reset();
        }
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
    std::lock_guard gate(m_impl->captureGate);
    m_impl->lostProc = std::move(proc);
}

bool AudioEngine::captureLost(Handle channel) const {
    auto ch = m_impl->find(channel);
    if (!ch || ch->kind != Kind::Recording) {
        return false;
    }
    std::lock_guard lock(ch->dataMutex);
    return ch->lost;
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

Handle AudioEngine::createPushStream(std::uint32_t rate, std::uint32_t channels,
                                     std::uint32_t flags) {
    Impl& d = *m_impl;
    AudioFormat format;
    if (!formatFromFlags(rate, channels, flags, &format)) {
        return 0;
    }
    std::shared_ptr<Channel> ch;
    {
        std::lock_guard lock(d.mutex);
        if (!d.outputReady) {
            return 0;
        }
        ch = std::make_shared<Channel>(Kind::Push, d.newHandleLocked(), format);
    }
    const std::size_t frameBytes = format.bytesPerFrame();
    const std::size_t limitFrames =
        std::max<std::size_t>(1, std::size_t{rate} * kPushQueueLimitMs / 1000);
    ch->queueLimit = limitFrames * frameBytes;
    ch->queue.reserve(ch->queueLimit * 2);
    if (!d.backend.openOutput(ch->handle, format, ch.get())) {
        return 0;
    }
    std::lock_guard lock(d.mutex);
    d.channels.emplace(ch->handle, ch);
    return ch->handle;
}

std::int64_t AudioEngine::pushData(Handle stream, const void* data, std::uint32_t bytes) {
    auto ch = m_impl->find(stream);
    if (!ch || ch->kind != Kind::Push || (data == nullptr && bytes > 0)) {
        return -1;
    }
    std::lock_guard lock(ch->dataMutex);
    if (bytes > 0) {
        // Drop the played part first: the unplayed part is at most one limit long, so with the
        // room reserved at creation a block of up to a limit is queued without allocating on
        // the capture thread.
        if (ch->queueRead > 0) {
            ch->queue.erase(ch->queue.begin(),
                            ch->queue.begin() + static_cast<std::ptrdiff_t>(ch->queueRead));
            ch->queueRead = 0;
        }
        const auto* src = static_cast<const std::uint8_t*>(data);
        ch->queue.insert(ch->queue.end(), src, src + bytes);
        const std::size_t queued = ch->queuedBytes();
        if (queued > ch->queueLimit) {
            // Monitoring must stay live: a backlog means the output fell behind, and hearing the
            // input late is worse than a skip. Drop the oldest whole frames.
            const std::size_t frame = ch->format.bytesPerFrame();
            const std::size_t excess = (queued - ch->queueLimit + frame - 1) / frame * frame;
            ch->queueRead += std::min(excess, queued);
        }
    }
    return static_cast<std::int64_t>(ch->queuedBytes());
}

Handle AudioEngine::createMemoryStream(const void* image, std::uint64_t length) {
    Impl& d = *m_impl;
    WavLayout layout;
    if (image == nullptr || !parseWavLayout(image, length, &layout)) {
        return 0;
    }
    std::shared_ptr<Channel> ch;
    {
        std::lock_guard lock(d.mutex);
        if (!d.outputReady) {
            return 0;
        }
        ch = std::make_shared<Channel>(Kind::Memory, d.newHandleLocked(), layout.format);
    }
    ch->layout = layout;
    ch->memory = static_cast<const std::uint8_t*>(image) + layout.dataOffset;
    ch->memoryLength = static_cast<std::int64_t>(layout.playedBytes(layout.dataBytes));
    if (!d.backend.openOutput(ch->handle, layout.format, ch.get())) {
        return 0;
    }
    std::lock_guard lock(d.mutex);
    d.channels.emplace(ch->handle, ch);
    return ch->handle;
}

Handle AudioEngine::createFileStream(const std::string& path, FileVerdict* verdict) {
    Impl& d = *m_impl;
    FileVerdict unused;
    FileVerdict& v = verdict != nullptr ? *verdict : unused;
    v = FileVerdict{};
    {
        std::lock_guard lock(d.mutex);
        if (!d.outputReady) {
            v.problem = FileProblem::NoOutput;
            return 0;
        }
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st = {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) {
            ::close(fd);
        }
        v.problem = FileProblem::CannotOpen;
        return 0;
    }
    struct FileOwner {
        int fd;
        ~FileOwner() {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    } owner{fd};
    const auto length = static_cast<std::uint64_t>(st.st_size);
    WavLayout layout;
    const WavVerdict w = readWavLayout(
        [fd](std::uint64_t at, void* out, std::uint64_t n) { return readAt(fd, out, n, at); },
        length, &layout);
    v.formatTag = layout.formatTag;
    v.bits = layout.bits;
    v.channels = layout.channels;
    v.rate = layout.rate;
    if (length == 0) {
        v.problem = FileProblem::Empty;
    } else if (w == WavVerdict::NotWav) {
        v.problem = FileProblem::NotWav;
    } else if (w == WavVerdict::Damaged) {
        v.problem = FileProblem::Damaged;
    } else if (w == WavVerdict::Unsupported) {
        v.problem = FileProblem::UnsupportedFormat;
    } else if (layout.dataBytes == 0) {
        v.problem = FileProblem::NoAudio;
    }
    if (v.problem != FileProblem::None) {
        return 0;
    }
    // Tells the kernel to read ahead of the playback, so reads on the playback thread hit the
    // cache.
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    std::shared_ptr<Channel> ch;
    {
        std::lock_guard lock(d.mutex);
        ch = std::make_shared<Channel>(Kind::File, d.newHandleLocked(), layout.format);
    }
    ch->fd = std::exchange(owner.fd, -1);
    ch->layout = layout;
    ch->memoryLength = static_cast<std::int64_t>(layout.playedBytes(layout.dataBytes));
    ch->staging.resize(std::max<std::uint32_t>(1, kStagingBytes / layout.storedFrameBytes) *
                       layout.storedFrameBytes);
    if (!d.backend.openOutput(ch->handle, layout.format, ch.get())) {
        v.problem = FileProblem::NoOutput;
        return 0;
    }
    std::lock_guard lock(d.mutex);
    d.channels.emplace(ch->handle, ch);
    return ch->handle;
}

Handle AudioEngine::setEndNotice(Handle stream, EndProc proc) {
    Impl& d = *m_impl;
    auto ch = d.findStream(stream);
    if (!ch || !proc) {
        return 0;
    }
    Handle sync = 0;
    {
        std::lock_guard lock(d.mutex);
        if (!d.channels.contains(stream)) {
            return 0;
        }
        sync = d.newHandleLocked();
        d.syncs.emplace(sync, stream);
    }
    std::lock_guard control(ch->controlMutex);
    if (ch->freed) {
        return 0;
    }
    ch->endProcs.emplace_back(sync, std::move(proc));
    return sync;
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

std::uint32_t AudioEngine::level(Handle channel) const {
    auto ch = m_impl->find(channel);
    if (!ch) {
        return 0xFFFFFFFFu;
    }
    std::lock_guard lock(ch->dataMutex);
    if (ch->state != kPlaying) {
        return 0;
    }
    // About 20 ms: short enough to follow syllables, long enough to hold a cycle of a low voice.
    const std::uint32_t frames = std::max<std::uint32_t>(1, ch->format.rate / 50);
    const auto toLevel = [](float peak) {
        return static_cast<std::uint32_t>(std::min(32768.0f, std::round(peak * 32768.0f)));
    };
    const std::uint32_t left = toLevel(ch->ring.peak(0, frames));
    const std::uint32_t right = ch->format.channels > 1 ? toLevel(ch->ring.peak(1, frames)) : left;
    return left | (right << 16);
}

std::int64_t AudioEngine::positionBytes(Handle channel) const {
    auto ch = m_impl->find(channel);
    if (!ch) {
        return -1;
    }
    std::lock_guard lock(ch->dataMutex);
    return ch->position;
}

std::int64_t AudioEngine::lengthBytes(Handle channel) const {
    auto ch = m_impl->find(channel);
    if (!ch || !ch->playsData()) {
        return -1;
    }
    std::lock_guard lock(ch->dataMutex);
    return ch->memoryLength;
}

double AudioEngine::bytesToSeconds(Handle channel, std::int64_t bytes) const {
    auto ch = m_impl->find(channel);
    if (!ch) {
        return -1.0;
    }
    return static_cast<double>(bytes) /
           (static_cast<double>(ch->format.rate) * ch->format.bytesPerFrame());
}

std::uint32_t AudioEngine::channelCount(Handle channel) const {
    auto ch = m_impl->find(channel);
    return ch ? ch->format.channels : 0;
}

std::uint32_t AudioEngine::sampleRate(Handle channel) const {
    auto ch = m_impl->find(channel);
    return ch ? ch->format.rate : 0;
}

bool AudioEngine::hasFormat(Handle channel, std::uint32_t rate, std::uint32_t channels,
                            std::uint32_t flags) const {
    auto ch = m_impl->find(channel);
    AudioFormat format;
    return ch && formatFromFlags(rate, channels, flags, &format) && ch->format == format;
}

bool AudioEngine::latestSamples(Handle channel, float* out, std::uint32_t frames) const {
    auto ch = m_impl->find(channel);
    if (!ch || out == nullptr || frames > SampleRing::kFrames) {
        return false;
    }
    std::lock_guard lock(ch->dataMutex);
    ch->ring.latest(out, frames);
    return true;
}

bool AudioEngine::spectrum2048(Handle channel, float* out1024) const {
    Impl& d = *m_impl;
    auto ch = d.find(channel);
    if (!ch || out1024 == nullptr) {
        return false;
    }
    constexpr int kN = Impl::kFftSize;
    std::lock_guard fft(d.fftMutex);
    {
        std::lock_guard lock(ch->dataMutex);
        ch->ring.latestMixed(d.fftIn, kN);
    }
    for (int i = 0; i < kN; ++i) {
        d.fftIn[i] *= d.window[static_cast<std::size_t>(i)];
    }
    fftwf_execute(d.plan);
    // A sine of amplitude A centred on a bin gives |X| = A * sum(window) / 2 = A * kN / 4.
    constexpr float kScale = 4.0f / kN;
    for (int k = 0; k < kN / 2; ++k) {
        out1024[k] = std::hypot(d.fftOut[k][0], d.fftOut[k][1]) * kScale;
    }
    return true;
}

}  // namespace quillar::audio
