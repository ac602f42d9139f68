#include "kit/record_buffer.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "record/wav_image.h"

namespace quillar {
namespace {

using Backing = RecordBuffer::Backing;

class RecordBufferTest : public testing::TestWithParam<Backing> {};

std::vector<std::uint8_t> pattern(std::size_t bytes, std::uint8_t seed) {
    std::vector<std::uint8_t> v(bytes);
    std::iota(v.begin(), v.end(), seed);
    return v;
}

TEST_P(RecordBufferTest, KeepsBlocksInArrivalOrderAcrossGrowth) {
    RecordBuffer buffer(GetParam());
    EXPECT_TRUE(buffer.empty());
    // Enough 100 ms blocks of 48 kHz float to pass the first heap allocation several times.
    std::vector<std::uint8_t> expected;
    for (int i = 0; i < 12; ++i) {
        const auto block = pattern(38400, static_cast<std::uint8_t>(i));
        ASSERT_TRUE(buffer.append(block.data(), block.size()));
        expected.insert(expected.end(), block.begin(), block.end());
    }
    ASSERT_EQ(buffer.size(), expected.size());
    EXPECT_EQ(std::memcmp(buffer.data(), expected.data(), expected.size()), 0);
}

TEST_P(RecordBufferTest, ClearStartsAFreshRecording) {
    RecordBuffer buffer(GetParam());
    const auto first = pattern(5000, 1);
    ASSERT_TRUE(buffer.append(first.data(), first.size()));
    BuildWavImage(buffer, 8000, 16, 2);
    ASSERT_TRUE(buffer.isWavImage());

    buffer.clear();
    EXPECT_TRUE(buffer.empty());
    EXPECT_FALSE(buffer.isWavImage());

    const auto second = pattern(300, 9);
    ASSERT_TRUE(buffer.append(second.data(), second.size()));
    ASSERT_EQ(buffer.size(), 300u);
    EXPECT_EQ(std::memcmp(buffer.data(), second.data(), second.size()), 0);
}

TEST_P(RecordBufferTest, RefusesTheBlockThatWouldPassTheLimitAndKeepsTheRest) {
    RecordBuffer buffer(GetParam());
    buffer.setDataLimit(1000);
    const auto block = pattern(400, 3);
    ASSERT_TRUE(buffer.append(block.data(), block.size()));
    ASSERT_TRUE(buffer.append(block.data(), block.size()));
    EXPECT_FALSE(buffer.refusedAppend());
    EXPECT_FALSE(buffer.fits(400));
    EXPECT_TRUE(buffer.fits(200));

    EXPECT_FALSE(buffer.append(block.data(), block.size()));
    EXPECT_TRUE(buffer.refusedAppend());
    EXPECT_EQ(buffer.size(), 800u) << "a refused block must leave no partial bytes";

    BuildWavImage(buffer, 8000, 16, 2);
    EXPECT_EQ(buffer.size(), 844u);
    EXPECT_FALSE(buffer.append(block.data(), 4)) << "no appends after the image is made";

    buffer.clear();
    EXPECT_FALSE(buffer.refusedAppend());
}

TEST_P(RecordBufferTest, LimitNeverExceedsWhatAHeaderCanDescribe) {
    RecordBuffer buffer(GetParam());
    EXPECT_EQ(buffer.dataLimit(), RecordBuffer::kMaxDataBytes);
    buffer.setDataLimit(UINT64_MAX);
    EXPECT_EQ(buffer.dataLimit(), RecordBuffer::kMaxDataBytes);
    EXPECT_TRUE(buffer.fits(RecordBuffer::kMaxDataBytes));
    EXPECT_FALSE(buffer.fits(RecordBuffer::kMaxDataBytes + 1));
    EXPECT_FALSE(buffer.fits(SIZE_MAX)) << "no wrap-around in the limit test";
}

INSTANTIATE_TEST_SUITE_P(Backings, RecordBufferTest,
                         testing::Values(Backing::Reserved, Backing::Heap),
                         [](const testing::TestParamInfo<Backing>& info) {
                             return info.param == Backing::Reserved ? "Reserved" : "Heap";
                         });

TEST(RecordBuffer, ReservedRegionKeepsTheDataPointerForTheWholeRecording) {
    RecordBuffer buffer;
    ASSERT_EQ(buffer.backing(), Backing::Reserved);
    const auto block = pattern(17640, 0);
    ASSERT_TRUE(buffer.append(block.data(), block.size()));
    const std::uint8_t* first = buffer.data();
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(buffer.append(block.data(), block.size()));
    }
    EXPECT_EQ(buffer.data(), first);
}

bool resident(const std::uint8_t* p) {
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    unsigned char v = 0;
    void* start = reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(p) & ~(page - 1));
    return ::mincore(start, 1, &v) == 0 && (v & 1);
}

TEST(RecordBuffer, ClearKeepsMemoryForShortTakesAndReturnsTheRest) {
    RecordBuffer buffer;
    ASSERT_EQ(buffer.backing(), Backing::Reserved);
    const std::vector<std::uint8_t> block(1 << 20, 0x42);
    for (int i = 0; i < 24; ++i) {
        ASSERT_TRUE(buffer.append(block.data(), block.size()));
    }
    const std::uint8_t* base = buffer.data();
    ASSERT_TRUE(resident(base + (20 << 20)));

    buffer.clear();
    EXPECT_TRUE(resident(base + (1 << 20))) << "short takes should reuse these pages";
    EXPECT_FALSE(resident(base + (20 << 20))) << "a long take's memory is kept after clear()";
    EXPECT_FALSE(resident(base + (24 << 20) - 64));
    EXPECT_FALSE(resident(base + (25 << 20))) << "pages prepared ahead of the data are kept";
}

}  // namespace
}  // namespace quillar
