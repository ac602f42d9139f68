#include "audio/sim_backend.h"

namespace quillar::audio {

struct SimBackend::State {};

SimBackend::SimBackend() : m_state(std::make_unique<State>()) {}
SimBackend::~SimBackend() = default;
void SimBackend::setDevices(std::vector<std::string>) {}
void SimBackend::setOutputAvailable(bool) {}
void SimBackend::setCaptureFails(bool) {}
void SimBackend::setSignal(Signal) {}
void SimBackend::pumpCapture(std::int64_t) {}
void SimBackend::pumpCaptureBlock() {}
void SimBackend::pumpOutput(std::int64_t) {}
std::vector<SimBackend::CaptureOpen> SimBackend::captureOpens() const {
    return {};
}
int SimBackend::captureOpenCount() const {
    return 0;
}
bool SimBackend::outputOpen() const {
    return false;
}
std::vector<std::uint8_t> SimBackend::playedBytes(std::uint32_t) const {
    return {};
}
std::int64_t SimBackend::queuedBytes(std::uint32_t) const {
    return 0;
}
int SimBackend::playingStreamCount() const {
    return 0;
}

}  // namespace quillar::audio
