// A simulated audio platform for deterministic tests: the test decides which devices exist and
// what they hear, pumps capture and playback by hand, and inspects afterwards what was opened,
// queued and played. Nothing runs on its own thread; blocks arrive on the thread that pumps.
// Pumping and the engine's calls may come from different threads (the thread-safety tests do).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/audio_backend.h"

namespace quillar::audio {

class SimBackend : public AudioBackend {
  public:
    // What a capture device hears: sample value in -1..1 of `channel` (0 = left) at frame `frame`
    // counted from the start of the capture.
    using Signal = std::function<double(int channel, std::int64_t frame)>;
    // The same, told which opening of a capture device (0 for the first) hears it: a test that
    // reopens devices tells every stretch of audio apart.
    using OpeningSignal =
        std::function<double(std::size_t opening, int channel, std::int64_t frame)>;

    struct CaptureOpen {
        int device = -1;
        std::uint32_t rate = 0;
        std::uint32_t channels = 0;
        std::uint32_t flags = 0;
        // Frames it captured before it was closed or lost (what came after a loss is not the
        // room's: the backend hands over silence then).
        std::int64_t frames = 0;
    };

    SimBackend();
    ~SimBackend() override;

    // --- set-up by the test ------------------------------------------------------------------
    void setDevices(std::vector<std::string> names);  // default: one device "Simulated input"
    void setOutputAvailable(bool available);          // default: true
    void setCaptureFails(bool fails);                 // opening any capture device fails
    void setSignal(Signal signal);                    // default: silence
    void setOpeningSignal(OpeningSignal signal);
    // With `holds` set, the last chunk of every pumpCapture stays in the device, captured but
    // not yet handed over, as a real device holds the chunk it is reading: the next pump or a
    // pause hands it over first; closing the device drops it. Default: off.
    void setHoldsChunkInFlight(bool holds);
    // Runs at the start of every closeOutput, on the caller's thread and outside the simulation's
    // locks: a test makes it block to play a sound server that takes its time to close a device.
    void setCloseOutputHook(std::function<void()> hook);
    // While the server is blocked, every call that would reach a real sound server (listing,
    // opening, pausing and closing capture) waits until it is unblocked, as a stopped server
    // makes them wait. Any thread. Default: answering.
    void setServerBlocked(bool blocked);
    // Runs after every pumpCapture and loseCapture, on the pumping thread and outside the
    // simulation's locks: a test window has its recorder look at what came, as its timer would.
    void setAfterPump(std::function<void()> hook);

    // --- pumping ---------------------------------------------------------------------------
    // Captures `frames` frames from the signal and hands them to the engine on this thread, so
    // the capture receiver runs here. Does nothing when no capture is running or it is paused.
    void pumpCapture(std::int64_t frames);
    // Delivers one whole 100 ms capture block (rate / 10 frames).
    void pumpCaptureBlock();
    // The open capture device disappears, as when its sound server ends: the engine is told on
    // this thread, and from then on pumping hands over silence (what SDL's PulseAudio driver
    // does). A device that merely stalls is one the test stops pumping.
    void loseCapture();
    // Lets every playing stream consume `frames` frames of its own rate; memory streams that run
    // out deliver their end notice on this thread.
    void pumpOutput(std::int64_t frames);

    // --- inspection ------------------------------------------------------------------------
    std::vector<CaptureOpen> captureOpens() const;  // every startCapture, in order
    int captureOpenCount() const;                   // devices currently open (0 or 1)
    // Frames captured since the latest startCapture, a chunk in flight included (kept after it
    // is freed).
    std::int64_t capturedFrames() const;
    bool chunkInFlight() const;
    bool outputOpen() const;
    // Audio a stream has played so far (padding silence excluded); kept after the stream is freed.
    std::vector<std::uint8_t> playedBytes(std::uint32_t streamHandle) const;
    std::int64_t queuedBytes(std::uint32_t streamHandle) const;  // push stream backlog
    int playingStreamCount() const;
    int openStreamCount() const;  // streams with an output open (playing or not)

    // --- AudioBackend overrides ------------------------------------------------------------
    std::vector<std::string> captureDevices() override;
    bool openCapture(int index, const AudioFormat& format, CaptureSink* sink) override;
    void setCapturePaused(bool paused) override;
    void closeCapture() override;
    bool initOutput(int device, int rate, EndListener* listener) override;
    void freeOutput() override;
    bool openOutput(std::uint32_t streamId, const AudioFormat& format,
                    OutputSource* source) override;
    void setOutputPlaying(std::uint32_t streamId, bool playing) override;
    // At once, on the calling thread (the simulation has no thread of its own).
    void requestOutputPlaying(std::uint32_t streamId) override;
    void closeOutput(std::uint32_t streamId) override;

  private:
    void waitForServer();
    void deliverCapture(std::int64_t frames);
    void afterPump();

    struct State;
    std::unique_ptr<State> m_state;
    std::mutex m_serverMutex;  // guards m_serverBlocked; taken alone
    std::condition_variable m_serverAnswers;
    bool m_serverBlocked = false;
};

}  // namespace quillar::audio
