// The recorder's costs: the capture thread's copy of a block into its ring and the window's
// collection of a take's block out of it, appending a capture block, making the WAV image at stop,
// and saving a long recording (against cp of a file of the same size on the same disk).
#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_folder.h"
#include "kit/record_buffer.h"
#include "record/capture_ring.h"
#include "record/saving.h"
#include "record/take_log.h"
#include "record/wav_image.h"

namespace {

using quillar::RecordBuffer;

// 10 minutes of 48000 Hz, 32-bit float stereo.
constexpr std::size_t kLongRecordingBytes = std::size_t{48000} * 8 * 600;

// A memory figure of this process in KiB from /proc/self/status ("VmHWM:" the peak since the
// last resetPeakRss(), "VmRSS:" the current one); -1 when it cannot be read.
long statusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::size_t keyLength = std::strlen(key);
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0) {
            return std::strtol(line.c_str() + keyLength, nullptr, 10);
        }
    }
    return -1;
}
long peakRssKiB() {
    return statusKiB("VmHWM:");
}
long rssKiB() {
    return statusKiB("VmRSS:");
}
void resetPeakRss() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void fill(RecordBuffer& buffer, std::size_t bytes) {
    std::vector<std::uint8_t> block(38400, 0x5a);  // 100 ms of 48 kHz float stereo
    for (std::size_t done = 0; done < bytes; done += block.size()) {
        buffer.append(block.data(), std::min(block.size(), bytes - done));
    }
}

