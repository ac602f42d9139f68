#include "audio/audio_engine.h"

#include "audio/audio_backend.h"

namespace quillar::audio {

struct AudioEngine::Impl {};

AudioEngine::AudioEngine(std::unique_ptr<AudioBackend> backend)
    : m_backend(std::move(backend)), m_impl(std::make_unique<Impl>()) {}
AudioEngine::~AudioEngine() = default;
bool AudioEngine::initOutput(int, int) {
    return false;
}
void AudioEngine::freeOutput() {}
bool AudioEngine::captureDeviceName(int, std::string*) const {
    return false;
}
bool AudioEngine::openCapture(int) {
    return false;
}
Handle AudioEngine::startCapture(std::uint32_t, std::uint32_t, std::uint32_t, CaptureProc, void*) {
    return 0;
}
void AudioEngine::freeCapture() {}
bool AudioEngine::play(Handle, bool) {
    return false;
}
bool AudioEngine::pause(Handle) {
    return false;
}
int AudioEngine::state(Handle) const {
    return -1;
}
Handle AudioEngine::createPushStream(std::uint32_t, std::uint32_t, std::uint32_t) {
    return 0;
}
std::int64_t AudioEngine::pushData(Handle, const void*, std::uint32_t) {
    return -1;
}
Handle AudioEngine::createMemoryStream(const void*, std::uint64_t) {
    return 0;
}
Handle AudioEngine::setEndNotice(Handle, EndProc) {
    return 0;
}
bool AudioEngine::freeStream(Handle) {
    return false;
}
std::uint32_t AudioEngine::level(Handle) const {
    return 0xFFFFFFFFu;
}
std::int64_t AudioEngine::positionBytes(Handle) const {
    return -1;
}
std::int64_t AudioEngine::lengthBytes(Handle) const {
    return -1;
}
double AudioEngine::bytesToSeconds(Handle, std::int64_t) const {
    return -1.0;
}
std::uint32_t AudioEngine::channelCount(Handle) const {
    return 0;
}
std::uint32_t AudioEngine::sampleRate(Handle) const {
    return 0;
}
bool AudioEngine::latestSamples(Handle, float*, std::uint32_t) const {
    return false;
}
bool AudioEngine::spectrum2048(Handle, float*) const {
    return false;
}

}  // namespace quillar::audio
