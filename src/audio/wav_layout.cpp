#include "audio/wav_layout.h"

#include <cstring>

#include "audio/sample_packing.h"

namespace quillar::audio {

namespace {

std::uint16_t le16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::uint32_t kFmtMaxRead = 64;  // what of a "fmt " body is looked at

WavVerdict readFmt(const std::uint8_t* p, std::uint32_t size, WavLayout* layout) {
    if (size < 16) {
        return WavVerdict::Damaged;
    }
    std::uint16_t tag = le16(p);
    layout->channels = le16(p + 2);
    layout->rate = le32(p + 4);
    layout->byteRate = le32(p + 8);
    layout->bits = le16(p + 14);
    if (tag == kFormatExtensible) {
        // The real tag is the first two bytes of the sub-format GUID.
        if (size < 40) {
            return WavVerdict::Damaged;
        }
        tag = le16(p + 24);
    }
    layout->formatTag = tag;
    const std::uint16_t channels = layout->channels;
    const std::uint32_t rate = layout->rate;
    const std::uint16_t bits = layout->bits;
    if (channels == 0 || channels > 8 || rate == 0 || rate > kMaxWavRate) {
        return WavVerdict::Unsupported;
    }
    AudioFormat& format = layout->format;
    format.channels = channels;
    format.rate = rate;
    layout->stored = StoredSample::AsPlayed;
    if (tag == kFormatPcm && bits == 8) {
        format.type = SampleType::U8;
    } else if (tag == kFormatPcm && bits == 16) {
        format.type = SampleType::S16;
    } else if (tag == kFormatPcm && bits == 24) {
        format.type = SampleType::S32;
        layout->stored = StoredSample::S24;
    } else if (tag == kFormatPcm && bits == 32) {
        format.type = SampleType::S32;
    } else if (tag == kFormatFloat && bits == 32) {
        format.type = SampleType::F32;
    } else if (tag == kFormatFloat && bits == 64) {
        format.type = SampleType::F32;
        layout->stored = StoredSample::F64;
    } else {
        return WavVerdict::Unsupported;
    }
    layout->storedFrameBytes = std::uint32_t{channels} * (bits / 8u);
    return WavVerdict::Playable;
}

}  // namespace

WavVerdict readWavLayout(const WavReader& read, std::uint64_t length, WavLayout* layout) {
    std::uint8_t riff[12];
    if (length < 12 || read(0, riff, 12) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        return WavVerdict::NotWav;
    }
    bool haveFormat = false;
    std::uint64_t at = 12;
    while (at + 8 <= length) {
        std::uint8_t chunk[8];
        if (read(at, chunk, 8) != 8) {
            break;
        }
        const std::uint32_t size = le32(chunk + 4);
        const std::uint64_t body = at + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            std::uint8_t fmt[kFmtMaxRead] = {};
            const std::uint32_t want = size < kFmtMaxRead ? size : kFmtMaxRead;
            if (body + size > length || read(body, fmt, want) != want) {
                return WavVerdict::Damaged;
            }
            const WavVerdict v = readFmt(fmt, size, layout);
            if (v != WavVerdict::Playable) {
                return v;
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                return WavVerdict::Damaged;
            }
            layout->declaredDataBytes = size;
            std::uint64_t bytes = size;
            if (body + bytes > length) {
                bytes = length - body;
            }
            bytes -= bytes % layout->storedFrameBytes;
            layout->dataOffset = body;
            layout->dataBytes = bytes;
            return WavVerdict::Playable;
        }
        // Chunks are padded to an even size.
        at = body + size + (size & 1u);
    }
    return WavVerdict::Damaged;
}

bool parseWavLayout(const void* image, std::uint64_t length, WavLayout* layout) {
    if (image == nullptr) {
        return false;
    }
    const auto* p = static_cast<const std::uint8_t*>(image);
    const WavReader read = [p, length](std::uint64_t at, void* out, std::uint64_t n) {
        const std::uint64_t got = at >= length ? 0 : (n < length - at ? n : length - at);
        std::memcpy(out, p + at, got);
        return got;
    };
    return readWavLayout(read, length, layout) == WavVerdict::Playable;
}

void convertStoredFrames(const WavLayout& layout, const void* in, void* out, std::uint64_t frames) {
    const std::uint64_t samples = frames * layout.format.channels;
    const auto* src = static_cast<const std::uint8_t*>(in);
    switch (layout.stored) {
        case StoredSample::AsPlayed:
            std::memcpy(out, in, frames * layout.storedFrameBytes);
            return;
        case StoredSample::S24:
            widenS24ToS32(in, out, samples);
            return;
        case StoredSample::F64: {
            auto* dst = static_cast<float*>(out);
            for (std::uint64_t i = 0; i < samples; ++i, src += 8) {
                double v;
                std::memcpy(&v, src, 8);
                dst[i] = static_cast<float>(v);
            }
            return;
        }
    }
}

}  // namespace quillar::audio
