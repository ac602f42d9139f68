#include "record/record_buffer.h"

namespace quillar {

RecordBuffer::RecordBuffer() = default;
RecordBuffer::~RecordBuffer() = default;
void RecordBuffer::clear() {}
bool RecordBuffer::append(const void*, std::size_t) {
    return false;
}
bool RecordBuffer::fits(std::size_t) const {
    return false;
}
const std::uint8_t* RecordBuffer::data() const {
    return m_base;
}
void RecordBuffer::wrapAsWavImage(std::uint32_t, std::uint16_t, std::uint16_t) {}

}  // namespace quillar
