#include "quality/wav_judgement.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <utility>

#include "audio/wav_layout.h"
#include "platform/file_io.h"

namespace quillar::quality {

namespace {

constexpr std::uint16_t kFloatTag = 3;
// Read in pieces of this many bytes, so a long take never needs its whole length in memory.
constexpr std::size_t kReadBytes = std::size_t{4} << 20;

// Reads up to `n` bytes at `at`; how many it got (0 on an error).
std::uint64_t readSome(int fd, std::uint64_t at, void* out, std::uint64_t n) {
    const std::int64_t got = platform::readAt(fd, out, n, at);
    return got > 0 ? static_cast<std::uint64_t>(got) : 0;
}

WavJudgement unreadable(const audio::WavLayout& layout) {
    WavJudgement w;
    w.rate = layout.rate;
    w.bits = layout.bits;
    w.channels = layout.channels;
    w.isFloat = layout.formatTag == kFloatTag;
    w.judgement.problems = kUnreadable;
    SettleVerdict(w.judgement);
    return w;
}

// Judges `layout.dataBytes` bytes handed out by `next` (a pointer to the next piece and its
// size, or 0 bytes at the end of what can be read).
template <class Next>
WavJudgement judgeData(const audio::WavLayout& layout, Profile profile, Next&& next) {
    WavJudgement w;
    w.rate = layout.rate;
    w.bits = layout.bits;
    w.channels = layout.channels;
    w.isFloat = layout.formatTag == kFloatTag;
    SampleFormat format;
    if (!SampleFormatOf(w.bits, w.isFloat, &format) || layout.dataBytes == 0) {
        return unreadable(layout);
    }
    TakeJudge judge(format, w.channels, w.rate);
    std::uint64_t left = layout.dataBytes;
    while (left > 0) {
        const auto [data, bytes] = next(left);
        if (bytes == 0) {
            break;  // cut short under us: what was read is judged
        }
        judge.feed(data, bytes);
        left -= bytes;
    }
    w.judgement = judge.judge();
    w.seconds = static_cast<double>(judge.frames()) / w.rate;
    if (!FitsProfile(profile, w.rate, w.bits, w.channels, w.isFloat)) {
        w.judgement.problems |= kFormat;
        SettleVerdict(w.judgement);
    }
    return w;
}

struct Piece {
    const std::uint8_t* data;
    std::size_t bytes;
};

}  // namespace

bool ParseProfile(const QString& name, Profile* profile) {
    if (name == QLatin1String("yubao")) {
        *profile = Profile::Yubao;
    } else if (name == QLatin1String("archive")) {
        *profile = Profile::Archive;
    } else {
        return false;
    }
    return true;
}

bool FitsProfile(Profile profile, std::uint32_t rate, std::uint16_t bits, std::uint16_t channels,
                 bool isFloat) {
    switch (profile) {
        case Profile::None:
            return true;
        case Profile::Yubao:
            return !isFloat && bits == 16 && rate == 44100 && channels == 1;
        case Profile::Archive:
            return !isFloat && (bits == 16 || bits == 24) &&
                   (rate == 44100 || rate == 48000 || rate == 96000) &&
                   (channels == 1 || channels == 2);
    }
    return true;
}

WavJudgement JudgeWavFile(const QString& path, Profile profile,
                          std::vector<std::uint8_t>& scratch) {
    audio::WavLayout layout;
    const platform::FileHandle file = platform::openForReading(path);
    if (!file) {
        return unreadable(layout);
    }
    const int fd = file.fd();
    const std::optional<std::uint64_t> size = platform::sizeOf(fd);
    if (!size || audio::readWavLayout([fd](std::uint64_t at, void* out,
                                           std::uint64_t n) { return readSome(fd, at, out, n); },
                                      *size, &layout) != audio::WavVerdict::Playable) {
        return unreadable(layout);
    }
    std::uint64_t at = layout.dataOffset;
    // Pieces of whole frames; the judge would carry a split frame, but there is no need.
    const std::size_t piece = std::max<std::size_t>(
        layout.storedFrameBytes, kReadBytes - kReadBytes % layout.storedFrameBytes);
    return judgeData(layout, profile, [&](std::uint64_t left) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left, piece));
        if (scratch.size() < want) {
            scratch.resize(want);
        }
        const std::uint64_t got = readSome(fd, at, scratch.data(), want);
        at += got;
        return Piece{scratch.data(), static_cast<std::size_t>(got)};
    });
}

WavJudgement JudgeWavImage(const std::uint8_t* image, std::size_t size, Profile profile) {
    audio::WavLayout layout;
    if (!audio::parseWavLayout(image, size, &layout)) {
        return unreadable(layout);
    }
    bool given = false;
    return judgeData(layout, profile, [&](std::uint64_t left) {
        if (std::exchange(given, true)) {
            return Piece{nullptr, 0};
        }
        return Piece{image + layout.dataOffset, static_cast<std::size_t>(left)};
    });
}

}  // namespace quillar::quality
