#include "playback/wav_header.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>

namespace quillar {

namespace {

// Reads little-endian fields from a prefix of the header; bytes past the end read as 0.
class FieldReader {
  public:
    explicit FieldReader(QByteArrayView bytes) {
        const qsizetype n = std::min<qsizetype>(bytes.size(), kWavHeaderSize);
        if (n > 0) {
            std::memcpy(m_bytes.data(), bytes.data(), static_cast<std::size_t>(n));
        }
    }
    std::array<char, 4> id(int offset) const {
        std::array<char, 4> out{};
        std::memcpy(out.data(), m_bytes.data() + offset, 4);
        return out;
    }
    std::int16_t i16(int offset) const {
        return static_cast<std::int16_t>(static_cast<std::uint16_t>(m_bytes[offset]) |
                                         static_cast<std::uint16_t>(m_bytes[offset + 1]) << 8);
    }
    std::int32_t i32(int offset) const {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) {
            v = (v << 8) | m_bytes[offset + i];
        }
        return static_cast<std::int32_t>(v);
    }

  private:
    std::array<std::uint8_t, kWavHeaderSize> m_bytes{};
};

}  // namespace

bool WavHeader::dataIdAt36() const {
    return std::memcmp(data.chunk_id.data(), "data", 4) == 0;
}

WavHeader ReadWavHeader(QByteArrayView bytes) {
    const FieldReader r(bytes);
    WavHeader h;
    h.riff.chunk_id = r.id(0);
    h.riff.chunk_size = r.i32(4);
    h.riff.form_type = r.id(8);
    h.fmt.chunk_id = r.id(12);
    h.fmt.chunk_size = r.i32(16);
    h.fmt.format_tag = r.i16(20);
    h.fmt.channels = r.i16(22);
    h.fmt.sample_rate = r.i32(24);
    h.fmt.byte_rate = r.i32(28);
    h.fmt.block_align = r.i16(32);
    h.fmt.bits_per_sample = r.i16(34);
    h.data.chunk_id = r.id(36);
    h.data.chunk_size = r.i32(40);
    return h;
}

WavHeader ReadWavHeader(QIODevice& file) {
    if (!file.isReadable() || !file.seek(0)) {
        return WavHeader{};
    }
    char buffer[kWavHeaderSize];
    const qint64 got = file.read(buffer, kWavHeaderSize);
    return ReadWavHeader(QByteArrayView(buffer, got > 0 ? got : 0));
}

}  // namespace quillar
