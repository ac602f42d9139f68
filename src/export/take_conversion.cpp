#include "export/take_conversion.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace quillar {

namespace {

// Floats handed to the resampler at a time: the session's piece of 1 MiB.
constexpr std::size_t kResampledFloats = (std::size_t{1} << 20) / sizeof(float);

// Samples of one format as floats and back, full scale 1.0.
float decodeSample(quality::SampleFormat format, const std::uint8_t* p) {
    switch (format) {
        case quality::SampleFormat::U8:
            return (float(p[0]) - 128.0f) / 128.0f;
        case quality::SampleFormat::S16:
            return float(std::int16_t(p[0] | (p[1] << 8))) / 32768.0f;
        case quality::SampleFormat::S24: {
            const std::int32_t v =
                std::int32_t(std::uint32_t(p[0]) << 8 | std::uint32_t(p[1]) << 16 |
                             std::uint32_t(p[2]) << 24) >>
                8;
            return float(v) / 8388608.0f;
        }
        case quality::SampleFormat::S32: {
            std::int32_t v;
            std::memcpy(&v, p, 4);
            return float(double(v) / 2147483648.0);
        }
        case quality::SampleFormat::F32: {
            float v;
            std::memcpy(&v, p, 4);
            return v;
        }
        case quality::SampleFormat::F64: {
            double v;
            std::memcpy(&v, p, 8);
            return float(v);
        }
    }
    return 0.0f;
}

std::int64_t scaled(float v, double full, std::int64_t lo, std::int64_t hi) {
    const double s = std::nearbyint(double(v) * full);
    return std::clamp<std::int64_t>(std::isnan(s) ? 0 : std::int64_t(std::clamp(s, -9e18, 9e18)),
                                    lo, hi);
}

void encodeSample(quality::SampleFormat format, float v, std::uint8_t* p) {
    switch (format) {
        case quality::SampleFormat::U8:
            p[0] = std::uint8_t(scaled(v, 128.0, -128, 127) + 128);
            return;
        case quality::SampleFormat::S16: {
            const auto s = std::int16_t(scaled(v, 32768.0, -32768, 32767));
            std::memcpy(p, &s, 2);
            return;
        }
        case quality::SampleFormat::S24: {
            const auto s = std::int32_t(scaled(v, 8388608.0, -8388608, 8388607));
            p[0] = std::uint8_t(s);
            p[1] = std::uint8_t(s >> 8);
            p[2] = std::uint8_t(s >> 16);
            return;
        }
        case quality::SampleFormat::S32: {
            const auto s =
                std::int32_t(scaled(v, 2147483648.0, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max()));
            std::memcpy(p, &s, 4);
            return;
        }
        case quality::SampleFormat::F32:
            std::memcpy(p, &v, 4);
            return;
        case quality::SampleFormat::F64: {
            const double d = v;
            std::memcpy(p, &d, 8);
            return;
        }
    }
}

}  // namespace

QString TakeFormatText(const TakeFormat& f) {
    return QStringLiteral("%1 Hz %2-bit%3 %4 ch")
        .arg(f.rate)
        .arg(f.bits)
        .arg(f.isFloat ? QStringLiteral(" float") : QString())
        .arg(f.channels);
}

void TakeConversion::SoxrDeleter::operator()(soxr* s) const {
    soxr_delete(s);
}

TakeConversion::TakeConversion() = default;
TakeConversion::~TakeConversion() = default;

bool TakeConversion::start(const TakeFormat& from, const TakeFormat& to,
                           std::size_t storedFrameBytes, const QString& name, QString* error) {
    m_from = from;
    m_to = to;
    m_name = name;
    m_storedFrameBytes = storedFrameBytes;
    m_resampler.reset();
    quality::SampleFormatOf(to.bits, to.isFloat, &m_toSample);
    if (!quality::SampleFormatOf(from.bits, from.isFloat, &m_fromSample)) {
        *error = QStringLiteral("cannot convert %1: %2").arg(name, TakeFormatText(from));
        return false;
    }
    if (from.rate != to.rate) {
        soxr_error_t problem = nullptr;
        m_resampler.reset(
            soxr_create(from.rate, to.rate, to.channels, &problem, nullptr, nullptr, nullptr));
        if (!m_resampler || problem) {
            *error = QStringLiteral("cannot convert %1 to %2 Hz: %3")
                         .arg(name)
                         .arg(to.rate)
                         .arg(QString::fromUtf8(problem ? problem : "no resampler"));
            return false;
        }
    }
    return true;
}

bool TakeConversion::convert(const std::uint8_t* data, std::uint64_t frames, bool last,
                             const Out& out, QString* error) {
    const int from = m_from.channels;
    const int to = m_to.channels;
    const std::size_t sampleBytes = quality::BytesPerSample(m_fromSample);
    m_mixed.resize(static_cast<std::size_t>(frames) * to);
    for (std::uint64_t f = 0; f < frames; ++f) {
        const std::uint8_t* frame = data + f * m_storedFrameBytes;
        float* outFrame = m_mixed.data() + f * to;
        if (to == 1 && from > 1) {
            float sum = 0.0f;
            for (int c = 0; c < from; ++c) {
                sum += decodeSample(m_fromSample, frame + c * sampleBytes);
            }
            outFrame[0] = sum / float(from);
        } else {
            for (int c = 0; c < to; ++c) {
                outFrame[c] = decodeSample(m_fromSample, frame + (c % from) * sampleBytes);
            }
        }
    }
    if (!m_resampler) {
        return encode(m_mixed.data(), frames, out);
    }
    std::size_t done = 0;
    const std::size_t total = static_cast<std::size_t>(frames);
    const std::size_t room = kResampledFloats / to + 64;
    m_resampled.resize(room * to);
    // Feed everything given, then (for the last piece) drain until the resampler is empty.
    while (done < total || last) {
        std::size_t used = 0;
        std::size_t made = 0;
        const bool flushing = done >= total;
        const soxr_error_t problem =
            soxr_process(m_resampler.get(), flushing ? nullptr : m_mixed.data() + done * to,
                         flushing ? 0 : total - done, &used, m_resampled.data(), room, &made);
        if (problem) {
            *error =
                QStringLiteral("cannot convert %1: %2").arg(m_name, QString::fromUtf8(problem));
            return false;
        }
        done += used;
        if (made > 0 && !encode(m_resampled.data(), made, out)) {
            return false;
        }
        if (flushing && made == 0) {
            break;
        }
    }
    return true;
}

bool TakeConversion::encode(const float* samples, std::uint64_t frames, const Out& out) {
    const std::size_t sampleBytes = quality::BytesPerSample(m_toSample);
    const std::size_t count = static_cast<std::size_t>(frames) * m_to.channels;
    m_encoded.resize(count * sampleBytes);
    for (std::size_t i = 0; i < count; ++i) {
        encodeSample(m_toSample, samples[i], m_encoded.data() + i * sampleBytes);
    }
    return out(m_encoded.data(), m_encoded.size());
}

}  // namespace quillar
