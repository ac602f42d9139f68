// The clipping check and the judgement of the take being recorded, without widgets: it reads the
// audio appended to record_buffer since its last look (never on the capture thread), keeps the
// take's peak, knows whether and when a sample reached full scale, and judges the take at its
// close. The recorder owns one and runs it with the take; the window reads it for the warning,
// the log, the status and the marks.
//
// Threads: the window thread only (the recorder's thread).
#pragma once

#include <cstddef>
#include <cstdint>

#include "quality/quality_limits.h"
#include "quality/take_judge.h"

namespace quillar {

// A 32-bit float sample of this magnitude or more counts as full scale: the judgement's own limit.
inline constexpr float kFloatFullScale = static_cast<float>(quality::kFloatFullScale);

struct PeakScan {
    double peak = 0.0;  // largest magnitude, fraction of full scale (0..1, floats may exceed 1)
    bool clipped = false;
};

// The peak of whole samples of width `bits` (8 unsigned, 16 and 24 signed, 32 float) in `bytes`
// bytes. Full scale is the extreme codes for 8, 16 and 24 bits (0 and 255; -32768 and 32767;
// -8388608 and 8388607) and a magnitude of kFloatFullScale for floats (NaN and infinities
// included).
PeakScan ScanSamples(const std::uint8_t* data, std::size_t bytes, std::uint16_t bits);

class TakeCheck {
  public:
    // A take begins with `bits` per sample (8, 16, 24 or 32 float), `channels` and `rate`: the
    // check and the judgement start from its first byte.
    void begin(std::uint16_t bits, std::uint32_t channels, std::uint32_t rate);
    // Reads the take's data bytes from where the last read stopped up to `end` (whole samples
    // only), at `data`, the data's first byte. `nowMs`: the steady clock's reading while the take
    // runs, -1 after its stop. True when a clipped sample was read while the take runs (the
    // warning's moment, lastClipMs(), is then `nowMs`).
    bool read(const std::uint8_t* data, std::size_t end, std::int64_t nowMs);
    // The take is whole: reads what the looks before did not and judges it.
    void finish(const std::uint8_t* data, std::size_t end);

    // Largest magnitude so far, fraction of full scale.
    double peak() const { return m_peak; }
    // Whether a sample of this take reached full scale.
    bool clipped() const { return m_clipped; }
    // Steady-clock ms of the latest clipped read while the take ran; -1: none in this take.
    std::int64_t lastClipMs() const { return m_lastClipMs; }
    // The judgement, once finished (frames 0 before).
    const quality::Judgement& judgement() const { return m_judgement; }
    // The judgement of what the looks have read so far, while the take still runs or closes
    // (hands-free recording decides on it at the end of the voice, before the post-roll is in).
    quality::Judgement judgementSoFar() const { return m_judge.judge(); }

  private:
    std::size_t m_checked = 0;  // data bytes read so far
    std::uint16_t m_bits = 16;
    double m_peak = 0.0;
    bool m_clipped = false;
    std::int64_t m_lastClipMs = -1;
    quality::TakeJudge m_judge;
    quality::Judgement m_judgement;
};

}  // namespace quillar
