#include "audio/sdl_format.h"

namespace quillar::audio::sdl {

SDL_AudioFormat toSdl(SampleType type) {
    switch (type) {
        case SampleType::U8:
            return AUDIO_U8;
        case SampleType::S16:
            return AUDIO_S16LSB;
        case SampleType::S24:  // SDL has no packed 24-bit: the backend packs and widens
        case SampleType::S32:
            return AUDIO_S32LSB;
        case SampleType::F32:
            return AUDIO_F32LSB;
    }
    return AUDIO_S16LSB;
}

std::uint32_t sdlFrameBytes(const AudioFormat& format) {
    return SDL_AUDIO_BITSIZE(toSdl(format.type)) / 8 * format.channels;
}

Uint16 bufferFrames(std::uint32_t rate) {
    Uint16 frames = 128;
    while (frames < rate / 50 && frames < 8192) {
        frames = static_cast<Uint16>(frames * 2);
    }
    return frames;
}

Uint16 livePeriodFrames(std::uint32_t rate) {
    Uint16 frames = 64;
    while (frames < rate / 200 && frames < 2048) {
        frames = static_cast<Uint16>(frames * 2);
    }
    return frames;
}

SDL_AudioSpec specFor(const AudioFormat& format, SDL_AudioCallback callback, void* user) {
    SDL_AudioSpec spec{};
    spec.freq = static_cast<int>(format.rate);
    spec.format = toSdl(format.type);
    spec.channels = static_cast<Uint8>(format.channels);
    spec.samples = bufferFrames(format.rate);
    spec.callback = callback;
    spec.userdata = user;
    return spec;
}

}  // namespace quillar::audio::sdl
