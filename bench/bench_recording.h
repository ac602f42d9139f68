// Recording files for benchmarks: 44100 Hz stereo 16-bit WAV, the recorder's default format,
// written one second at a time so that an hour-long file never sits in memory whole.
#pragma once

#include <QFile>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "record/wav_image.h"

namespace quillar::bench {

// Writes `seconds` seconds to `path`; `fill(s, samples)` sets second `s` (88,200 interleaved
// samples, left first). Returns `path`.
inline QString writeStereo16Recording(
    const QString& path, int seconds,
    const std::function<void(int, std::vector<std::int16_t>&)>& fill) {
    const std::uint32_t dataBytes = std::uint32_t(seconds) * 44100u * 4u;
    const auto header = wavHeaderBytes(dataBytes, 44100, 16, 2);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(reinterpret_cast<const char*>(header.data()), qint64(header.size()));
    std::vector<std::int16_t> second(44100 * 2);
    for (int s = 0; s < seconds; ++s) {
        fill(s, second);
        f.write(reinterpret_cast<const char*>(second.data()), qint64(second.size() * 2));
    }
    return path;
}

}  // namespace quillar::bench
