// Streams: push streams fed by the caller (live monitoring), memory streams over a WAV image,
// file streams over a saved WAV file; their playing, end notices and release.

#include <algorithm>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/engine_impl.h"
#include "audio/wav_layout.h"
#include "platform/descriptor_io.h"

namespace quillar::audio {

using namespace detail;

// Takes a stream out of service: no render, no notice after this returns (unless called
// from inside that stream's own notice).
void AudioEngine::Impl::releaseStream(Channel& ch) {
    {
        std::lock_guard control(ch.controlMutex);
        ch.freed = true;
        ch.endProcs.clear();
        backend.closeOutput(ch.handle);
        ch.outputPlaying.store(false);
    }
    std::lock_guard notice(ch.noticeMutex);
}

void AudioEngine::Impl::outputEnded(std::uint32_t streamId) {
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
        if (ch->state != kStopped) {
            return;  // restarted before the notice got here
        }
        if (ch->outputPlaying.exchange(false)) {
            backend.setOutputPlaying(ch->handle, false);
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

bool AudioEngine::Impl::playStream(Channel& ch, bool restart) {
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
            if (ch.queue) {
                ch.queue->drop();
            }
            ch.ring.reset();
            ch.endReported = false;
        }
        ch.state = kPlaying;
    }
    if (!ch.outputPlaying.exchange(true)) {
        backend.setOutputPlaying(ch.handle, true);
    }
    return true;
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
    ch->queue = std::make_unique<PushQueue>(limitFrames * frameBytes, frameBytes);
    if (!d.backend.openOutput(ch->handle, format, ch.get())) {
        return 0;
    }
    std::lock_guard lock(d.mutex);
    d.channels.emplace(ch->handle, ch);
    // The latest push stream is the one the capture callback can feed.
    d.monitor.store(ch.get(), std::memory_order_seq_cst);
    return ch->handle;
}

std::int64_t AudioEngine::pushData(Handle stream, const void* data, std::uint32_t bytes) {
    Impl& d = *m_impl;
    if (data == nullptr && bytes > 0) {
        return -1;
    }
    if (d.inCaptureCallback()) {
        // Monitoring fed by the receiver: the stream without the table, the queue without a lock.
        Channel* monitor = d.monitorFor(stream);
        if (monitor == nullptr) {
            return -1;
        }
        // Fed by the engine from each capture period already: the block holds nothing new.
        const bool fed = d.captureMonitor.load(std::memory_order_relaxed) == stream;
        return static_cast<std::int64_t>(bytes > 0 && !fed ? monitor->queue->push(data, bytes)
                                                           : monitor->queue->queued());
    }
    auto ch = d.find(stream);
    if (!ch || ch->kind != Kind::Push) {
        return -1;
    }
    // Monitoring must stay live: a backlog means the output fell behind, and hearing the input
    // late is worse than a skip, so the queue keeps only the newest audio.
    return static_cast<std::int64_t>(bytes > 0 ? ch->queue->push(data, bytes)
                                               : ch->queue->queued());
}

bool AudioEngine::monitorCapture(Handle stream) {
    Impl& d = *m_impl;
    if (stream != 0 && d.monitorFor(stream) == nullptr) {
        d.captureMonitor.store(0);
        return false;
    }
    d.captureMonitor.store(stream);
    return true;
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
    const int fd = platform::openReadOnly(path.c_str());
    const std::optional<std::uint64_t> size =
        fd >= 0 ? platform::regularFileSize(fd) : std::nullopt;
    if (!size) {
        if (fd >= 0) {
            platform::closeFile(fd);
        }
        v.problem = FileProblem::CannotOpen;
        return 0;
    }
    struct FileOwner {
        int fd;
        ~FileOwner() {
            if (fd >= 0) {
                platform::closeFile(fd);
            }
        }
    } owner{fd};
    const std::uint64_t length = *size;
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
    platform::adviseSequential(fd);
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

}  // namespace quillar::audio
