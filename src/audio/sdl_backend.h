// Real audio devices through SDL's audio subsystem (PulseAudio, PipeWire or ALSA underneath).
#pragma once

#include <memory>

#include "audio/audio_backend.h"

namespace quillar::audio {

class SdlBackend : public AudioBackend {
  public:
    SdlBackend();
    ~SdlBackend() override;

    std::vector<std::string> captureDevices() override;
    bool openCapture(int index, const AudioFormat& format, CaptureSink* sink) override;
    void setCapturePaused(bool paused) override;
    void closeCapture() override;
    bool initOutput(int device, int rate, EndListener* listener) override;
    void freeOutput() override;
    bool openOutput(std::uint32_t streamId, const AudioFormat& format,
                    OutputSource* source) override;
    void setOutputPlaying(std::uint32_t streamId, bool playing) override;
    void requestOutputPlaying(std::uint32_t streamId) override;
    void closeOutput(std::uint32_t streamId) override;

  private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace quillar::audio
