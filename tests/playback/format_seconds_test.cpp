#include "playback/format_seconds.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillar::test {
namespace {

TEST(FormatSeconds, EdgeList) {
    const struct {
        std::int32_t n;
        const char* text;
    } cases[] = {
        {0, "00:00:00"},
        {-3, "00:00:00"},
        {std::numeric_limits<std::int32_t>::min(), "00:00:00"},
        {5, "00:00:05"},
        {59, "00:00:59"},
        {60, "00:01:00"},
        {65, "00:01:05"},
        {3599, "00:59:59"},
        {3600, "01:00:00"},
        {3660, "01:01:00"},
        {86400, "24:00:00"},    // no wrap at a day
        {360000, "100:00:00"},  // hours keep every digit
        {std::numeric_limits<std::int32_t>::max(), "596523:14:07"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatSeconds(c.n), QString::fromLatin1(c.text)) << "n = " << c.n;
    }
}

}  // namespace
}  // namespace quillar::test
