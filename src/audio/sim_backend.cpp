#include "audio/sim_backend.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

#include "audio/audio_engine.h"

namespace quillar::audio {

namespace {

void writeSample(double value, SampleType type, std::uint8_t* out) {
    value = std::clamp(value, -1.0, 1.0);
    switch (type) {
        case SampleType::U8:
            *out = static_cast<std::uint8_t>(
                std::clamp<long>(std::lround(value * 128.0) + 128, 0, 255));
            break;
        case SampleType::S16: {
            const auto v = static_cast<std::int16_t>(
                std::clamp<long>(std::lround(value * 32768.0), -32768, 32767));
            std::memcpy(out, &v, sizeof v);
            break;
        }
        case SampleType::S24: {
            const auto v = static_cast<std::int32_t>(
                std::clamp<long>(std::lround(value * 8388608.0), -8388608, 8388607));
            out[0] = static_cast<std::uint8_t>(v);
            out[1] = static_cast<std::uint8_t>(v >> 8);
            out[2] = static_cast<std::uint8_t>(v >> 16);
            break;
        }
        case SampleType::S32: {
            const auto v = static_cast<std::int32_t>(
                std::clamp<long long>(std::llround(value * 2147483648.0), INT32_MIN, INT32_MAX));
            std::memcpy(out, &v, sizeof v);
            break;
        }
        case SampleType::F32: {
            const auto v = static_cast<float>(value);
            std::memcpy(out, &v, sizeof v);
            break;
        }
    }
}

}  // namespace

struct SimBackend::State {
    // Lock order: deliveryMutex, then renderMutex, then mutex. The engine's callbacks run with
    // deliveryMutex (capture) or renderMutex (output) held, never with `mutex` held.
    // Held while captured audio goes to the sink. Recursive, like a device lock: a receiver may
    // pause or resume the capture from inside its block.
    std::recursive_mutex deliveryMutex;
    std::mutex renderMutex;    // held while streams render
    mutable std::mutex mutex;  // everything below

    std::vector<std::string> devices{"Simulated input"};
    bool outputAvailable = true;
    bool captureFails = false;
    OpeningSignal signal;
    std::function<void()> afterPump;
    std::atomic<bool> hasAfterPump{false};

    bool captureOpen = false;
    bool capturePaused = true;
    AudioFormat captureFormat;
    CaptureSink* sink = nullptr;
    bool captureLost = false;       // the open device has disappeared
    std::int64_t captureFrame = 0;  // frames captured since the device was opened
    bool holdsChunk = false;
    std::function<void()> closeOutputHook;
    std::vector<std::uint8_t> inFlight;  // a captured chunk not yet handed over
    std::vector<CaptureOpen> opens;

