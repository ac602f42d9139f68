// Where the audio lies in a WAV image held in memory, and in which format: what a memory stream
// needs to play a recording in place.
#pragma once

#include <cstdint>

#include "audio/audio_backend.h"

namespace quillar::audio {

struct WavLayout {
    AudioFormat format;
    std::uint64_t dataOffset = 0;  // bytes from the start of the image
    std::uint64_t dataBytes = 0;   // whole frames only
};

// Reads a RIFF/WAVE image: PCM 8/16/32-bit or 32-bit float (plain or extensible "fmt "), 1..8
// channels. The "data" chunk is found by walking the chunks, so images with extra chunks play
// too. A data size beyond the image (a recording cut short) is clipped to what is there. False
// when the image is not a playable WAV.
bool parseWavLayout(const void* image, std::uint64_t length, WavLayout* layout);

}  // namespace quillar::audio
