#include "audio/wav_layout.h"

#include <cstring>

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

bool readFmt(const std::uint8_t* p, std::uint32_t size, AudioFormat* format) {
    if (size < 16) {
        return false;
    }
    std::uint16_t tag = le16(p);
    const std::uint16_t channels = le16(p + 2);
    const std::uint32_t rate = le32(p + 4);
    const std::uint16_t bits = le16(p + 14);
    if (tag == kFormatExtensible) {
        // The real tag is the first two bytes of the sub-format GUID.
        if (size < 40) {
            return false;
        }
        tag = le16(p + 24);
    }
    if (channels == 0 || channels > 8 || rate == 0 || rate > 384000) {
        return false;
    }
    format->channels = channels;
    format->rate = rate;
    if (tag == kFormatPcm && bits == 8) {
        format->type = SampleType::U8;
    } else if (tag == kFormatPcm && bits == 16) {
        format->type = SampleType::S16;
    } else if (tag == kFormatPcm && bits == 32) {
        format->type = SampleType::S32;
    } else if (tag == kFormatFloat && bits == 32) {
        format->type = SampleType::F32;
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool parseWavLayout(const void* image, std::uint64_t length, WavLayout* layout) {
    const auto* p = static_cast<const std::uint8_t*>(image);
    if (p == nullptr || length < 12 || std::memcmp(p, "RIFF", 4) != 0 ||
        std::memcmp(p + 8, "WAVE", 4) != 0) {
        return false;
    }
    bool haveFormat = false;
    AudioFormat format;
    std::uint64_t at = 12;
    while (at + 8 <= length) {
        const std::uint8_t* chunk = p + at;
        const std::uint32_t size = le32(chunk + 4);
        const std::uint64_t body = at + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (body + size > length || !readFmt(p + body, size, &format)) {
                return false;
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                return false;
            }
            std::uint64_t bytes = size;
            if (body + bytes > length) {
                bytes = length - body;
            }
            bytes -= bytes % format.bytesPerFrame();
            layout->format = format;
            layout->dataOffset = body;
            layout->dataBytes = bytes;
            return true;
        }
        // Chunks are padded to an even size.
        at = body + size + (size & 1u);
    }
    return false;
}

}  // namespace quillar::audio
