// Judging a WAV file or a WAV image in memory as a whole take: its format, its length and the
// judgement of its samples, with `unreadable` for what the player cannot read or what holds no
// audio, and `format` for what a chosen profile does not allow. Any thread; each call is on its
// own (the scratch buffer is the caller's, one per thread).
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "quality/take_judge.h"

namespace quillar::quality {

// Which formats a project accepts: yubao = mono, 44100 Hz, 16-bit PCM; archive = 16 or 24-bit
// PCM at 44100, 48000 or 96000 Hz, 1 or 2 channels. None: any format the player reads.
enum class Profile : std::uint8_t { None, Yubao, Archive };

// "yubao" or "archive"; false for anything else.
bool ParseProfile(const QString& name, Profile* profile);
// Whether samples of this format fit the profile (always for Profile::None).
bool FitsProfile(Profile profile, std::uint32_t rate, std::uint16_t bits, std::uint16_t channels,
                 bool isFloat);

struct WavJudgement {
    Judgement judgement;
    // As the file says, 0 where it could not be read that far.
    std::uint32_t rate = 0;
    std::uint16_t bits = 0;
    std::uint16_t channels = 0;
    bool isFloat = false;
    double seconds = 0.0;
};

// Reads the file at `path` through `scratch` (grown as needed, kept for the next file).
WavJudgement JudgeWavFile(const QString& path, Profile profile, std::vector<std::uint8_t>& scratch);
// The same for a WAV image of `size` bytes in memory.
WavJudgement JudgeWavImage(const std::uint8_t* image, std::size_t size,
                           Profile profile = Profile::None);

}  // namespace quillar::quality
