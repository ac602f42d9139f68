// Quillar's audio engine: capture devices, recording channels, push and memory streams, and the
// analysis (level, sample data, FFT) the display needs. Platform access goes through an
// AudioBackend (SDL for real devices, a simulated one for tests); nothing here knows of widgets.
//
// Handles are 32-bit values, 0 means "none" or "failed". Every call on 0 or on a freed handle
// fails without effect. Unless stated otherwise, calls come from the GUI thread; capture blocks and
// end notices arrive on engine threads.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quillar::audio {

using Handle = std::uint32_t;

// Sample flags, the values stored as item data in the sample-width combo box. Neither flag:
// signed 16-bit.
inline constexpr std::uint32_t kSample8Bit = 1;      // unsigned 8-bit
inline constexpr std::uint32_t kSampleFloat = 256;   // 32-bit IEEE float
inline constexpr std::uint32_t kSample24Bit = 1024;  // signed 24-bit, 3 bytes a sample

// Longest backlog a push stream keeps, in milliseconds of its own audio. Pushing more drops the
// oldest queued audio, so live monitoring never lags the input by more than this (plus the output
// device's own buffer).
inline constexpr std::uint32_t kPushQueueLimitMs = 250;

// Capture block receiver, with the recording channel's handle. Each call gets one 100 ms block
// (exactly rate / 10 frames) on an engine thread, except the last: freeCapture() hands over the
// audio captured since the last full block (whole frames, shorter than a block, never empty) on
// the thread that calls freeCapture(), once the device has stopped delivering. Calls never
// overlap, and each sees what the previous one did. Returning false stops delivery (the channel
// then reads as stopped, and freeCapture() hands over nothing more). On the capture thread it may
// call pushData and play(…, false) on the latest push stream (live monitoring), which then
// neither wait nor allocate, and nothing else of the engine.
using CaptureProc = bool (*)(Handle channel, const void* data, std::uint32_t bytes, void* user);

// End notice of a stream. Runs once on an engine thread when a memory stream has played out (again
// after each restart). It may free its own stream. A stream freed on another thread waits for a
// notice in progress, and never notifies after freeStream() returns.
using EndProc = std::function<void(Handle channel)>;

// Told that the capture device of recording channel `channel` is gone: the backend reported it
// removed (unplugged, sound server ended), or nothing came for kCaptureGiveUpMs while capturing.
// Runs once per channel on an engine thread (the capture thread or the stall watch), never after
// freeCapture() returns: it may only hand the news on (a queued call), never call into the
// capture functions.
using LostProc = std::function<void(Handle channel)>;

// Capture that delivered audio and then nothing for this long while running (not paused) is
// stalled: the sound server or the device hangs, and it may come back. Milliseconds.
inline constexpr std::uint32_t kCaptureStallMs = 1000;
// A stall this long counts as a lost device (one gone without the backend telling). Milliseconds.
inline constexpr std::uint32_t kCaptureGiveUpMs = 60000;

class AudioBackend;

// Why a file stream could not be made.
enum class FileProblem : std::uint8_t {
    None,
    NoOutput,           // no output device (initOutput failed or was never called)
    CannotOpen,         // missing, unreadable, or not a plain file
    Empty,              // 0 bytes
    NotWav,             // no RIFF/WAVE signature
    Damaged,            // a WAV whose "fmt " or "data" chunk is missing or cut short
    UnsupportedFormat,  // a sample format, channel count or rate that is not played
    NoAudio,            // a WAV whose data chunk holds no whole frame
};

struct FileVerdict {
    FileProblem problem = FileProblem::None;
    // What the file's "fmt " says, as far as it was read (0 when not).
    std::uint16_t formatTag = 0;  // 1 PCM, 3 float; an extensible file's sub-format
    std::uint16_t bits = 0;
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;  // Hz
};

class AudioEngine {
  public:
    explicit AudioEngine(std::unique_ptr<AudioBackend> backend);
    ~AudioEngine();
    AudioEngine(const AudioEngine&) = delete;
    AudioEngine& operator=(const AudioEngine&) = delete;

    // --- output device -------------------------------------------------------------------
    // Opens the output side (device -1 = system default) at the given mixing rate. Streams can
    // only be created after a successful call. Returns false when no output is available.
    bool initOutput(int device, int rate);
    // Frees the output side and every stream.
    void freeOutput();

    // --- capture -------------------------------------------------------------------------
    // Name of capture device `index` (0-based, system default first). False when there is none.
    bool captureDeviceName(int index, std::string* name) const;
    // Opens capture device `index` for the next startCapture. Indices are those of the latest
    // listing. False when there is no such device or one is open already.
    bool openCapture(int index);
    // Starts capture on the opened device: rate in Hz, channels (1 or 2), sample flags. `proc`
    // gets a block every ~100 ms, in the format asked for (24-bit packed in 3 bytes a sample,
    // whatever the device delivers). Returns the recording channel's handle, 0 on failure.
    Handle startCapture(std::uint32_t rate, std::uint32_t channels, std::uint32_t flags,
                        CaptureProc proc, void* user);
    // Stops and frees the recording channel and closes the capture device. The audio captured
    // since the last full block, paused or not, then goes to the receiver on this thread before
    // this returns (see CaptureProc); no block is delivered after it returns. Safe to call when
    // nothing is open. Destroying the engine frees the capture without that last delivery.
    void freeCapture();

    // Registers the lost-device notice for every recording channel (an empty one removes it).
    void setCaptureLostNotice(LostProc proc);
    // True once the device of recording channel `channel` was lost: the channel captures nothing
    // more, and freeCapture() still hands over what came before the loss. Any thread.
    bool captureLost(Handle channel) const;
    // True while recording channel `channel` runs and has delivered nothing for kCaptureStallMs
    // (and is not lost). Any thread.
    bool captureStalled(Handle channel) const;