    bool outputInit = false;
    EndListener* listener = nullptr;
    struct Output {
        AudioFormat format;
        OutputSource* source = nullptr;
        bool playing = false;
    };
    std::map<std::uint32_t, Output> outputs;
    std::map<std::uint32_t, std::vector<std::uint8_t>> played;
};

SimBackend::SimBackend() : m_state(std::make_unique<State>()) {}
SimBackend::~SimBackend() = default;

void SimBackend::setDevices(std::vector<std::string> names) {
    std::lock_guard lock(m_state->mutex);
    m_state->devices = std::move(names);
}

void SimBackend::setOutputAvailable(bool available) {
    std::lock_guard lock(m_state->mutex);
    m_state->outputAvailable = available;
}

void SimBackend::setCaptureFails(bool fails) {
    std::lock_guard lock(m_state->mutex);
    m_state->captureFails = fails;
}

void SimBackend::setSignal(Signal signal) {
    std::lock_guard lock(m_state->mutex);
    m_state->signal =
        signal ? [signal = std::move(signal)](std::size_t, int channel,
                                              std::int64_t frame) { return signal(channel, frame); }
               : OpeningSignal();
}

void SimBackend::setOpeningSignal(OpeningSignal signal) {
    std::lock_guard lock(m_state->mutex);
    m_state->signal = std::move(signal);
}

void SimBackend::setHoldsChunkInFlight(bool holds) {
    std::lock_guard lock(m_state->mutex);
    m_state->holdsChunk = holds;
}

bool SimBackend::chunkInFlight() const {
    std::lock_guard lock(m_state->mutex);
    return !m_state->inFlight.empty();
}

namespace {

// With deliveryMutex held: hands the chunk in flight, if any, to the sink.
void deliverInFlight(std::mutex& mutex, std::vector<std::uint8_t>& inFlight, CaptureSink* sink) {
    std::vector<std::uint8_t> chunk;
    {
        std::lock_guard lock(mutex);
        chunk.swap(inFlight);
    }
    if (!chunk.empty() && sink != nullptr) {
        sink->captured(chunk.data(), static_cast<std::uint32_t>(chunk.size()));
    }
}

}  // namespace

void SimBackend::pumpCapture(std::int64_t frames) {
    deliverCapture(frames);
    afterPump();
}

void SimBackend::afterPump() {
    // Most tests set none: their pumping threads then share no lock for it.
    if (!m_state->hasAfterPump.load(std::memory_order_acquire)) {
        return;
    }
    std::function<void()> hook;
    {
        std::lock_guard lock(m_state->mutex);
        hook = m_state->afterPump;
    }
    if (hook) {
        hook();
    }
}

void SimBackend::setAfterPump(std::function<void()> hook) {
    std::lock_guard lock(m_state->mutex);
    m_state->hasAfterPump.store(static_cast<bool>(hook), std::memory_order_release);
    m_state->afterPump = std::move(hook);
}

void SimBackend::deliverCapture(std::int64_t frames) {
    State& s = *m_state;
    std::lock_guard delivery(s.deliveryMutex);
    AudioFormat format;
    CaptureSink* sink = nullptr;
    std::int64_t first = 0;
    OpeningSignal signal;
    std::size_t opening = 0;
    bool holds = false;
    {
        std::lock_guard lock(s.mutex);
        if (!s.captureOpen || s.capturePaused || s.sink == nullptr || frames <= 0) {
            return;
        }
        format = s.captureFormat;
        sink = s.sink;
        holds = s.holdsChunk;
        first = s.captureFrame;
        s.captureFrame += frames;
        signal = s.captureLost ? OpeningSignal() : s.signal;
        opening = s.opens.size() - 1;
        if (!s.captureLost) {
            s.opens.back().frames += frames;
        }
    }
    const std::uint32_t sampleBytes = format.bytesPerSample();
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frames) * format.bytesPerFrame());
    std::uint8_t* out = bytes.data();
    for (std::int64_t f = 0; f < frames; ++f) {
        for (std::uint32_t c = 0; c < format.channels; ++c) {
            writeSample(signal ? signal(opening, static_cast<int>(c), first + f) : 0.0, format.type,
                        out);
            out += sampleBytes;
        }
    }
    deliverInFlight(s.mutex, s.inFlight, sink);
    // Like a device, hand the audio over in chunks smaller than a block.
    const std::size_t chunk = std::size_t{1024} * format.bytesPerFrame();
    for (std::size_t at = 0; at < bytes.size(); at += chunk) {
        const std::size_t n = std::min(chunk, bytes.size() - at);
        if (holds && at + n == bytes.size()) {
            std::lock_guard lock(s.mutex);
            s.inFlight.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end());
            break;
        }
        sink->captured(bytes.data() + at, static_cast<std::uint32_t>(n));
    }
}

void SimBackend::loseCapture() {
    State& s = *m_state;
    {
        std::lock_guard delivery(s.deliveryMutex);
        CaptureSink* sink = nullptr;
        {
            std::lock_guard lock(s.mutex);
            if (!s.captureOpen || s.captureLost || s.sink == nullptr) {
                return;
            }
            s.captureLost = true;
            sink = s.sink;
        }
        sink->captureLost();
    }
    afterPump();
}

void SimBackend::pumpCaptureBlock() {
    std::uint32_t rate = 0;
    {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->captureOpen) {
            return;
        }
        rate = m_state->captureFormat.rate;
    }
    pumpCapture(rate / 10);
}

void SimBackend::pumpOutput(std::int64_t frames) {
    State& s = *m_state;
    if (frames <= 0) {
        return;
    }
    std::vector<std::uint32_t> ended;
    EndListener* listener = nullptr;
    {
        std::lock_guard render(s.renderMutex);
        std::vector<std::pair<std::uint32_t, State::Output>> playing;
        {
            std::lock_guard lock(s.mutex);
            listener = s.listener;
            for (const auto& [id, out] : s.outputs) {
                if (out.playing) {
                    playing.emplace_back(id, out);
                }
            }
        }
        std::vector<std::uint8_t> buffer;
        for (const auto& [id, out] : playing) {
            buffer.resize(static_cast<std::size_t>(frames) * out.format.bytesPerFrame());
            const auto r =
                out.source->render(buffer.data(), static_cast<std::uint32_t>(buffer.size()));
            std::lock_guard lock(s.mutex);
            auto& log = s.played[id];
            log.insert(log.end(), buffer.begin(), buffer.begin() + r.bytes);
            if (r.ended) {
                ended.push_back(id);
            }
        }
    }
    // Outside every lock: the listener may free the stream, which closes its output.
    if (listener != nullptr) {
        for (auto id : ended) {
            listener->outputEnded(id);
        }
    }
}

std::vector<SimBackend::CaptureOpen> SimBackend::captureOpens() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->opens;
}

int SimBackend::captureOpenCount() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->captureOpen ? 1 : 0;
}

std::int64_t SimBackend::capturedFrames() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->captureFrame;
}

bool SimBackend::outputOpen() const {
    std::lock_guard lock(m_state->mutex);
    return m_state->outputInit;
}

std::vector<std::uint8_t> SimBackend::playedBytes(std::uint32_t streamHandle) const {
    std::lock_guard lock(m_state->mutex);
    auto it = m_state->played.find(streamHandle);
    return it == m_state->played.end() ? std::vector<std::uint8_t>{} : it->second;
}

