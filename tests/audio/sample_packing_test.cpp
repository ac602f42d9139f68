// 24-bit samples packed from and widened to the 32-bit samples devices use in their place, and
// read as the values they hold.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "audio/sample_packing.h"

namespace quillar::audio {
namespace {

// All the cases go through one buffer, so that a wrong stride shows as well as a wrong byte.
TEST(SamplePacking, KeepsTheTopThreeBytesAndWidensAndReadsBackWithoutChangingTheScale) {
    struct Case {
        const char* name;
        std::int32_t s32;
        std::array<std::uint8_t, 3> s24;
    };
    const std::vector<Case> cases = {
        {"positive full scale", INT32_MAX, {0xFF, 0xFF, 0x7F}},
        {"negative full scale", INT32_MIN, {0x00, 0x00, 0x80}},
        {"half scale", 0x40000000, {0x00, 0x00, 0x40}},
        {"one 24-bit step", 0x100, {0x01, 0x00, 0x00}},
        {"below a step: dropped, not rounded up", 0xFF, {0x00, 0x00, 0x00}},
        {"minus one step", -0x100, {0xFF, 0xFF, 0xFF}},
        {"a 16-bit sample", 0x12340000, {0x00, 0x34, 0x12}},
    };
    std::vector<std::int32_t> in;
    for (const Case& c : cases) {
        in.push_back(c.s32);
    }
    std::vector<std::uint8_t> packed(cases.size() * 3);
    packS32ToS24(in.data(), packed.data(), cases.size());
    std::vector<std::int32_t> widened(cases.size(), 1);
    widenS24ToS32(packed.data(), widened.data(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ((std::array{packed[3 * i], packed[3 * i + 1], packed[3 * i + 2]}), cases[i].s24);
        EXPECT_EQ(widened[i], cases[i].s32 & ~0xFF);
        EXPECT_EQ(readS24(packed.data() + 3 * i), cases[i].s32 >> 8);
    }
}

}  // namespace
}  // namespace quillar::audio
