// The platform under the audio engine: real devices (SDL) or a simulation (tests).
#pragma once

namespace quillar::audio {

class AudioBackend {
  public:
    virtual ~AudioBackend() = default;
};

}  // namespace quillar::audio
