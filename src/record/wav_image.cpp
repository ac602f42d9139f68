#include "record/wav_image.h"

#include <cstring>

#include "kit/record_buffer.h"

namespace quillar {

namespace {

class HeaderWriter {
  public:
    explicit HeaderWriter(std::array<std::uint8_t, kWavHeaderBytes>& out) : m_out(out) {}
    void tag(const char (&fourcc)[5]) {
        std::memcpy(m_out.data() + m_at, fourcc, 4);
        m_at += 4;
    }
    void u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            m_out[m_at++] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    }
    void u16(std::uint16_t v) {
        m_out[m_at++] = static_cast<std::uint8_t>(v);
        m_out[m_at++] = static_cast<std::uint8_t>(v >> 8);
    }

  private:
    std::array<std::uint8_t, kWavHeaderBytes>& m_out;
    std::size_t m_at = 0;
};

}  // namespace

std::array<std::uint8_t, kWavHeaderBytes> wavHeaderBytes(std::uint32_t dataLength,
                                                         std::uint32_t rate, std::uint16_t bits,
                                                         std::uint16_t channels) {
    // Integer arithmetic gives the exact byte rate and block align for every rate and width the
    // recorder offers (all rates are multiples of 8 Hz or even, all widths whole bytes).
    const std::uint64_t blockAlign = std::uint64_t{channels} * bits / 8;
    const std::uint64_t byteRate = std::uint64_t{rate} * blockAlign;

    std::array<std::uint8_t, kWavHeaderBytes> out{};
    HeaderWriter w(out);
    w.tag("RIFF");
    w.u32(36u + dataLength);
    w.tag("WAVE");
    w.tag("fmt ");
    w.u32(16);
    w.u16(bits == 32 ? 3 : 1);
    w.u16(channels);
    w.u32(rate);
    w.u32(static_cast<std::uint32_t>(byteRate));
    w.u16(static_cast<std::uint16_t>(blockAlign));
    w.u16(bits);
    w.tag("data");
    w.u32(dataLength);
    return out;
}

void BuildWavImage(RecordBuffer& buffer, std::uint32_t rate, std::uint16_t bits,
                   std::uint16_t channels) {
    if (buffer.isWavImage() || buffer.empty()) {
        return;
    }
    buffer.wrapWithHeader(
        wavHeaderBytes(static_cast<std::uint32_t>(buffer.size()), rate, bits, channels));
}

}  // namespace quillar
