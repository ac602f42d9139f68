// Helpers shared by the recording tests.
#pragma once

#include <sys/fsuid.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <vector>

#include "kit/record_buffer.h"
#include "record/wav_image.h"

namespace quillar::test {

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// A finished recording of `dataBytes` bytes of a counting pattern, as StopRecording leaves it.
inline void makeWavImage(RecordBuffer& buffer, std::size_t dataBytes, std::uint32_t rate = 44100,
                         std::uint16_t bits = 16) {
    buffer.clear();
    std::vector<std::uint8_t> data(dataBytes);
    for (std::size_t i = 0; i < dataBytes; ++i) {
        data[i] = static_cast<std::uint8_t>(i * 31 + 7);
    }
    buffer.append(data.data(), data.size());
    BuildWavImage(buffer, rate, bits, 2);
}

// File access as an ordinary user for the lifetime of the guard, so permission bits apply even
// when the tests run as root (the file-system uid only; the process keeps its identity).
class UnprivilegedFileAccess {
  public:
    UnprivilegedFileAccess() : m_was(::setfsuid(static_cast<uid_t>(-1))) {
        if (m_was == 0) {
            ::setfsgid(65534);
            ::setfsuid(65534);
        }
    }
    ~UnprivilegedFileAccess() {
        if (m_was == 0) {
            ::setfsuid(0);
            ::setfsgid(0);
        }
    }
    UnprivilegedFileAccess(const UnprivilegedFileAccess&) = delete;
    UnprivilegedFileAccess& operator=(const UnprivilegedFileAccess&) = delete;

  private:
    int m_was;
};

}  // namespace quillar::test
