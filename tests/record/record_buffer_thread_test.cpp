// Run under ThreadSanitizer: the capture thread appends while the GUI thread reads the length.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include <QComboBox>
#include <QPushButton>

#include "record/record_buffer.h"
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
