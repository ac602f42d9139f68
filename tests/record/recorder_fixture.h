// The recorder on the simulated engine with an inline device worker: a take's frames are numbered
// by its samples, so a test sees where a take begins and ends.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/sim_backend.h"
#include "kit/record_buffer.h"
#include "record/device_worker.h"
#include "record/recorder.h"

namespace quillar::test {

using State = Recorder::State;
using Change = Recorder::Change;

constexpr std::uint32_t kRate = 8000;  // 800 frames a block
constexpr std::int64_t kSecond = kRate;

// Every sample says which frame it is (modulo 16384), so a take shows where it begins and ends.
inline double frameSignal(int, std::int64_t frame) {
    return static_cast<double>(frame % 16384) / 32768.0;
}

class RecorderTest : public testing::Test {
  protected:
    RecorderTest()
        : sim(*new audio::SimBackend),
          engine(std::unique_ptr<audio::AudioBackend>(&sim)),
          recorder(engine, worker, [this](Change c) { changes.push_back(c); }) {
        sim.setDevices({"Simulated input", "USB microphone"});
        sim.setSignal(frameSignal);
    }

    // The newest take's audio (empty before the first).
    const RecordBuffer& buffer() const {
        return recorder.latestTake() ? recorder.latestTake()->audio() : m_none;
    }
    // The frame numbers of a take's audio, from its first channel.
    static std::vector<std::int64_t> framesOf(const RecordBuffer& audio) {
        std::vector<std::int64_t> frames;
        for (std::size_t i = 0; i + 4 <= audio.size(); i += 4) {
            std::int16_t v = 0;
            std::memcpy(&v, audio.data() + i, 2);
            frames.push_back(v);
        }
        return frames;
    }
    std::vector<std::int64_t> takeFrames() const { return framesOf(buffer()); }
    void pump(std::int64_t frames) {
        // In device-sized chunks, as a real device delivers.
        for (std::int64_t done = 0; done < frames; done += 40) {
            sim.pumpCapture(std::min<std::int64_t>(40, frames - done));
        }
        recorder.poll();
    }
    const Recorder::Format format{kRate, 2, 0};

    audio::SimBackend& sim;
    audio::AudioEngine engine;
    RecordBuffer m_none;
    DeviceWorker worker;  // inline
    std::vector<Change> changes;
    Recorder recorder;
};

}  // namespace quillar::test
