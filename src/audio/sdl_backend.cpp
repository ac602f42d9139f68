#include "audio/sdl_backend.h"

namespace quillar::audio {

struct SdlBackend::State {};

SdlBackend::SdlBackend() : m_state(std::make_unique<State>()) {}
SdlBackend::~SdlBackend() = default;
std::vector<std::string> SdlBackend::captureDevices() {
    return {};
}
bool SdlBackend::openCapture(int, const AudioFormat&, CaptureSink*) {
    return false;
}
void SdlBackend::setCapturePaused(bool) {}
void SdlBackend::closeCapture() {}
bool SdlBackend::initOutput(int, int, EndListener*) {
    return false;
}
void SdlBackend::freeOutput() {}
bool SdlBackend::openOutput(std::uint32_t, const AudioFormat&, OutputSource*) {
    return false;
}
void SdlBackend::setOutputPlaying(std::uint32_t, bool) {}
void SdlBackend::closeOutput(std::uint32_t) {}

}  // namespace quillar::audio
