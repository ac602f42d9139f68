// The recording held in memory: one contiguous byte sequence that the capture thread appends to
// and that becomes the complete WAV image (header + data + pad byte) in place when the recording
// stops. Room for the longest header is reserved in front of the data and a shorter one takes its
// end, so the stop never copies the data.
//
// Threads: one capture thread appends while a recording runs; the GUI thread may read size() at
// any time. Everything else (clear, wrap, data) is the GUI thread's, and only while no capture
// runs. The length is published with release/acquire, so no lock is needed on either side.
// With Reserved backing a helper thread, started with the buffer (never by an append), faults fresh
// pages in a few MiB ahead of the data, so the kernel's page zeroing stays off the capture thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

namespace quillar {

class RecordBuffer {
  public:
    // Where the bytes live. Reserved: one large virtual region mapped once (no page is committed
    // until written), so appends never move or copy the data. Heap: a growing allocation, used
    // when the region cannot be mapped; appends may then reallocate.
    enum class Backing { Reserved, Heap };

    // Room in front of the data for the longest WAV header (IEEE float's, 58 bytes), rounded up
    // so that the samples start aligned for any width.
    static constexpr std::size_t kHeaderRoom = 64;
    // The header of a PCM image, the usual one.
    static constexpr std::size_t kHeaderBytes = 44;
    // Largest data length every 32-bit RIFF header can describe: the float header's 50 bytes
    // after the RIFF size, the data and its pad byte.
    static constexpr std::uint64_t kMaxDataBytes = 0xFFFFFFFFull - 51;
    // Memory a cleared buffer keeps for the next recording (bytes): about 95 s of 44100 Hz
    // 16-bit stereo. Anything beyond goes back to the system at clear().
    static constexpr std::size_t kRetainedBytes = std::size_t{16} << 20;

    explicit RecordBuffer(Backing preferred = Backing::Reserved);
    ~RecordBuffer();
    RecordBuffer(const RecordBuffer&) = delete;
    RecordBuffer& operator=(const RecordBuffer&) = delete;

    // Exchanges the recordings of the two buffers, with their memory (GUI thread; neither is
    // appended to nor read by another thread meanwhile).
    void swap(RecordBuffer& other) noexcept;
    // Drops the recording and gives its memory beyond kRetainedBytes back to the system (GUI
    // thread, no capture).
    void clear();
    // Appends captured bytes (capture thread). Returns false, appending nothing, when the bytes
    // would push the data past dataLimit() or memory runs out; refusedAppend() then reads true
    // until the next clear().
    bool append(const void* data, std::size_t bytes);
    // Whether `bytes` more would still fit under dataLimit() (capture thread, or GUI thread when
    // no capture runs).
    bool fits(std::size_t bytes) const;
    // Length in bytes as the program sees it: the captured data while recording, the whole WAV
    // image after wrapWithHeader. Safe from any thread.
    std::size_t size() const { return m_size.load(std::memory_order_acquire); }
    bool empty() const { return size() == 0; }
    // First byte of the recording (data while recording, image after the wrap). GUI thread; the
    // pointer stays valid until clear() (and, with Heap backing, until the next append).
    // nullptr when nothing was ever recorded.
    const std::uint8_t* data() const;
    // The captured data for a reader thread beside the capture thread (the take's journal): with
    // Reserved backing they never move, so bytes [0, size()) may be read from any thread while
    // the capture thread appends, up to the GUI thread's next clear() or wrapWithHeader(), which
    // must wait until that reader is done. nullptr with Heap backing, where an append may move
    // them.
    const std::uint8_t* stableCapturedData() const {
        return m_backing == Backing::Reserved ? m_base + kHeaderRoom : nullptr;
    }
    // Puts `header` (at most kHeaderRoom bytes) in front of the captured data and `padBytes`
    // (0 or 1) zero bytes after it, making the WAV image in place (GUI thread, no capture
    // running); the header's sizes are the caller's to get right for size(). Does nothing when
    // no byte was captured or the image is already made.
    void wrapWithHeader(std::span<const std::uint8_t> header, std::size_t padBytes = 0);
    // True once wrapWithHeader has run for the current recording (GUI thread).
    bool isWavImage() const { return m_wrappedHeader != 0; }
    // Bytes of the WAV header in front of the data once wrapped, else 0 (GUI thread).
    std::size_t headerBytes() const { return m_wrappedHeader; }
    // True when an append was refused since the last clear() (any thread).
    bool refusedAppend() const { return m_refused.load(std::memory_order_acquire); }

    // Largest captured data length accepted, in bytes; kMaxDataBytes unless lowered (GUI thread,
    // no capture). Values above kMaxDataBytes are clamped to it.
    void setDataLimit(std::uint64_t bytes);
    std::uint64_t dataLimit() const { return m_limit; }
    Backing backing() const { return m_backing; }

  private:
    class Warmer;

    bool growHeap(std::size_t needed);
    void startWarmer();
    void requestWarm(std::size_t end);

    Backing m_backing = Backing::Reserved;
    std::uint8_t* m_base = nullptr;    // kHeaderRoom bytes for the header, data, a pad byte
    std::size_t m_capacity = 0;        // bytes usable at m_base (header included)
    std::unique_ptr<Warmer> m_warmer;  // Reserved only; null until started or if it cannot start
    bool m_warmerTried = false;
    std::size_t m_wakeAt = 0;  // bytes from m_base past which the warmer is asked for more
    std::atomic<std::size_t> m_size{0};  // visible length (see size())
    std::atomic<bool> m_refused{false};
    std::uint64_t m_limit = kMaxDataBytes;
    std::size_t m_wrappedHeader = 0;  // bytes of the header in front; 0 until wrapped
};

}  // namespace quillar
