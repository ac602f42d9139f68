#include "record/clip_check.h"

#include <QComboBox>
#include <QLabel>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <cstring>

#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/record_buffer.h"

namespace quillar {

namespace {

std::size_t bytesPerSample(std::uint16_t bits) {
    return bits / 8u;
}

// The status tick stops with the take, so a timer of the warning's own brings it down.
void armWarningTimer(App& app, int ms) {
    QTimer::singleShot(ms, app.form.标签_削波警告, [&app] {
        if (const int left = UpdateClipWarning(app, SteadyMs()); left > 0) {
            armWarningTimer(app, left);
        }
    });
}

// Reads data bytes [take_checked_bytes, end) of the take at `data` (whole samples only).
void scanFrom(App& app, const std::uint8_t* data, std::size_t end, std::int64_t nowMs) {
    ProgramState& s = app.state;
    const std::size_t width = bytesPerSample(s.take_bits);
    end -= end % width;
    if (data == nullptr || end <= s.take_checked_bytes) {
        return;
    }
    const PeakScan scan =
        ScanSamples(data + s.take_checked_bytes, end - s.take_checked_bytes, s.take_bits);
    s.take_judge.feed(data + s.take_checked_bytes, end - s.take_checked_bytes);
    s.take_checked_bytes = end;
    s.take_peak = std::max(s.take_peak, scan.peak);
    if (!scan.clipped) {
        return;
    }
    s.take_clipped = true;
    if (nowMs < 0) {
        return;  // after the stop: the mark says it, the warning is for the live take
    }
    s.clip_seen_ms = nowMs;
    QLabel* warning = app.form.标签_削波警告;
    if (warning->isHidden()) {
        warning->show();
        warning->raise();
        armWarningTimer(app, kClipWarningHoldMs);
    }
}

}  // namespace

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
            // Into the top of an int32, so that the shift back extends the sign.
            const std::uint32_t u = std::uint32_t{data[i]} << 8 | std::uint32_t{data[i + 1]} << 16 |
                                    std::uint32_t{data[i + 2]} << 24;
            const std::int32_t v = static_cast<std::int32_t>(u) >> 8;
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

void BeginTakeCheck(App& app, std::uint16_t bits) {
    ProgramState& s = app.state;
    s.take_checked_bytes = 0;
    s.take_bits = bits;
    s.take_peak = 0.0;
    s.take_clipped = false;
    s.clip_seen_ms = -1;
    s.take_device = app.form.组合框1->currentText();
    quality::SampleFormat format = quality::SampleFormat::S16;
    quality::SampleFormatOf(bits, bits == 32, &format);
    s.take_judge =
        quality::TakeJudge(format, s.options.channels, app.form.组合框2->currentData().toUInt());
    s.take_judgement = quality::Judgement{};
}

void CheckTakeClipping(App& app, std::int64_t nowMs) {
    const RecordBuffer& buffer = app.state.record_buffer;
    // With heap backing the bytes may move under an append; the stop reads them all instead.
    scanFrom(app, buffer.stableCapturedData(), buffer.size(), nowMs);
    UpdateClipWarning(app, nowMs);
}

void FinishTakeCheck(App& app) {
    const RecordBuffer& buffer = app.state.record_buffer;
    if (!buffer.isWavImage()) {
        return;
    }
    scanFrom(app, buffer.data() + RecordBuffer::kHeaderBytes,
             buffer.size() - RecordBuffer::kHeaderBytes, -1);
    app.state.take_judgement = app.state.take_judge.judge();
}

int UpdateClipWarning(App& app, std::int64_t nowMs) {
    QLabel* warning = app.form.标签_削波警告;
    const std::int64_t seen = app.state.clip_seen_ms;
    if (warning->isHidden()) {
        return 0;
    }
    if (seen < 0 || nowMs - seen >= kClipWarningHoldMs) {
        warning->hide();
        return 0;
    }
    return static_cast<int>(kClipWarningHoldMs - (nowMs - seen));
}

std::int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace quillar
