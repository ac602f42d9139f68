// A signal whose samples are exact in every width Quillar records, and its check in a WAV file
// read back by libsndfile, the independent reader of the round trips.
#pragma once

#include <gtest/gtest.h>
#include <sndfile.h>

#include <QFile>
#include <QString>
#include <cstdint>
#include <vector>

namespace quillar::test {

// Values k/128 with |k| <= 127 are exact in unsigned 8-bit, signed 16 and 24-bit and float alike,
// so the expected samples do not depend on how the device rounds.
inline int stepOf(int channel, std::int64_t frame) {
    return static_cast<int>((frame * (channel == 0 ? 7 : 13) + channel * 50) % 255) - 127;
}

inline double stepSignal(int channel, std::int64_t frame) {
    return stepOf(channel, frame) / 128.0;
}

// Checks that the file at `path` holds `frames` frames of the step signal in `channels` channels,
// libsndfile's `subtype` at `rate` Hz, sample for sample.
inline void expectStepSignal(const QString& path, int rate, int channels, int subtype,
                             sf_count_t frames) {
    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.samplerate, rate);
    EXPECT_EQ(info.channels, channels);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | subtype);
    EXPECT_EQ(info.frames, frames);
    const sf_count_t n = std::min(info.frames, frames) * info.channels;
    int mismatches = 0;
    if (subtype == SF_FORMAT_FLOAT) {
        std::vector<float> got(static_cast<std::size_t>(n));
        EXPECT_EQ(sf_read_float(f, got.data(), n), n);
        for (sf_count_t i = 0; i < n; ++i) {
            mismatches += got[i] != stepOf(int(i % channels), i / channels) / 128.0f;
        }
    } else {
        // Integer reads scale every PCM width to 32 bits: 8-bit (u - 128) << 24, 16-bit s << 16,
        // 24-bit s << 8.
        std::vector<int> got(static_cast<std::size_t>(n));
        EXPECT_EQ(sf_read_int(f, got.data(), n), n);
        for (sf_count_t i = 0; i < n; ++i) {
            mismatches += got[i] != stepOf(int(i % channels), i / channels) * (1 << 24);
        }
    }
    sf_close(f);
    EXPECT_EQ(mismatches, 0);
}

}  // namespace quillar::test
