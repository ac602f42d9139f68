#include "platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLAR_CHILD_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QUILLAR_CHILD_SANITIZED 1
#endif
#ifdef QUILLAR_CHILD_SANITIZED
#include <sanitizer/asan_interface.h>
#include <sanitizer/common_interface_defs.h>
#endif

namespace {

// Set in a child only, before its work starts.
volatile sig_atomic_t g_in_child = 0;

}  // namespace

#ifdef QUILLAR_CHILD_SANITIZED
// A fault the address sanitizer sees in a child is the child's end, and the parent only learns that
// it failed. Symbolising and printing the report would take a second or more on a loaded machine,
// all of it spent before the parent can refuse the file.
extern "C" void __asan_on_error() {
    if (g_in_child != 0) {
        ::_exit(2);  // a failure, as any status but 0
    }
}
#endif

namespace quillar::platform {

namespace {

// The child's end: the work's bytes into the pipe, then out without running anything of the
// parent's (no atexit handlers, no destructors of objects the parent owns).
[[noreturn]] void childMain(int out, const std::function<QByteArray()>& work) {
    g_in_child = 1;
#ifdef QUILLAR_CHILD_SANITIZED
    // A sanitizer's report in the child is the child's failure, which the parent sees in its
    // exit status: a fuzzer or test harness of the parent must not record it as its own.
    __sanitizer_set_death_callback(nullptr);
#endif
    const QByteArray bytes = work();
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(out, p, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ::_exit(1);
        }
        p += n;
        left -= n;
    }
    ::_exit(0);
}

}  // namespace

std::optional<QByteArray> RunInChildProcess(const std::function<QByteArray()>& work,
                                            std::chrono::milliseconds limit) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return std::nullopt;
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return std::nullopt;
    }
    if (pid == 0) {
        ::close(fds[0]);
        childMain(fds[1], work);
    }
    ::close(fds[1]);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + limit;
    QByteArray got;
    bool whole = false;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            break;
        }
        pollfd ready{fds[0], POLLIN, 0};
        const int r = ::poll(&ready, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            break;
        }
        char buffer[64 * 1024];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            whole = n == 0;
            break;
        }
        got.append(buffer, n);
    }
    ::close(fds[0]);
    if (!whole) {
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!whole || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return std::nullopt;
    }
    return got;
}

}  // namespace quillar::platform
