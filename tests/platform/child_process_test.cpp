// Work done apart in a child process: its bytes come back whole; a child that crashes, exits
// with a failure or runs too long gives nothing, and the caller goes on.
#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <thread>

namespace quillar::platform {
namespace {

using namespace std::chrono_literals;

TEST(ChildProcess, BytesComeBackOnlyFromAChildThatEndedNormally) {
    const QByteArray large(300 * 1024, 'x');  // more than a pipe holds at once
    const struct {
        const char* what;
        std::function<QByteArray()> work;
        std::optional<QByteArray> expected;
    } cases[] = {
        {"bytes", [] { return QByteArray("词表\0a", 7); }, QByteArray("词表\0a", 7)},
        {"nothing", [] { return QByteArray(); }, QByteArray()},
        {"more than a pipe holds", [&large] { return large; }, large},
        {"a crash",
         []() -> QByteArray {
             std::raise(SIGSEGV);
             return "never";
         },
         std::nullopt},
        {"an abort", []() -> QByteArray { std::abort(); }, std::nullopt},
        {"a failing exit", []() -> QByteArray { std::_Exit(3); }, std::nullopt},
        {"too long",
         [] {
             std::this_thread::sleep_for(10s);
             return QByteArray("late");
         },
         std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto started = std::chrono::steady_clock::now();
        EXPECT_EQ(RunInChildProcess(c.work, 500ms), c.expected);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    }
}

#ifdef __SANITIZE_ADDRESS__
// What a damaged file makes a library do. The child ends at once: symbolising and printing the
// report would cost the parent a second or more before it could refuse the file.
TEST(ChildProcess, AReadPastABufferEndsTheChildWithoutAReport) {
    testing::internal::CaptureStderr();
    const auto got = RunInChildProcess(
        []() -> QByteArray {
            const auto buffer = std::make_unique<char[]>(16);
            const char* volatile past = buffer.get() + 16;
            return QByteArray(1, *past);
        },
        5s);
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(got, std::nullopt);
    EXPECT_EQ(printed.find("AddressSanitizer"), std::string::npos) << printed;
}
#endif

}  // namespace
}  // namespace quillar::platform
