// Real audio devices through SDL's audio subsystem.
#pragma once

#include "audio/audio_backend.h"

namespace quillar::audio {

class SdlBackend : public AudioBackend {
  public:
    SdlBackend();
    ~SdlBackend() override;
};

}  // namespace quillar::audio
