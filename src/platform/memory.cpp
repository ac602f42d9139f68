#include "platform/memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <charconv>

namespace quillar::platform {

std::size_t pageSize() {
    const long p = ::sysconf(_SC_PAGESIZE);
    return p > 0 ? static_cast<std::size_t>(p) : 4096;
}

void* reserveRegion(std::size_t bytes) {
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    return p == MAP_FAILED ? nullptr : p;
}

void releaseRegion(void* base, std::size_t bytes) {
    ::munmap(base, bytes);
}

void commitAhead(void* at, std::size_t bytes) {
    // A kernel without MADV_POPULATE_WRITE refuses it; the pages then fault in when written.
    ::madvise(at, bytes, MADV_POPULATE_WRITE);
}

void returnPages(void* at, std::size_t bytes) {
    ::madvise(at, bytes, MADV_DONTNEED);
}

std::optional<std::uint64_t> parseMemAvailable(std::string_view meminfo) {
    constexpr std::string_view kKey = "MemAvailable:";
    const std::size_t at = meminfo.find(kKey);
    if (at == std::string_view::npos || (at > 0 && meminfo[at - 1] != '\n')) {
        return std::nullopt;
    }
    std::string_view rest = meminfo.substr(at + kKey.size());
    const std::size_t digits = rest.find_first_not_of(' ');
    if (digits == std::string_view::npos) {
        return std::nullopt;
    }
    rest.remove_prefix(digits);
    std::uint64_t kib = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), kib);
    if (error != std::errc() || end == rest.data() || kib > (UINT64_MAX >> 10)) {
        return std::nullopt;
    }
    return kib << 10;  // the kernel writes "kB" and means KiB
}

std::optional<std::uint64_t> availableMemoryBytes() {
    // A plain read into a stack buffer: the journal thread calls this twice a second and
    // should allocate nothing for it.
    const int fd = ::open("/proc/meminfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    std::array<char, 4096> text{};
    std::size_t used = 0;
    for (;;) {
        const ssize_t n = ::read(fd, text.data() + used, text.size() - used);
        if (n <= 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
        if (used == text.size()) {
            break;  // MemAvailable is the third line; the rest is not needed
        }
    }
    ::close(fd);
    return parseMemAvailable(std::string_view(text.data(), used));
}

}  // namespace quillar::platform
