// 24-bit samples packed from and widened to the 32-bit samples devices use in their place.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "audio/sample_packing.h"

namespace quillar::audio {
namespace {

TEST(SamplePacking, KeepsTheTopThreeBytesAndWidensBackWithoutChangingTheScale) {
    struct Case {
        const char* name;
        std::int32_t s32;
        std::array<std::uint8_t, 3> s24;
    };
    const Case cases[] = {
        {"positive full scale", INT32_MAX, {0xFF, 0xFF, 0x7F}},
        {"negative full scale", INT32_MIN, {0x00, 0x00, 0x80}},
        {"half scale", 0x40000000, {0x00, 0x00, 0x40}},
        {"one 24-bit step", 0x100, {0x01, 0x00, 0x00}},
        {"below a step: dropped, not rounded up", 0xFF, {0x00, 0x00, 0x00}},
        {"minus one step", -0x100, {0xFF, 0xFF, 0xFF}},
        {"a 16-bit sample", 0x12340000, {0x00, 0x34, 0x12}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint8_t in[4];
        std::memcpy(in, &c.s32, 4);
        std::array<std::uint8_t, 3> packed{};
        packS32ToS24(in, packed.data(), 1);
        EXPECT_EQ(packed, c.s24);
        std::int32_t widened = 0;
        widenS24ToS32(packed.data(), &widened, 1);
        EXPECT_EQ(widened, c.s32 & ~0xFF);
    }
}

TEST(SamplePacking, WorksSampleAfterSampleThroughABuffer) {
    const std::int32_t in[] = {0x01020300, -0x01020300, 0x7FFFFF00, 0};
    std::uint8_t packed[12];
    packS32ToS24(in, packed, 4);
    std::int32_t out[4] = {1, 1, 1, 1};
    widenS24ToS32(packed, out, 4);
    EXPECT_TRUE(std::equal(std::begin(in), std::end(in), std::begin(out)));
}

}  // namespace
}  // namespace quillar::audio
