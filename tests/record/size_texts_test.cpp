#include "record/size_texts.h"

#include <gtest/gtest.h>

namespace quillar {
namespace {

TEST(FormatHms, EdgeList) {
    const struct {
        std::int32_t seconds;
        const char* text;
    } cases[] = {
        {0, "00:00:00"},         {59, "00:00:59"},   {60, "00:01:00"},    {3599, "00:59:59"},
        {3600, "01:00:00"},      {3661, "01:01:01"}, {86399, "23:59:59"}, {86400, "00:00:00"},
        {90061, "01:01:01"},     {-5, "00:00:00"},   {-1, "00:00:00"},    {INT32_MIN, "00:00:00"},
        {INT32_MAX, "03:14:07"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatHms(c.seconds), QString::fromUtf8(c.text)) << c.seconds;
    }
}

TEST(FormatByteSize, EdgeList) {
    const struct {
        std::uint64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0 字节"},
        {532, "532 字节"},
        {1023, "1023 字节"},
        {1024, "1.00 KB"},
        {1340, "1.30 KB"},
        {10239, "9.99 KB"},
        {10240, "10.0 KB"},
        {23506, "22.9 KB"},
        {102399, "99.9 KB"},
        {102400, "100 KB"},
        {1023999, "999 KB"},
        {1024000, "0.97 MB"},  // four digits of KB would not be short
        {1048575, "0.99 MB"},
        {1048576, "1.00 MB"},
        {2400016, "2.28 MB"},
        {1073741823, "0.99 GB"},
        {1073741824, "1.00 GB"},
        {2400000000, "2.23 GB"},
        {4294967295, "3.99 GB"},  // the largest WAV file
        {1099511627776, "1.00 TB"},
        {UINT64_MAX, "15.9 EB"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatByteSize(c.bytes), QString::fromUtf8(c.text)) << c.bytes;
    }
}

}  // namespace
}  // namespace quillar
