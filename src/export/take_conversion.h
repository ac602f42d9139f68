// A take's samples converted to a session's format on their way into it: the channels mixed down
// to one or spread over more, the rate changed through libsoxr, the sample width changed. One take
// at a time, in pieces of any size; any one thread at a time.
#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "quality/take_judge.h"

struct soxr;

namespace quillar {

struct TakeFormat {
    std::uint32_t rate = 0;
    std::uint16_t bits = 0;
    std::uint16_t channels = 0;
    bool isFloat = false;
    bool operator==(const TakeFormat&) const = default;
};

// "44100 Hz 16-bit 2 ch", "48000 Hz 32-bit float 1 ch".
QString TakeFormatText(const TakeFormat& f);

class TakeConversion {
  public:
    TakeConversion();
    ~TakeConversion();
    TakeConversion(const TakeConversion&) = delete;
    TakeConversion& operator=(const TakeConversion&) = delete;

    // Starts a take in `from`, whose frames are stored `storedFrameBytes` apart, for a session in
    // `to`; false with the reason, naming the take as `name`.
    bool start(const TakeFormat& from, const TakeFormat& to, std::size_t storedFrameBytes,
               const QString& name, QString* error);
    // `frames` of the take's stored frames, converted and handed to `out` in the session's
    // format; `last` drains the resampler. False with the reason, or when `out` refuses.
    using Out = std::function<bool(const std::uint8_t* data, std::size_t bytes)>;
    bool convert(const std::uint8_t* data, std::uint64_t frames, bool last, const Out& out,
                 QString* error);

  private:
    bool encode(const float* samples, std::uint64_t frames, const Out& out);

    struct SoxrDeleter {
        void operator()(soxr* s) const;
    };
    TakeFormat m_from;
    TakeFormat m_to;
    QString m_name;
    std::size_t m_storedFrameBytes = 0;
    quality::SampleFormat m_fromSample = quality::SampleFormat::S16;
    quality::SampleFormat m_toSample = quality::SampleFormat::S16;
    std::vector<float> m_mixed;
    std::vector<float> m_resampled;
    std::vector<std::uint8_t> m_encoded;
    std::unique_ptr<soxr, SoxrDeleter> m_resampler;
};

}  // namespace quillar
