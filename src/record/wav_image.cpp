#include "record/wav_image.h"

#include "record/record_buffer.h"

namespace quillar {

std::array<std::uint8_t, kWavHeaderBytes> wavHeaderBytes(std::uint32_t, std::uint32_t,
                                                         std::uint16_t, std::uint16_t) {
    return {};
}
void BuildWavImage(RecordBuffer&, std::uint32_t, std::uint16_t, std::uint16_t) {}

}  // namespace quillar