// One capture callback's append of a 100 ms block. take_blocks is the length of a take: 50 (a
// word-list item of 5 s, memory kept from the previous take) or 6000 (10 minutes, mostly fresh
// pages that fault in as they are first written).
void BM_AppendBlock(benchmark::State& state) {
    const auto bytes = static_cast<std::size_t>(state.range(0));
    const auto backing =
        state.range(1) == 0 ? RecordBuffer::Backing::Reserved : RecordBuffer::Backing::Heap;
    RecordBuffer buffer(backing);
    std::vector<std::uint8_t> block(bytes, 0x11);
    const auto blocksPerRecording = static_cast<std::size_t>(state.range(2));
    std::size_t n = 0;
    for (auto _ : state) {
        if (++n == blocksPerRecording) {
            state.PauseTiming();
            buffer.clear();
            n = 0;
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(buffer.append(block.data(), block.size()));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    state.SetLabel(std::string(backing == RecordBuffer::Backing::Reserved ? "reserved" : "heap") +
                   (blocksPerRecording <= 50 ? ", 5 s takes" : ", 10 min takes"));
}
// 44100 Hz 16-bit stereo (17640 bytes) and 48000 Hz float stereo (38400 bytes).
// What the capture callback does with a 100 ms block of 48 kHz float stereo now: a copy into the
// device's ring (24 s of it) and a store of the frame count.
void BM_RingWrite(benchmark::State& state) {
    quillar::CaptureRing ring(8, 48000 * 24);
    std::vector<std::uint8_t> block(38400, 0x5a);
    for (auto _ : state) {
        ring.write(block.data(), static_cast<std::uint32_t>(block.size()));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(block.size()));
}
BENCHMARK(BM_RingWrite);

// The window's collection of that block into a take (two takes sharing it when `takes` is 2, as
// in a post-roll with the next take begun): the same bytes as BM_AppendBlock appends, read out
// of the ring.
void BM_CollectBlock(benchmark::State& state) {
    const auto takes = static_cast<std::size_t>(state.range(0));
    quillar::CaptureRing ring(8, 48000 * 24);
    std::vector<std::uint8_t> block(38400, 0x5a);
    std::vector<std::unique_ptr<RecordBuffer>> audio;
    for (std::size_t i = 0; i < takes; ++i) {
        audio.push_back(std::make_unique<RecordBuffer>());
    }
    std::uint64_t from = 0;
    int blocks = 0;
    for (auto _ : state) {
        ring.write(block.data(), static_cast<std::uint32_t>(block.size()));
        const std::uint64_t to = ring.delivered();
        for (auto& a : audio) {
            ring.read(from, to, [&a](const std::uint8_t* p, std::size_t n) {
                if (p != nullptr) {
                    a->append(p, n);
                }
            });
        }
        from = to;
        if (++blocks == 50) {  // a word-list take of 5 s, then the next
            state.PauseTiming();
            for (auto& a : audio) {
                a->clear();
            }
            blocks = 0;
            state.ResumeTiming();
        }
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(block.size() * takes));
}
BENCHMARK(BM_CollectBlock)->Arg(1)->Arg(2);

BENCHMARK(BM_AppendBlock)
    ->ArgNames({"bytes", "heap", "take_blocks"})
    ->Args({17640, 0, 50})
    ->Args({38400, 0, 50})
    ->Args({17640, 0, 6000})
    ->Args({38400, 0, 6000})
    ->Args({17640, 1, 50})
    ->Args({38400, 1, 6000});

// The same appends at the pace of a capture callback, which leaves the buffer's page warmer the
// time between two blocks (here gap_us, with the timers stopped, instead of the real 100 ms).
// Back to back, as above, no helper thread can zero pages as fast as memcpy fills them, so those
// rows measure the kernel's page zeroing rather than what the capture thread pays in a recording.
// One whole take per run: take_blocks 6000 is 10 minutes of fresh memory, 50 the kept memory of
// word-list takes (the cost of stopping the timers around every block, for comparison).
void BM_AppendBlockPaced(benchmark::State& state) {
    const auto bytes = static_cast<std::size_t>(state.range(0));
    const auto blocksPerRecording = static_cast<std::size_t>(state.range(1));
    const auto gap = std::chrono::microseconds(state.range(2));
    RecordBuffer buffer;
    std::vector<std::uint8_t> block(bytes, 0x11);
    std::size_t n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (++n == blocksPerRecording) {
            buffer.clear();
            n = 0;
        }
        std::this_thread::sleep_for(gap);
        state.ResumeTiming();
        benchmark::DoNotOptimize(buffer.append(block.data(), block.size()));
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
    state.SetLabel(blocksPerRecording <= 50 ? "5 s takes" : "10 min take");
}
BENCHMARK(BM_AppendBlockPaced)
    ->ArgNames({"bytes", "take_blocks", "gap_us"})
    ->Args({38400, 50, 500})
    ->Args({17640, 6000, 500})
    ->Args({38400, 6000, 500})
    ->Iterations(6000);

// StopRecording's BuildWavImage on a 10-minute 48 kHz float recording.
void BM_WavImageAtStop(benchmark::State& state) {
    RecordBuffer buffer;
    long dataKiB = 0;
    long peakOverBaseKiB = 0;
    for (auto _ : state) {
        buffer.clear();
        resetPeakRss();
        const long base = rssKiB();
        fill(buffer, kLongRecordingBytes);
        const auto start = std::chrono::steady_clock::now();
        quillar::BuildWavImage(buffer, 48000, 32, 2);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        peakOverBaseKiB = peakRssKiB() - base;
        dataKiB = static_cast<long>(kLongRecordingBytes / 1024);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.counters["data_MiB"] = dataKiB / 1024.0;
    state.counters["peak_rss_growth_MiB"] = peakOverBaseKiB / 1024.0;
}
BENCHMARK(BM_WavImageAtStop)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(5);

// Where the files go: a fresh folder on the disk the program's build lives on (not tmpfs).
// Saving the long recording: temporary file, write, flush to disk, the earlier take moved aside,
// rename.
void BM_SaveLongRecording(benchmark::State& state) {
    RecordBuffer buffer;
    fill(buffer, kLongRecordingBytes);
    quillar::BuildWavImage(buffer, 48000, 32, 2);
    QTemporaryDir dir(quillar::bench::benchFolder() + "/record_bench_XXXXXX");
    const QString path = dir.filePath("take.wav");
    for (auto _ : state) {
        const quillar::SaveResult saved = quillar::writeWavImageFile(buffer, path);
        if (!saved) {
            state.SkipWithError("save failed");
            break;
        }
        // Each save after the first keeps the one before as an earlier take: a disk's worth
        // of them is not what is measured.
        state.PauseTiming();
        QFile::remove(saved.replaced);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(buffer.size()));
}
BENCHMARK(BM_SaveLongRecording)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// cp of a file of the same size; range(0) = 1 also syncs the copy to disk, as a save does.
void BM_CpSameSize(benchmark::State& state) {
    QTemporaryDir dir(quillar::bench::benchFolder() + "/record_bench_XXXXXX");
    const QString src = dir.filePath("source.wav");
    {
        QFile f(src);
        f.open(QIODevice::WriteOnly);
        const QByteArray chunk(1 << 20, 0x5a);
        for (std::size_t done = 0; done < kLongRecordingBytes + 44; done += chunk.size()) {
            f.write(chunk.constData(), static_cast<qint64>(std::min<std::size_t>(
                                           chunk.size(), kLongRecordingBytes + 44 - done)));
        }
    }
    const std::string cmd =
        "cp '" + src.toStdString() + "' '" + dir.filePath("copy.wav").toStdString() + "'" +
        (state.range(0) ? " && sync '" + dir.filePath("copy.wav").toStdString() + "'" : "");
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("cp failed");
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() *
                            static_cast<std::int64_t>(kLongRecordingBytes + 44));
    state.SetLabel(state.range(0) ? "cp + sync" : "cp");
}
BENCHMARK(BM_CpSameSize)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// A take's line appended to the folder's log at the save, after the log of a long survey: the
// log is read whole first, so that a line an earlier crash left open cannot swallow this one.
// Arg: lines already in the log (1 for the first take's).
void BM_AppendTakeLog(benchmark::State& state) {
    const QTemporaryDir dir(quillar::bench::benchFolder());
    quillar::TakeLogEntry e;
    e.time = QDateTime::currentDateTime();
    e.item = QStringLiteral("太阳");
    e.file = dir.filePath(QStringLiteral("太阳.wav"));
    e.seconds = 1.5;
    e.rate = 44100;
    e.bits = 16;
    e.channels = 2;
    e.device = QStringLiteral("USB Audio CODEC");
    e.itemFile = QStringLiteral("/home/f/词表.txt");
    e.how = quillar::kTakeHowEnter;
    e.judged = true;
    QFile log(dir.filePath(quillar::kTakeLogName));
    if (!log.open(QIODevice::WriteOnly)) {
        state.SkipWithError("cannot write the log");
        return;
    }
    log.write(quillar::TakeLogHeader());
    const QByteArray line = quillar::TakeLogLine(e);
    for (std::int64_t i = 0; i < state.range(0); ++i) {
        log.write(line);
    }
    log.close();
    for (auto _ : state) {
        benchmark::DoNotOptimize(quillar::AppendTakeLog(e));
    }
    state.counters["log_MB"] = double(QFileInfo(log).size()) / 1e6;
}
BENCHMARK(BM_AppendTakeLog)->Arg(1)->Arg(50000)->Unit(benchmark::kMicrosecond)->Iterations(200);

}  // namespace
