// How Quillar's sample formats and periods are asked of SDL's audio devices. SdlBackend only; any
// thread.
#pragma once

#include <SDL.h>

#include <cstdint>

#include "audio/audio_backend.h"

namespace quillar::audio::sdl {

// What SDL is asked for; S24 is asked as S32 (SDL has no 3-byte samples).
SDL_AudioFormat toSdl(SampleType type);
// Bytes of one frame as SDL hands it over or takes it.
std::uint32_t sdlFrameBytes(const AudioFormat& format);

// Device buffer of about 20-40 ms: small enough for live monitoring, large enough that a busy
// desktop does not starve the device.
Uint16 bufferFrames(std::uint32_t rate);

// Period of about 5 ms for capture and live output: monitoring hears each captured period as it
// arrives and plays it through a device buffer of twice this, so these are what it lags by. The
// 100 ms blocks are put together from the captured periods in the engine.
Uint16 livePeriodFrames(std::uint32_t rate);

SDL_AudioSpec specFor(const AudioFormat& format, SDL_AudioCallback callback, void* user);

}  // namespace quillar::audio::sdl
