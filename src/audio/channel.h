// One channel of the engine: a recording channel or a stream (push, memory, file), with its
// audio state, its analysis ring and, for streams, what it renders on the playback thread.
// Engine-internal: only the engine's own files include it. Which thread touches which field
// is said beside the field; the lock order is in engine_impl.h.
#pragma once

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "audio/audio_backend.h"
#include "audio/audio_engine.h"
#include "audio/push_queue.h"
#include "audio/sample_ring.h"
#include "audio/wav_layout.h"
#include "platform/descriptor_io.h"

namespace quillar::audio::detail {

constexpr std::uint32_t kMinRate = 1000;
constexpr std::uint32_t kMaxRate = 384000;
constexpr std::uint32_t kMaxChannels = 8;

inline bool formatFromFlags(std::uint32_t rate, std::uint32_t channels, std::uint32_t flags,
                            AudioFormat* format) {
    if (rate < kMinRate || rate > kMaxRate || channels == 0 || channels > kMaxChannels) {
        return false;
    }
    format->rate = rate;
    format->channels = channels;
    // The high bits may carry unrelated options; only the sample-width bits choose the type.
    if ((flags & kSampleFloat) != 0) {
        format->type = SampleType::F32;
    } else if ((flags & kSample24Bit) != 0) {
        format->type = SampleType::S24;
    } else if ((flags & kSample8Bit) != 0) {
        format->type = SampleType::U8;
    } else {
        format->type = SampleType::S16;
    }
    return true;
}

inline void fillSilence(void* out, std::uint32_t bytes, SampleType type) {
    std::memset(out, type == SampleType::U8 ? 0x80 : 0, bytes);
}

enum class Kind { Recording, Push, Memory, File };

// Reads up to `n` bytes at `at`; fewer only at the end of the file or on a read error.
inline std::uint64_t readAt(int fd, void* out, std::uint64_t n, std::uint64_t at) {
    return platform::readFullyAt(fd, out, n, at);
}

// Stored frames a file stream converts per read.
constexpr std::uint32_t kStagingBytes = 16384;

// Channel states as reported by state().
constexpr int kStopped = 0;
constexpr int kPlaying = 1;
constexpr int kPaused = 3;

struct Channel final : OutputSource {
    Channel(Kind k, Handle h, AudioFormat f)
        : kind(k),
          handle(h),
          format(f),
          ring(f, k == Kind::Recording ? SampleRing::kCaptureFrames : SampleRing::kFrames) {}
    ~Channel() {
        if (fd >= 0) {
            platform::closeFile(fd);
        }
    }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    const Kind kind;
    const Handle handle;
    const AudioFormat format;

    // Written by the thread that moves the audio without a lock (a recording channel's capture
    // callback takes none), read by any thread.
    SampleRing ring;                        // latest frames as floats, for the analysis and meter
    std::atomic<std::int64_t> position{0};  // bytes played or captured
    std::atomic<int> state{kStopped};
    std::atomic<bool> lost{false};  // recording channel: its device is gone
    // Recording channel: running, yet nothing came for kCaptureStallMs (a stalled sound server);
    // cleared by the next audio.
    std::atomic<bool> stalled{false};
    // Push stream: what waits to be played; made at creation, then fed by the capture callback
    // and drained by render() without a lock.
    std::unique_ptr<PushQueue> queue;

    // Guards the streams' compound updates below and of position and state (render, restart,
    // pause). Leaf lock: nothing is called while held. Never taken by the capture callback.
    mutable std::mutex dataMutex;
    bool endReported = false;  // memory stream: render() said "ended" for this play-through
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
    bool live() const override { return kind == Kind::Push; }

    // Serialises the backend calls of one stream (open/play/pause/close) with its release. Taken
    // before the backend's own locks; never taken inside render().
    std::mutex controlMutex;
    bool freed = false;
    // Also set by the capture callback's play() on the monitoring stream, which asks the backend
    // to start the output without waiting.
    std::atomic<bool> outputPlaying{false};
    std::vector<std::pair<Handle, EndProc>> endProcs;

    // Held while an end notice runs, so that freeStream() on another thread waits for it to
    // finish. Recursive: the notice itself usually frees its stream.
    std::recursive_mutex noticeMutex;

    std::uint64_t backlog() override {
        std::lock_guard lock(dataMutex);
        if (playsData()) {
            return static_cast<std::uint64_t>(std::max<std::int64_t>(0, memoryLength - position));
        }
        return queue ? queue->queued() : 0;
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
            queue->trimLag(bytes);
            n = static_cast<std::uint32_t>(queue->pop(dst, bytes));
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

}  // namespace quillar::audio::detail
