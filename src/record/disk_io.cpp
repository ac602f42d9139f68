#include "record/disk_io.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <vector>

namespace quillar {

namespace {

// The longest single transfer: Linux moves at most about 2 GiB per call.
constexpr std::uint64_t kMaxTransferBytes = std::uint64_t{1} << 30;
constexpr std::size_t kCopyChunkBytes = std::size_t{1} << 20;

bool copyThroughMemory(int in, std::uint64_t inOffset, int out, std::uint64_t outOffset,
                       std::uint64_t count) {
    std::vector<std::uint8_t> chunk(kCopyChunkBytes);
    while (count > 0) {
        const ssize_t n = ::pread(in, chunk.data(), std::min<std::uint64_t>(count, chunk.size()),
                                  static_cast<off_t>(inOffset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 || !writeAllAt(out, chunk.data(), static_cast<std::uint64_t>(n), outOffset)) {
            return false;
        }
        inOffset += static_cast<std::uint64_t>(n);
        outOffset += static_cast<std::uint64_t>(n);
        count -= static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace

bool writeAllAt(int fd, const std::uint8_t* bytes, std::uint64_t count, std::uint64_t offset) {
    while (count > 0) {
        const ssize_t n =
            ::pwrite(fd, bytes, std::min(count, kMaxTransferBytes), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes += n;
        count -= static_cast<std::uint64_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool copyAllAt(int in, std::uint64_t inOffset, int out, std::uint64_t outOffset,
               std::uint64_t count) {
    while (count > 0) {
        auto from = static_cast<off_t>(inOffset);
        auto to = static_cast<off_t>(outOffset);
        const ssize_t n =
            ::copy_file_range(in, &from, out, &to, std::min(count, kMaxTransferBytes), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            // Across file systems, or a file system that cannot: copy by hand.
            return copyThroughMemory(in, inOffset, out, outOffset, count);
        }
        if (n == 0) {
            return false;  // the source ended early
        }
        inOffset += static_cast<std::uint64_t>(n);
        outOffset += static_cast<std::uint64_t>(n);
        count -= static_cast<std::uint64_t>(n);
    }
    return true;
}

void syncFolder(const QString& folder) {
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace quillar
