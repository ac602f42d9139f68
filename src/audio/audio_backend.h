// The platform under the audio engine: real devices (SDL) or a simulation (tests). The engine owns
// all channel state (queues, positions, analysis); a backend only moves raw bytes between devices
// and the engine, in the format the engine asked for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillar::audio {

enum class SampleType : std::uint8_t {
    U8,   // unsigned 8-bit, silence at 128
    S16,  // signed 16-bit little-endian
    S24,  // signed 24-bit little-endian, packed in 3 bytes (as a 24-bit WAV file holds it)
    S32,  // signed 32-bit little-endian (only from WAV files)
    F32,  // 32-bit IEEE float little-endian, -1..1
};

struct AudioFormat {
    std::uint32_t rate = 0;      // Hz
    std::uint32_t channels = 0;  // 1..8
    SampleType type = SampleType::S16;

    std::uint32_t bytesPerSample() const {
        switch (type) {
            case SampleType::U8:
                return 1;
            case SampleType::S16:
                return 2;
            case SampleType::S24:
                return 3;
            case SampleType::S32:
            case SampleType::F32:
                return 4;
        }
        return 2;
    }
    std::uint32_t bytesPerFrame() const { return bytesPerSample() * channels; }
    bool operator==(const AudioFormat&) const = default;
};

// Receives captured audio. Called on the backend's capture thread with any number of whole frames.
class CaptureSink {
  public:
    virtual void captured(const void* data, std::uint32_t bytes) = 0;
    // The open device is gone (unplugged, or its sound server ended). Called at most once per
    // open, on the capture thread, after the last audio captured before the loss; what the
    // device delivers afterwards (SDL pads with silence) is not real audio.
    virtual void captureLost() = 0;

  protected:
    ~CaptureSink() = default;
};

// Produces the audio of one output stream. render() runs on the backend's playback thread.
class OutputSource {
  public:
    struct Rendered {
        std::uint32_t bytes = 0;  // bytes of real audio written at the start of `out`
        bool ended = false;       // the source has just played out; reported once per play-through
    };
    // Fills `out` with `bytes` bytes (a whole number of frames); what the source cannot supply is
    // filled with silence.
    virtual Rendered render(void* out, std::uint32_t bytes) = 0;
    // Bytes still to be rendered: a push stream's queue, what is left of a memory stream.
    virtual std::uint64_t backlog() = 0;
    // Live audio (monitoring): heard as soon as it comes, so the device buffers as little as
    // it can; everything else buffers more, for smooth playback on a busy desktop.
    virtual bool live() const { return false; }

  protected:
    ~OutputSource() = default;
};

// Told when a stream has played out. Called by the backend on one of its threads, never from
// inside the device callback (the receiver may free the stream, which closes the device).
class EndListener {
  public:
    virtual void outputEnded(std::uint32_t streamId) = 0;

  protected:
    ~EndListener() = default;
};

// Every function is called by the engine without any engine lock held. Capture functions come from
// one thread at a time; output functions from the GUI thread and the engine's notice threads, and
// requestOutputPlaying from the capture thread.
class AudioBackend {
  public:
    virtual ~AudioBackend() = default;

    // Names of the capture devices, the system default first, no duplicates.
    virtual std::vector<std::string> captureDevices() = 0;
    // Opens device `index` of captureDevices() in `format`, delivering to `sink` while not paused.
    // Capture starts paused.
    virtual bool openCapture(int index, const AudioFormat& format, CaptureSink* sink) = 0;
    // Pausing returns once the device delivers nothing more; the chunk it was capturing when
    // asked (audio from before the request) is delivered to `sink` before that.
    virtual void setCapturePaused(bool paused) = 0;
    // Closes the capture device; `sink` is not called after this returns.
    virtual void closeCapture() = 0;

    // Makes output available. `listener` receives end notices until freeOutput().
    virtual bool initOutput(int device, int rate, EndListener* listener) = 0;
    virtual void freeOutput() = 0;
    // Opens one output (paused) for a stream. `source` must outlive closeOutput(streamId).
    virtual bool openOutput(std::uint32_t streamId, const AudioFormat& format,
                            OutputSource* source) = 0;
    virtual void setOutputPlaying(std::uint32_t streamId, bool playing) = 0;
    // Starts an open output playing from the capture callback: returns at once, with no lock,
    // allocation or system call; the output may start a little later (SDL: within 10 ms). A
    // stream closed meanwhile, or an unknown id, is ignored.
    virtual void requestOutputPlaying(std::uint32_t streamId) = 0;
    // `source` is not called after this returns. Must not be called from inside render().
    virtual void closeOutput(std::uint32_t streamId) = 0;
};

}  // namespace quillar::audio
