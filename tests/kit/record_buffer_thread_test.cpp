// Run under ThreadSanitizer: the capture thread appends while the GUI thread reads the length,
// and the buffer's page warmer works on the same region.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include <QComboBox>
#include <QPushButton>

#include "kit/record_buffer.h"
#include "record/recording_control.h"
#include "support/test_app.h"

namespace quillar {
namespace {

TEST(RecordBufferThreads, MillionBlocksAppendedWhileAnotherThreadReadsTheLength) {
    for (auto backing : {RecordBuffer::Backing::Reserved, RecordBuffer::Backing::Heap}) {
        RecordBuffer buffer(backing);
        constexpr int kBlocks = 1'000'000;
        constexpr std::size_t kBlockBytes = 16;
        std::atomic<bool> done{false};
        std::size_t reads = 0;
        bool monotonic = true;
        bool aligned = true;

        std::thread capture([&] {
            std::uint8_t block[kBlockBytes];
            for (int i = 0; i < kBlocks; ++i) {
                std::memcpy(block, &i, sizeof i);
                if (!buffer.append(block, sizeof block)) {
                    break;
                }
            }
            done.store(true, std::memory_order_release);
        });
        std::size_t last = 0;
        while (!done.load(std::memory_order_acquire)) {
            const std::size_t now = buffer.size();
            monotonic = monotonic && now >= last;
            aligned = aligned && now % kBlockBytes == 0;
            last = now;
            ++reads;
        }
        capture.join();

        EXPECT_TRUE(monotonic) << "the length went backwards";
        EXPECT_TRUE(aligned) << "a length between two blocks was seen";
        ASSERT_EQ(buffer.size(), kBlocks * kBlockBytes);
        // Every block landed whole and in order.
        for (int i = 0; i < kBlocks; i += 9973) {
            int stored = 0;
            std::memcpy(&stored, buffer.data() + std::size_t(i) * kBlockBytes, sizeof stored);
            ASSERT_EQ(stored, i);
        }
        RecordProperty("length_reads", static_cast<int>(reads));
    }
}

constexpr std::size_t kMiB = std::size_t{1} << 20;

// Byte i of a take made with `seed`: not periodic in any page or block size used here, so a lost,
// repeated or zeroed page shows.
std::uint8_t takeByte(std::size_t i, std::uint8_t seed) {
    return static_cast<std::uint8_t>((i * 131 + (i >> 12) * 7 + seed) & 0xff);
}

// Appends `total` bytes of the take on its own capture thread in blocks of varied sizes (a 100 ms
// block at 48 kHz float, at 44.1 kHz 16-bit, and an odd size that never lines up with a page),
// while this thread reads the length.
void captureTake(RecordBuffer& buffer, std::size_t total, std::uint8_t seed) {
    std::thread capture([&] {
        const std::size_t sizes[] = {38400, 17640, 4093};
        std::vector<std::uint8_t> block;
        for (std::size_t done = 0, n = 0; done < total; ++n) {
            block.resize(std::min(sizes[n % 3], total - done));
            for (std::size_t i = 0; i < block.size(); ++i) {
                block[i] = takeByte(done + i, seed);
            }
            if (!buffer.append(block.data(), block.size())) {
                return;
            }
            done += block.size();
        }
    });
    while (buffer.size() < total) {
        std::this_thread::yield();
    }
    capture.join();
}

::testing::AssertionResult holdsTake(const RecordBuffer& buffer, std::size_t total,
                                     std::uint8_t seed) {
    if (buffer.size() != total) {
        return ::testing::AssertionFailure() << "size " << buffer.size() << ", wanted " << total;
    }
    std::vector<std::uint8_t> expected(total);
    for (std::size_t i = 0; i < total; ++i) {
        expected[i] = takeByte(i, seed);
    }
    const auto* data = buffer.data();
    for (std::size_t at = 0; at < total; at += kMiB) {
        const std::size_t n = std::min(kMiB, total - at);
        if (std::memcmp(data + at, expected.data() + at, n) != 0) {
            return ::testing::AssertionFailure() << "wrong bytes in the MiB at " << at;
        }
    }
    return ::testing::AssertionSuccess();
}

std::size_t pageBytes() {
    return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

// Pages of [from, to) that are in memory.
std::size_t residentPages(const std::uint8_t* from, const std::uint8_t* to) {
    const std::uintptr_t page = pageBytes();
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(from) / page * page;
    std::vector<unsigned char> in((reinterpret_cast<std::uintptr_t>(to) - start + page - 1) / page);
    if (::mincore(reinterpret_cast<void*>(start), in.size() * page, in.data()) != 0) {
        return 0;
    }
    return std::count_if(in.begin(), in.end(), [](unsigned char v) { return v & 1; });
}

bool resident(const std::uint8_t* p) {
    return residentPages(p, p + 1) == 1;
}

bool waitUntilResident(const std::uint8_t* p) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!resident(p)) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

bool kernelPopulatesOnRequest() {
    const std::size_t page = pageBytes();
    void* p = ::mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    const bool ok = p != MAP_FAILED && ::madvise(p, page, MADV_POPULATE_WRITE) == 0;
    if (p != MAP_FAILED) {
        ::munmap(p, page);
    }
    return ok;
}

TEST(RecordBufferWarmer, EveryByteSurvivesManyWindowsAClearMidWayAndTheNextTake) {
    RecordBuffer buffer;
    ASSERT_EQ(buffer.backing(), RecordBuffer::Backing::Reserved);
    // Ten times the warmer's lead, so it is asked for pages many times over.
    constexpr std::size_t kFirst = 40 * kMiB;
    captureTake(buffer, kFirst, 3);
    EXPECT_TRUE(holdsTake(buffer, kFirst, 3));
    const std::uint8_t* base = buffer.data();

    // A last large block asks for a fresh 4 MiB lead, and the clear comes while the warmer is
    // most likely still faulting it in.
    const std::vector<std::uint8_t> last(4 * kMiB, 0x5a);
    ASSERT_TRUE(buffer.append(last.data(), last.size()));
    buffer.clear();
    EXPECT_TRUE(buffer.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Past the kept 16 MiB nothing may come back: not the data, not the lead it had asked for.
    EXPECT_EQ(residentPages(base + RecordBuffer::kRetainedBytes + pageBytes(), base + 56 * kMiB),
              0u);

    // A shorter take in the kept pages and beyond them, with none of the first take's bytes left.
    constexpr std::size_t kSecond = 24 * kMiB + 12345;
    captureTake(buffer, kSecond, 200);
    EXPECT_EQ(buffer.data(), base);
    EXPECT_TRUE(holdsTake(buffer, kSecond, 200));
}

TEST(RecordBufferWarmer, FaultsPagesInAheadOfTheDataButNotPastTheLimit) {
    if (!kernelPopulatesOnRequest()) {
        GTEST_SKIP() << "the kernel cannot fault pages in on request";
    }
    struct Case {
        const char* name;
        std::uint64_t limit;
        std::size_t data;  // bytes appended before looking
        std::size_t look;  // offset from the data whose page must come in (or not)
        bool expectResident;
    };
    const Case cases[] = {
        {"first block of a take", RecordBuffer::kMaxDataBytes, 38400, 2 * kMiB, true},
        {"deep into a long take", RecordBuffer::kMaxDataBytes, 30 * kMiB, 2 * kMiB, true},
        {"nothing past a low limit", 64 * 1024, 38400, 64 * 1024, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordBuffer buffer;
        RecordBuffer control;  // unlimited, so that there is a moment its warmer has worked by
        buffer.setDataLimit(c.limit);
        captureTake(buffer, c.data, 1);
        captureTake(control, c.data, 1);
        ASSERT_EQ(buffer.size(), c.data);
        ASSERT_TRUE(waitUntilResident(control.data() + c.data + 2 * kMiB))
            << "the warmer never faulted the lead in";
        if (c.expectResident) {
            EXPECT_TRUE(waitUntilResident(buffer.data() + c.data + c.look));
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            EXPECT_FALSE(resident(buffer.data() + c.data + c.look));
        }
    }
}

TEST(RecordBufferWarmer, GoesAwayWhileFaultingPagesIn) {
    // Each buffer is destroyed with its warmer most likely in the middle of its 4 MiB lead; the
    // region must outlive it, and the join must not hang.
    const std::vector<std::uint8_t> block(38400, 0x7e);
    for (int i = 0; i < 20; ++i) {
        RecordBuffer buffer;
        ASSERT_TRUE(buffer.append(block.data(), block.size()));
        if (i % 2 == 1) {
            buffer.clear();  // the warmer now started on this thread, then asked again below
            ASSERT_TRUE(buffer.append(block.data(), block.size()));
        }
    }
    // One that never got data: its warmer sleeps when it goes.
    RecordBuffer idle;
    idle.clear();
}

TEST(RecordingThreads, CaptureThreadFillsTheRecordingWhileTheWindowReadsIt) {
    test::TestApp t;
    if (t.form.组合框1->count() == 0) {
        t.form.组合框1->addItem("Simulated input", 0);
    }
    t.form.组合框1->setCurrentIndex(0);
    t.form.按钮1->click();

    constexpr int kBlocks = 500;
    std::atomic<bool> done{false};
    std::thread capture([&] {
        for (int i = 0; i < kBlocks; ++i) {
            t.sim.pumpCaptureBlock();
        }
        done.store(true, std::memory_order_release);
    });
    // What the status display reads 33 times a second, here as fast as it can.
    std::uint64_t seen = 0;
    while (!done.load(std::memory_order_acquire)) {
        seen += t.app.state.record_buffer.size() + t.app.state.last_block_size.load() +
                t.app.state.record_handle.load();
    }
    capture.join();
    t.form.按钮1->click();

    EXPECT_EQ(t.app.state.record_buffer.size(), std::size_t{kBlocks} * 17640 + 44);
    EXPECT_GT(seen, 0u);
}

}  // namespace
}  // namespace quillar