std::int64_t SimBackend::queuedBytes(std::uint32_t streamHandle) const {
    State& s = *m_state;
    std::lock_guard render(s.renderMutex);
    OutputSource* source = nullptr;
    {
        std::lock_guard lock(s.mutex);
        auto it = s.outputs.find(streamHandle);
        if (it == s.outputs.end()) {
            return 0;
        }
        source = it->second.source;
    }
    return static_cast<std::int64_t>(source->backlog());
}

int SimBackend::playingStreamCount() const {
    std::lock_guard lock(m_state->mutex);
    return static_cast<int>(std::count_if(m_state->outputs.begin(), m_state->outputs.end(),
                                          [](const auto& entry) { return entry.second.playing; }));
}

int SimBackend::openStreamCount() const {
    std::lock_guard lock(m_state->mutex);
    return static_cast<int>(m_state->outputs.size());
}

void SimBackend::setServerBlocked(bool blocked) {
    {
        std::lock_guard lock(m_serverMutex);
        m_serverBlocked = blocked;
    }
    m_serverAnswers.notify_all();
}

void SimBackend::waitForServer() {
    std::unique_lock lock(m_serverMutex);
    m_serverAnswers.wait(lock, [this] { return !m_serverBlocked; });
}

std::vector<std::string> SimBackend::captureDevices() {
    waitForServer();
    std::lock_guard lock(m_state->mutex);
    return m_state->devices;
}

bool SimBackend::openCapture(int index, const AudioFormat& format, CaptureSink* sink) {
    waitForServer();
    std::lock_guard lock(m_state->mutex);
    State& s = *m_state;
    if (s.captureFails || s.captureOpen || index < 0 ||
        static_cast<std::size_t>(index) >= s.devices.size()) {
        return false;
    }
    s.opens.push_back({index, format.rate, format.channels,
                       format.type == SampleType::U8    ? kSample8Bit
                       : format.type == SampleType::F32 ? kSampleFloat
                       : format.type == SampleType::S24 ? kSample24Bit
                                                        : 0u,
                       0});
    s.captureOpen = true;
    s.capturePaused = true;
    s.captureFormat = format;
    s.sink = sink;
    s.captureFrame = 0;
    s.inFlight.clear();
    s.captureLost = false;
    return true;
}

void SimBackend::setCapturePaused(bool paused) {
    waitForServer();
    State& s = *m_state;
    // Waits for a delivery in progress, and finishes the chunk in flight, as a device does.
    std::lock_guard delivery(s.deliveryMutex);
    if (paused) {
        CaptureSink* sink = nullptr;
        {
            std::lock_guard lock(s.mutex);
            sink = s.capturePaused ? nullptr : s.sink;
        }
        deliverInFlight(s.mutex, s.inFlight, sink);
    }
    std::lock_guard lock(s.mutex);
    s.capturePaused = paused;
    s.inFlight.clear();
}

void SimBackend::closeCapture() {
    waitForServer();
    State& s = *m_state;
    std::lock_guard delivery(s.deliveryMutex);
    std::lock_guard lock(s.mutex);
    // A device shut mid-read loses the chunk it was reading.
    s.captureOpen = false;
    s.sink = nullptr;
    s.inFlight.clear();
}

bool SimBackend::initOutput(int, int, EndListener* listener) {
    std::lock_guard lock(m_state->mutex);
    if (!m_state->outputAvailable) {
        return false;
    }
    m_state->outputInit = true;
    m_state->listener = listener;
    return true;
}

void SimBackend::freeOutput() {
    std::lock_guard render(m_state->renderMutex);
    std::lock_guard lock(m_state->mutex);
    m_state->outputInit = false;
    m_state->listener = nullptr;
    m_state->outputs.clear();
}

bool SimBackend::openOutput(std::uint32_t streamId, const AudioFormat& format,
                            OutputSource* source) {
    std::lock_guard lock(m_state->mutex);
    if (!m_state->outputInit || source == nullptr) {
        return false;
    }
    m_state->outputs[streamId] = {format, source, false};
    m_state->played[streamId].clear();
    return true;
}

void SimBackend::setOutputPlaying(std::uint32_t streamId, bool playing) {
    std::lock_guard lock(m_state->mutex);
    auto it = m_state->outputs.find(streamId);
    if (it != m_state->outputs.end()) {
        it->second.playing = playing;
    }
}

void SimBackend::requestOutputPlaying(std::uint32_t streamId) {
    setOutputPlaying(streamId, true);
}

void SimBackend::setCloseOutputHook(std::function<void()> hook) {
    std::lock_guard lock(m_state->mutex);
    m_state->closeOutputHook = std::move(hook);
}

void SimBackend::closeOutput(std::uint32_t streamId) {
    std::function<void()> hook;
    {
        std::lock_guard lock(m_state->mutex);
        hook = m_state->closeOutputHook;
    }
    if (hook) {
        hook();
    }
    std::lock_guard render(m_state->renderMutex);
    std::lock_guard lock(m_state->mutex);
    m_state->outputs.erase(streamId);
}

}  // namespace quillar::audio
