// Hand-made WAV files for the playback tests: every header field can be set, so that files our
// recorder would never write (and hostile ones) can be made as easily as ordinary ones.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>
#include <cstdint>
#include <functional>

namespace quillar::test {

struct WavFields {
    std::int16_t formatTag = 1;
    std::int16_t channels = 2;
    std::int32_t rate = 44100;
    std::int16_t bits = 16;
    // Left unset (-1), these follow from the fields above and the sample bytes.
    std::int64_t byteRate = -1;
    std::int64_t blockAlign = -1;
    std::int64_t dataSize = -1;
    bool fmt18 = false;  // an 18-byte fmt chunk: "data" at 38, its size at 42, samples from 46
    // Non-zero: a 40-byte WAVE_FORMAT_EXTENSIBLE fmt chunk (formatTag is then ignored) whose
    // sub-format GUID starts with this tag.
    std::uint16_t subFormat = 0;
};

inline void putLe(QByteArray& out, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out.append(char((v >> (8 * i)) & 0xFF));
    }
}

inline QByteArray wavBytes(const WavFields& f, const QByteArray& samples) {
    const int frame = f.channels * f.bits / 8;
    const std::int64_t byteRate = f.byteRate >= 0 ? f.byteRate : std::int64_t(f.rate) * frame;
    const std::int64_t blockAlign = f.blockAlign >= 0 ? f.blockAlign : frame;
    const std::int64_t dataSize = f.dataSize >= 0 ? f.dataSize : samples.size();
    const int fmtSize = f.subFormat != 0 ? 40 : f.fmt18 ? 18 : 16;
    QByteArray out;
    out.append("RIFF");
    putLe(out, 20 + fmtSize + samples.size(), 4);
    out.append("WAVEfmt ");
    putLe(out, std::uint64_t(fmtSize), 4);
    putLe(out, f.subFormat != 0 ? 0xFFFEu : std::uint16_t(f.formatTag), 2);
    putLe(out, std::uint16_t(f.channels), 2);
    putLe(out, std::uint32_t(f.rate), 4);
    putLe(out, std::uint64_t(byteRate), 4);
    putLe(out, std::uint64_t(blockAlign), 2);
    putLe(out, std::uint16_t(f.bits), 2);
    if (f.subFormat != 0) {
        putLe(out, 22, 2);                       // cbSize
        putLe(out, std::uint16_t(f.bits), 2);    // valid bits
        putLe(out, f.channels == 2 ? 3 : 4, 4);  // channel mask
        putLe(out, f.subFormat, 2);
        out.append("\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 14);
    } else if (f.fmt18) {
        putLe(out, 0, 2);
    }
    out.append("data");
    putLe(out, std::uint64_t(dataSize), 4);
    out.append(samples);
    return out;
}

// `frames` frames of 16-bit samples from value(channel, frame).
inline QByteArray pcm16(int channels, int frames, const std::function<int(int, int)>& value) {
    QByteArray out;
    out.reserve(frames * channels * 2);
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            putLe(out, std::uint16_t(std::int16_t(value(c, i))), 2);
        }
    }
    return out;
}

// `frames` frames of unsigned 8-bit samples from value(channel, frame) (128 = silence).
inline QByteArray pcm8(int channels, int frames, const std::function<int(int, int)>& value) {
    QByteArray out;
    out.reserve(frames * channels);
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            out.append(char(std::uint8_t(value(c, i))));
        }
    }
    return out;
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

}  // namespace quillar::test
