// The recording held in memory: one contiguous byte sequence that the capture thread appends to
// and that becomes the complete WAV image (header + data) in place when the recording stops.
// The room for the 44-byte header is reserved up front, so the stop never copies the data.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace quillar {

class RecordBuffer {
  public:
    RecordBuffer();
    ~RecordBuffer();
    RecordBuffer(const RecordBuffer&) = delete;
    RecordBuffer& operator=(const RecordBuffer&) = delete;

    // Drops the recording (GUI thread, only while no capture runs).
    void clear();
    // Appends captured bytes (capture thread). Returns false, appending nothing, when the bytes
    // would push the data past what a WAV header can describe.
    bool append(const void* data, std::size_t bytes);
    // Whether `bytes` more would still fit under the WAV size limit (any thread).
    bool fits(std::size_t bytes) const;
    // Length in bytes as the program sees it: the captured data while recording, the whole WAV
    // image after wrapAsWavImage. Safe from any thread.
    std::size_t size() const { return m_size.load(std::memory_order_acquire); }
    bool empty() const { return size() == 0; }
    // First byte of the recording (data while recording, image after the wrap). GUI thread; the
    // pointer stays valid until clear(). nullptr when nothing was ever recorded.
    const std::uint8_t* data() const;
    // Turns the captured data into the WAV image in place (GUI thread, no capture running,
    // at least one byte captured).
    void wrapAsWavImage(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels);
    // True once wrapAsWavImage has run for the current recording.
    bool isWavImage() const { return m_wrapped; }

    // Largest data length a 32-bit RIFF header can describe (RIFF size = 36 + data).
    static constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;

  private:
    std::uint8_t* m_base = nullptr;      // reserved region: 44 header bytes, then data
    std::atomic<std::size_t> m_size{0};  // visible length (see size())
    std::size_t m_dataBytes = 0;         // captured data bytes (capture thread while recording)
    bool m_wrapped = false;
};

}  // namespace quillar
