#include "record/take_check.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/sample_packing.h"

namespace quillar {

PeakScan ScanSamples(const std::uint8_t* data, std::size_t bytes, std::uint16_t bits) {
    PeakScan r;
    if (bits == 8) {
        int lo = 128;
        int hi = 128;
        for (std::size_t i = 0; i < bytes; ++i) {
            lo = std::min<int>(lo, data[i]);
            hi = std::max<int>(hi, data[i]);
        }
        r.clipped = lo == 0 || hi == 255;
        r.peak = std::max(128 - lo, hi - 128) / 128.0;
    } else if (bits == 32) {
        float peak = 0.0f;
        bool bad = false;
        for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
            float v;
            std::memcpy(&v, data + i, 4);
            const float m = std::fabs(v);
            bad |= !std::isfinite(v);
            peak = std::max(peak, m);
        }
        r.clipped = bad || peak >= kFloatFullScale;
        r.peak = bad ? 1.0 : peak;
    } else if (bits == 24) {
        std::int32_t lo = 0;
        std::int32_t hi = 0;
        for (std::size_t i = 0; i + 3 <= bytes; i += 3) {
            const std::int32_t v = audio::readS24(data + i);
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        r.clipped = lo == -8388608 || hi == 8388607;
        r.peak = std::max(-lo, hi) / 8388608.0;
    } else {
        int lo = 0;
        int hi = 0;
        for (std::size_t i = 0; i + 2 <= bytes; i += 2) {
            std::int16_t v;
            std::memcpy(&v, data + i, 2);
            lo = std::min<int>(lo, v);
            hi = std::max<int>(hi, v);
        }
        r.clipped = lo == -32768 || hi == 32767;
        r.peak = std::max(-lo, hi) / 32768.0;
    }
    return r;
}

void TakeCheck::begin(std::uint16_t bits, std::uint32_t channels, std::uint32_t rate) {
    m_checked = 0;
    m_bits = bits;
    m_peak = 0.0;
    m_clipped = false;
    m_lastClipMs = -1;
    quality::SampleFormat format = quality::SampleFormat::S16;
    quality::SampleFormatOf(bits, bits == 32, &format);
    m_judge = quality::TakeJudge(format, static_cast<int>(channels), rate);
    m_judgement = quality::Judgement{};
}

bool TakeCheck::read(const std::uint8_t* data, std::size_t end, std::int64_t nowMs) {
    const std::size_t width = m_bits / 8u;
    end -= end % width;
    if (data == nullptr || end <= m_checked) {
        return false;
    }
    const PeakScan scan = ScanSamples(data + m_checked, end - m_checked, m_bits);
    m_judge.feed(data + m_checked, end - m_checked);
    m_checked = end;
    m_peak = std::max(m_peak, scan.peak);
    if (!scan.clipped) {
        return false;
    }
    m_clipped = true;
    if (nowMs < 0) {
        return false;  // after the stop: the mark says it, the warning is for the live take
    }
    m_lastClipMs = nowMs;
    return true;
}

void TakeCheck::finish(const std::uint8_t* data, std::size_t end) {
    read(data, end, -1);
    m_judgement = m_judge.judge();
}

}  // namespace quillar
