#include "audio/sdl_backend.h"

namespace quillar::audio {

SdlBackend::SdlBackend() = default;
SdlBackend::~SdlBackend() = default;

}  // namespace quillar::audio
