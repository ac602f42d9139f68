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
    std::uint16_t channels;
    std::uint32_t dataLength;
    std::uint16_t formatTag;
    std::uint32_t byteRate;
    std::uint16_t blockAlign;
};

class WavHeaderTest : public testing::TestWithParam<HeaderCase> {};

// PCM: the 44-byte header as always. Float: an 18-byte "fmt " whose extension is empty, and a
// "fact" chunk with the frame count. The RIFF size counts the pad byte after odd data.
TEST_P(WavHeaderTest, FieldsFollowTheLayout) {
    const HeaderCase& c = GetParam();
    const bool isFloat = c.formatTag == 3;
    const auto h = wavHeaderBytes(c.dataLength, c.rate, c.bits, c.channels);
    const std::uint8_t* p = h.data();
    ASSERT_EQ(h.size(), isFloat ? 58u : 44u);
    EXPECT_EQ(h.size(), wavHeaderSize(c.bits));
    EXPECT_EQ(tagAt(p, 0), "RIFF");
    EXPECT_EQ(u32At(p, 4), h.size() - 8 + c.dataLength + c.dataLength % 2);
    EXPECT_EQ(tagAt(p, 8), "WAVE");
    EXPECT_EQ(tagAt(p, 12), "fmt ");
    EXPECT_EQ(u32At(p, 16), isFloat ? 18u : 16u);
    EXPECT_EQ(u16At(p, 20), c.formatTag);
    EXPECT_EQ(u16At(p, 22), c.channels);
    EXPECT_EQ(u32At(p, 24), c.rate);
    EXPECT_EQ(u32At(p, 28), c.byteRate);
    EXPECT_EQ(u16At(p, 32), c.blockAlign);
    EXPECT_EQ(u16At(p, 34), c.bits);
    std::size_t data = 36;
    if (isFloat) {
        EXPECT_EQ(u16At(p, 36), 0) << "extension size";
        EXPECT_EQ(tagAt(p, 38), "fact");
        EXPECT_EQ(u32At(p, 42), 4u);
        EXPECT_EQ(u32At(p, 46), c.dataLength / c.blockAlign) << "frames";
        data = 50;
    }
    EXPECT_EQ(tagAt(p, data), "data");
    EXPECT_EQ(u32At(p, data + 4), c.dataLength);
}

constexpr auto kLargest = static_cast<std::uint32_t>(RecordBuffer::kMaxDataBytes);

INSTANTIATE_TEST_SUITE_P(
    AllWidths, WavHeaderTest,
    testing::Values(HeaderCase{"OneSecond8kHz16Bit", 8000, 16, 2, 32000, 1, 32000, 4},
                    HeaderCase{"CdRateFloat", 44100, 32, 2, 352800, 3, 352800, 8},
                    HeaderCase{"Telephone8Bit", 8000, 8, 2, 16000, 1, 16000, 2},
                    HeaderCase{"OddRate22050At16Bit", 22050, 16, 2, 4, 1, 88200, 4},
                    HeaderCase{"StudioFloat", 48000, 32, 2, 0, 3, 384000, 8},
                    HeaderCase{"MonoFloat", 48000, 32, 1, 4800, 3, 192000, 4},
                    HeaderCase{"OddMono8Bit", 8000, 8, 1, 8001, 1, 8000, 1},
                    HeaderCase{"OddMono24Bit", 44100, 24, 1, 3 * 44101, 1, 132300, 3},
                    HeaderCase{"LargestFloat", 48000, 32, 2, kLargest, 3, 384000, 8},
                    HeaderCase{"LargestPcm", 48000, 16, 2, kLargest, 1, 192000, 4}),
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

// Odd data ends in its pad byte; a float header, longer than PCM's, still fits in front of the
// data where it lies.
TEST(BuildWavImage, PadsOddDataAndPutsTheFloatHeaderInFrontInPlace) {
    const struct {
        const char* name;
        std::uint16_t bits;
        std::uint16_t channels;
        std::size_t dataBytes;
        std::size_t imageBytes;
    } cases[] = {
        {"8-bit mono, odd", 8, 1, 4001, 44 + 4001 + 1},
        {"24-bit mono, odd", 24, 1, 3 * 1001, 44 + 3003 + 1},
        {"16-bit mono", 16, 1, 4002, 44 + 4002},
        {"float stereo", 32, 2, 8000, 58 + 8000},
    };
    for (auto backing : {RecordBuffer::Backing::Reserved, RecordBuffer::Backing::Heap}) {
        for (const auto& c : cases) {
            SCOPED_TRACE(c.name);
            RecordBuffer buffer(backing);
            std::vector<std::uint8_t> data(c.dataBytes, 0x55);
            ASSERT_TRUE(buffer.append(data.data(), data.size()));
            const std::uint8_t* samplesBefore = buffer.data();

            BuildWavImage(buffer, 8000, c.bits, c.channels);

            ASSERT_EQ(buffer.size(), c.imageBytes);
            const std::size_t header = wavHeaderSize(c.bits);
            EXPECT_EQ(buffer.data() + header, samplesBefore) << "the data was copied";
            EXPECT_EQ(u32At(buffer.data(), 4), c.imageBytes - 8);
            EXPECT_EQ(u32At(buffer.data(), header - 4), c.dataBytes);
            EXPECT_EQ(std::memcmp(buffer.data() + header, data.data(), data.size()), 0);
            if (c.dataBytes % 2 != 0) {
                EXPECT_EQ(buffer.data()[c.imageBytes - 1], 0) << "the pad byte";
            }
        }
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