    // --- channels (recording channels and streams) ----------------------------------------
    // Starts or resumes a channel; restart = true plays a stream from its start (a played-out
    // memory stream always starts again from its start). Any thread; from the capture callback,
    // only the latest push stream without restart, whose output then starts without waiting
    // (with SDL, up to 10 ms later).
    bool play(Handle channel, bool restart);
    // Pauses a channel (a paused recording channel delivers nothing and its position stands).
    // A recording channel keeps the chunk the device is capturing at the call: it may reach the
    // receiver before this returns (on the capture thread, or on this one).
    bool pause(Handle channel);
    // 1 while playing or capturing, 0 when stopped or played out, 3 when paused, -1 on a bad
    // handle.
    int state(Handle channel) const;

    // Push stream: a stream fed by pushData. Not playing until play().
    Handle createPushStream(std::uint32_t rate, std::uint32_t channels, std::uint32_t flags);
    // Queues bytes on a push stream (copied). Returns the queued byte count, -1 on failure. One
    // feeding thread at a time; the capture callback may feed only the latest push stream (live
    // monitoring), with no lock and no allocation; there, a stream that monitorCapture() feeds
    // takes nothing more (it has each period already). A dry stream plays silence and resumes when
    // fed; play() with restart drops the queue.
    std::int64_t pushData(Handle stream, const void* data, std::uint32_t bytes);

    // Live monitoring from the capture itself: every period the device delivers (a few
    // milliseconds of audio) is queued on push stream `stream` as it is captured, and the stream
    // starts playing at the first; the receiver's 100 ms blocks are unchanged. Only the latest
    // push stream can be fed this way; freeing it, or 0, ends the feeding. False on a handle that
    // is not the latest push stream. GUI thread.
    bool monitorCapture(Handle stream);

    // Memory stream over a WAV image (RIFF header + data) owned by the caller, played in place:
    // the memory must stay valid and unchanged until the stream is freed. 0 on failure.
    Handle createMemoryStream(const void* image, std::uint64_t length);
    // File stream over a WAV file, played where it lies: only the header is read here; the
    // samples are read as they play, on the playback thread, through a descriptor kept open,
    // so a file replaced by rename while it plays goes on playing as it was, and one cut short
    // in place ends early (its length then shrinks to what was there). Plays PCM 8/16/24/32-bit
    // and 32/64-bit float, plain or extensible; 24-bit plays as 32-bit and 64-bit float as
    // 32-bit float. 0 on failure, with the reason in `verdict` when given. Length and position
    // are in bytes of the played format.
    Handle createFileStream(const std::string& path, FileVerdict* verdict = nullptr);
    // Registers the end notice of a stream. Returns a non-zero sync handle on success.
    Handle setEndNotice(Handle stream, EndProc proc);

    // Frees a stream (push or memory). False when the handle is 0 or already freed.
    bool freeStream(Handle stream);

    // --- analysis --------------------------------------------------------------------------
    // Peak of the latest ~20 ms: left in the low 16 bits, right in the high 16 bits, each
    // 0..32768. 0 while the channel is not playing; 0xFFFFFFFF on a bad handle.
    std::uint32_t level(Handle channel) const;
    // Bytes played (streams) or captured (recording channel); -1 on a bad handle.
    std::int64_t positionBytes(Handle channel) const;
    // Length in bytes of a memory or file stream's data as played; -1 for other channels or a
    // bad handle.
    std::int64_t lengthBytes(Handle channel) const;
    // Bytes to seconds in the channel's format; negative on a bad handle.
    double bytesToSeconds(Handle channel, std::int64_t bytes) const;
    // Channel count, 0 on a bad handle.
    std::uint32_t channelCount(Handle channel) const;
    // Sample rate in Hz, 0 on a bad handle.
    std::uint32_t sampleRate(Handle channel) const;
    // True when the channel's format is the one that createPushStream or startCapture makes from
    // these arguments (rate in Hz, channels, sample flags); false on a bad handle.
    bool hasFormat(Handle channel, std::uint32_t rate, std::uint32_t channels,
                   std::uint32_t flags) const;
    // The latest `frames` frames (<= 2048), interleaved floats in -1..1, oldest first, into `out`
    // (room for frames * channelCount values). False on a bad handle; `out` is then untouched.
    bool latestSamples(Handle channel, float* out, std::uint32_t frames) const;
    // The frames `channel` took in since `*cursor`, at most `maxFrames`, interleaved floats in
    // -1..1, oldest first, into `out` (room for maxFrames * channelCount values); `*cursor` moves
    // past them. A cursor counts frames since the channel was made: start at 0 for everything
    // still held, or at kFromNow for nothing before the call. A recording channel holds about
    // two seconds at 48 kHz; frames older than the channel holds are skipped and counted in
    // `*skipped` when given. Returns the frames copied: 0 on a bad handle too. Never waits for
    // the capture thread, nor it for this.
    static constexpr std::uint64_t kFromNow = ~std::uint64_t{0};
    std::uint32_t samplesSince(Handle channel, std::uint64_t* cursor, float* out,
                               std::uint32_t maxFrames, std::uint64_t* skipped = nullptr) const;
    // 1024 magnitudes of a Hann-windowed 2048-point FFT over the latest 2048 frames, channels
    // mixed; a full-scale sine centred on a bin reads ~1.0 there. False on a bad handle.
    bool spectrum2048(Handle channel, float* out1024) const;

    AudioBackend& backend() { return *m_backend; }

  private:
    struct Impl;
    std::unique_ptr<AudioBackend> m_backend;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace quillar::audio
