#include "record/wav_image.h"

#include <cstring>

#include "kit/record_buffer.h"

namespace quillar {

static_assert(kFloatWavHeaderBytes <= RecordBuffer::kHeaderRoom,
              "the record buffer keeps room for every header in front of the data");
static_assert(kFloatWavHeaderBytes - 8 + RecordBuffer::kMaxDataBytes + 1 <= 0xFFFFFFFFull,
              "the largest take's RIFF size fits its 32 bits");

namespace {

constexpr std::uint16_t kFormatPcm = 1;
constexpr std::uint16_t kFormatFloat = 3;

class HeaderWriter {
  public:
    explicit HeaderWriter(WavHeader& out) : m_out(out) {}
    void tag(const char (&fourcc)[5]) {
        std::memcpy(m_out.bytes.data() + m_out.length, fourcc, 4);
        m_out.length += 4;
    }
    void u32(std::uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            m_out.bytes[m_out.length++] = static_cast<std::uint8_t>(v >> (8 * i));
        }
    }
    void u16(std::uint16_t v) {
        m_out.bytes[m_out.length++] = static_cast<std::uint8_t>(v);
        m_out.bytes[m_out.length++] = static_cast<std::uint8_t>(v >> 8);
    }

  private:
    WavHeader& m_out;
};

}  // namespace

std::size_t wavHeaderSize(std::uint16_t bits) {
    return bits == 32 ? kFloatWavHeaderBytes : kWavHeaderBytes;
}

WavHeader wavHeaderBytes(std::uint32_t dataLength, std::uint32_t rate, std::uint16_t bits,
                         std::uint16_t channels) {
    // Integer arithmetic gives the exact byte rate and block align for every rate and width the
    // recorder offers (all rates are multiples of 8 Hz or even, all widths whole bytes).
    const std::uint64_t blockAlign = std::uint64_t{channels} * bits / 8;
    const std::uint64_t byteRate = std::uint64_t{rate} * blockAlign;
    const bool isFloat = bits == 32;
    const std::size_t size = wavHeaderSize(bits);

    WavHeader out;
    HeaderWriter w(out);
    w.tag("RIFF");
    w.u32(static_cast<std::uint32_t>(size - 8 + dataLength + wavPadBytes(dataLength)));
    w.tag("WAVE");
    w.tag("fmt ");
    w.u32(isFloat ? 18 : 16);
    w.u16(isFloat ? kFormatFloat : kFormatPcm);
    w.u16(channels);
    w.u32(rate);
    w.u32(static_cast<std::uint32_t>(byteRate));
    w.u16(static_cast<std::uint16_t>(blockAlign));
    w.u16(bits);
    if (isFloat) {
        w.u16(0);  // no extension
        w.tag("fact");
        w.u32(4);
        w.u32(blockAlign != 0 ? static_cast<std::uint32_t>(dataLength / blockAlign) : 0);
    }
    w.tag("data");
    w.u32(dataLength);
    return out;
}

void BuildWavImage(RecordBuffer& buffer, std::uint32_t rate, std::uint16_t bits,
                   std::uint16_t channels) {
    if (buffer.isWavImage() || buffer.empty()) {
        return;
    }
    const auto dataLength = static_cast<std::uint32_t>(buffer.size());
    buffer.wrapWithHeader(wavHeaderBytes(dataLength, rate, bits, channels).view(),
                          wavPadBytes(dataLength));
}

}  // namespace quillar
