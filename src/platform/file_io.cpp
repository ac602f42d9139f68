#include "platform/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <vector>

namespace quillar::platform {

namespace {

// The longest single transfer: Linux moves at most about 2 GiB per call.
constexpr std::uint64_t kMaxTransferBytes = std::uint64_t{1} << 30;
constexpr std::size_t kCopyChunkBytes = std::size_t{1} << 20;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// The one loop behind every whole write: `step` moves some of the bytes and says how many.
template <class Step>
bool transferAll(std::uint64_t count, Step step) {
    std::uint64_t done = 0;
    while (done < count) {
        const ssize_t n = step(done, std::min(count - done, kMaxTransferBytes));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            if (n == 0) {
                errno = EIO;
            }
            return false;
        }
        done += static_cast<std::uint64_t>(n);
    }
    return true;
}

bool copyThroughMemory(int in, std::uint64_t inOffset, int out, std::uint64_t outOffset,
                       std::uint64_t count) {
    std::vector<std::uint8_t> chunk(kCopyChunkBytes);
    while (count > 0) {
        const std::int64_t n =
            readAt(in, chunk.data(), std::min<std::uint64_t>(count, chunk.size()), inOffset);
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

FileHandle::~FileHandle() {
    close();
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = other.release();
    }
    return *this;
}

int FileHandle::release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

bool FileHandle::close() {
    return m_fd < 0 || closeFile(release());
}

bool closeFile(int fd) {
    return ::close(fd) == 0;
}

int openReadOnly(const char* nativePath) {
    return ::open(nativePath, O_RDONLY | O_CLOEXEC);
}

FileHandle openForReading(const QString& path) {
    return FileHandle(openReadOnly(native(path).constData()));
}

FileHandle createNewFile(const QString& path, unsigned mode) {
    return FileHandle(::open(native(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                             static_cast<mode_t>(mode)));
}

FileHandle openForAppending(const QString& path, unsigned mode) {
    return FileHandle(::open(native(path).constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC,
                             static_cast<mode_t>(mode)));
}

bool writeAll(int fd, const void* bytes, std::uint64_t count) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    return transferAll(
        count, [&](std::uint64_t done, std::uint64_t n) { return ::write(fd, p + done, n); });
}

bool writeAllAt(int fd, const void* bytes, std::uint64_t count, std::uint64_t offset) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    return transferAll(count, [&](std::uint64_t done, std::uint64_t n) {
        return ::pwrite(fd, p + done, n, static_cast<off_t>(offset + done));
    });
}

std::int64_t readAt(int fd, void* out, std::uint64_t count, std::uint64_t offset) {
    for (;;) {
        const ssize_t n = ::pread(fd, out, count, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return n;
    }
}

std::uint64_t readFullyAt(int fd, void* out, std::uint64_t count, std::uint64_t offset) {
    auto* dst = static_cast<std::uint8_t*>(out);
    std::uint64_t got = 0;
    while (got < count) {
        const std::int64_t n = readAt(fd, dst + got, count - got, offset + got);
        if (n <= 0) {
            break;
        }
        got += static_cast<std::uint64_t>(n);
    }
    return got;
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

bool syncData(int fd) {
    return ::fdatasync(fd) == 0;
}

void syncFolder(const QString& folder) {
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void adviseSequential(int fd) {
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
}

bool lockExclusive(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

std::optional<std::uint64_t> sizeOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

std::optional<FileState> stateOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return std::nullopt;
    }
    return FileState{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                     static_cast<std::uint64_t>(st.st_size),
                     std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
}

std::optional<std::uint64_t> regularFileSize(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(st.st_size);
}

bool stillNamed(int fd, const QString& path) {
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::stat(native(path).constData(), &named) == 0 &&
           held.st_ino == named.st_ino && held.st_dev == named.st_dev && held.st_nlink > 0;
}

PathInfo pathInfo(const QString& path) {
    PathInfo info;
    struct stat st {};
    if (::lstat(native(path).constData(), &st) == 0) {
        info.exists = true;
        info.isFolder = S_ISDIR(st.st_mode);
        info.isFile = S_ISREG(st.st_mode);
        info.mode = st.st_mode & 07777;
    }
    return info;
}

bool renameNoReplace(const QString& from, const QString& to) {
    const QByteArray f = native(from);
    const QByteArray t = native(to);
    if (::renameat2(AT_FDCWD, f.constData(), AT_FDCWD, t.constData(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    struct stat st {};
    if (::lstat(t.constData(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(f.constData(), t.constData()) == 0;
}

bool renameReplacing(const QString& from, const QString& to) {
    return ::rename(native(from).constData(), native(to).constData()) == 0;
}

bool removeFile(const QString& path) {
    return ::unlink(native(path).constData()) == 0;
}

bool makeFolder(const QString& path) {
    return ::mkdir(native(path).constData(), 0777) == 0 || errno == EEXIST;
}

bool folderWritable(const QString& folder) {
    const QByteArray n = native(folder);
    struct stat st {};
    return !folder.isEmpty() && ::stat(n.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(n.constData(), W_OK | X_OK) == 0;
}

NameLimits nameLimitsOf(const QString& folder) {
    NameLimits limits;
    const QByteArray n = native(folder);
    const long max = ::pathconf(n.constData(), _PC_NAME_MAX);
    if (max > 0 && max < limits.nameMax) {
        limits.nameMax = static_cast<int>(max);
    }
    struct statfs fs {};
    if (::statfs(n.constData(), &fs) == 0) {
        limits.fsType = static_cast<unsigned long>(fs.f_type);
    }
    return limits;
}

QSet<QString> plainFileNamesIn(const QString& folder) {
    QSet<QString> names;
    // readdir gives the type with the name: 50,000 files are listed without a stat each.
    DIR* dir = ::opendir(native(folder).constData());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_type == DT_REG || e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            names.insert(QFile::decodeName(e->d_name));
        }
    }
    ::closedir(dir);
    return names;
}

long processId() {
    return static_cast<long>(::getpid());
}

}  // namespace quillar::platform
