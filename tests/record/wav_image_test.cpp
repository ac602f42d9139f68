#include "record/wav_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "kit/record_buffer.h"

namespace quillar {
namespace {

std::uint32_t u32At(const std::uint8_t* p, std::size_t at) {
    return p[at] | p[at + 1] << 8 | p[at + 2] << 16 | std::uint32_t{p[at + 3]} << 24;
}
std::uint16_t u16At(const std::uint8_t* p, std::size_t at) {
    return static_cast<std::uint16_t>(p[at] | p[at + 1] << 8);
}
std::string tagAt(const std::uint8_t* p, std::size_t at) {
    return std::string(reinterpret_cast<const char*>(p) + at, 4);
}

struct HeaderCase {
    const char* name;
    std::uint32_t rate;
    std::uint16_t bits;
    std::uint32_t dataLength;
    std::uint16_t formatTag;
    std::uint32_t byteRate;
    std::uint16_t blockAlign;
};

class WavHeaderTest : public testing::TestWithParam<HeaderCase> {};

TEST_P(WavHeaderTest, FieldsFollowTheLayout) {
    const HeaderCase& c = GetParam();
    const auto h = wavHeaderBytes(c.dataLength, c.rate, c.bits, 2);
    const std::uint8_t* p = h.data();
    EXPECT_EQ(tagAt(p, 0), "RIFF");
    EXPECT_EQ(u32At(p, 4), 36 + c.dataLength);
    EXPECT_EQ(tagAt(p, 8), "WAVE");
    EXPECT_EQ(tagAt(p, 12), "fmt ");
    EXPECT_EQ(u32At(p, 16), 16u) << "no extension field, also for float";
    EXPECT_EQ(u16At(p, 20), c.formatTag);
    EXPECT_EQ(u16At(p, 22), 2);
    EXPECT_EQ(u32At(p, 24), c.rate);
    EXPECT_EQ(u32At(p, 28), c.byteRate);
    EXPECT_EQ(u16At(p, 32), c.blockAlign);
    EXPECT_EQ(u16At(p, 34), c.bits);
    EXPECT_EQ(tagAt(p, 36), "data");
    EXPECT_EQ(u32At(p, 40), c.dataLength);
}

INSTANTIATE_TEST_SUITE_P(
    AllWidths, WavHeaderTest,
    testing::Values(HeaderCase{"OneSecond8kHz16Bit", 8000, 16, 32000, 1, 32000, 4},
                    HeaderCase{"CdRateFloat", 44100, 32, 352800, 3, 352800, 8},
                    HeaderCase{"Telephone8Bit", 8000, 8, 16000, 1, 16000, 2},
                    HeaderCase{"OddRate22050At16Bit", 22050, 16, 4, 1, 88200, 4},
                    HeaderCase{"StudioFloat", 48000, 32, 0, 3, 384000, 8},
                    HeaderCase{"LargestDescribable", 48000, 32, 0xFFFFFFFFu - 36, 3, 384000, 8}),
    [](const testing::TestParamInfo<HeaderCase>& info) { return std::string(info.param.name); });

TEST(BuildWavImage, WrapsTheCapturedDataInPlaceWithoutMovingIt) {
    for (auto backing : {RecordBuffer::Backing::Reserved, RecordBuffer::Backing::Heap}) {
        RecordBuffer buffer(backing);
        std::vector<std::uint8_t> data(32000);
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>(i * 7);
        }
        ASSERT_TRUE(buffer.append(data.data(), data.size()));
        const std::uint8_t* samplesBefore = buffer.data();

        BuildWavImage(buffer, 8000, 16, 2);

        ASSERT_TRUE(buffer.isWavImage());
        ASSERT_EQ(buffer.size(), 32044u);
        EXPECT_EQ(buffer.data() + kWavHeaderBytes, samplesBefore) << "the data was copied";
        EXPECT_EQ(u32At(buffer.data(), 40), buffer.size() - 44);
        EXPECT_EQ(u32At(buffer.data(), 4), 32036u);
        EXPECT_EQ(std::memcmp(buffer.data() + 44, data.data(), data.size()), 0);
    }
}

TEST(BuildWavImage, LeavesAnEmptyBufferEmptyAndWrapsOnlyOnce) {
    RecordBuffer buffer;
    BuildWavImage(buffer, 44100, 16, 2);
    EXPECT_EQ(buffer.size(), 0u);
    EXPECT_FALSE(buffer.isWavImage());

    const std::uint8_t silence8[4] = {0x80, 0x80, 0x80, 0x80};
    ASSERT_TRUE(buffer.append(silence8, sizeof silence8));
    BuildWavImage(buffer, 8000, 8, 2);
    BuildWavImage(buffer, 8000, 8, 2);
    ASSERT_EQ(buffer.size(), 48u);
    EXPECT_EQ(u32At(buffer.data(), 40), 4u);
    EXPECT_EQ(buffer.data()[44], 0x80) << "8-bit samples are unsigned, kept as delivered";
}

}  // namespace
}  // namespace quillar
