// The take journal's cost: the CPU its thread spends per second of recording, and the recovery
// of a one-hour journal against copying the same bytes with cp and sync.
#include <benchmark/benchmark.h>
#include <time.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench_folder.h"
#include "kit/record_buffer.h"
#include "record/take_journal.h"
#include "record/take_recovery.h"

namespace {

using quillar::RecordBuffer;
using quillar::TakeInfo;
using quillar::TakeJournal;

constexpr std::size_t kBytesPerSecond = 44100 * 2 * 2;  // 44100 Hz, 16-bit, stereo
constexpr std::size_t kBlockBytes = kBytesPerSecond / 10;

TakeInfo infoFor(const QString& folder) {
    TakeInfo info;
    info.item = QStringLiteral("太阳");
    info.folder = folder;
    info.rate = 44100;
    info.bits = 16;
    info.channels = 2;
    info.device = QStringLiteral("bench");
    info.started = QDateTime::currentDateTime();
    return info;
}

double threadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Ten seconds of 44100 Hz 16-bit capture at ten times real speed, with the flush period scaled
// the same way, so the journal does per second of audio what it does per second of a take. The
// counter is the journal thread's CPU per second of audio: its share of a core while recording.
void BM_JournalWhileRecording(benchmark::State& state) {
    QTemporaryDir dir(quillar::bench::benchFolder() + "/journal_bench_XXXXXX");
    const std::vector<std::uint8_t> block(kBlockBytes, 0x33);
    constexpr int kBlocks = 100;
    double journalCpu = 0;
    for (auto _ : state) {
        RecordBuffer buffer;
        buffer.clear();
        std::atomic<double> cpu{0};
        TakeJournal::Hooks hooks;
        hooks.period = std::chrono::milliseconds(50);
        hooks.flushed = [&cpu](std::uint64_t) { cpu.store(threadCpuSeconds()); };
        TakeJournal journal(buffer, dir.path(), infoFor(dir.path()), hooks);
        for (int i = 0; i < kBlocks; ++i) {
            buffer.append(block.data(), block.size());
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        journal.finish();
        journalCpu += cpu.load();
        journal.remove();
    }
    const double audioSeconds = static_cast<double>(state.iterations()) * kBlocks / 10.0;
    state.counters["journal_percent_of_a_core"] = 100.0 * journalCpu / audioSeconds;
}
BENCHMARK(BM_JournalWhileRecording)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// A journal of one hour of 44100 Hz 16-bit stereo (635 MB) as a crash leaves it.
QString leaveOneHourJournal(const QString& folder, const QString& saveFolder) {
    RecordBuffer buffer;
    buffer.clear();
    const std::vector<std::uint8_t> block(kBytesPerSecond, 0x5a);
    for (int s = 0; s < 3600; ++s) {
        buffer.append(block.data(), block.size());
    }
    TakeJournal journal(buffer, folder, infoFor(saveFolder));
    journal.finish();
    return journal.path();  // destroyed without remove(): kept, as after a crash
}

void BM_RecoverOneHourJournal(benchmark::State& state) {
    QTemporaryDir dir(quillar::bench::benchFolder() + "/journal_bench_XXXXXX");
    const QString journals = dir.filePath("state");
    const QString saves = dir.filePath("saves");
    QDir().mkpath(saves);
    std::int64_t bytes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString journal = leaveOneHourJournal(journals, saves);
        bytes = QFile(journal).size();
        state.ResumeTiming();
        const quillar::RecoveryOutcome outcome = quillar::recoverJournals(journals, {});
        if (outcome.recovered.size() != 1) {
            state.SkipWithError("the journal was not recovered");
            break;
        }
        state.PauseTiming();
        QFile::remove(outcome.recovered.front().path);
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
}
BENCHMARK(BM_RecoverOneHourJournal)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

// cp and sync of a file of the journal's size: the disk's own speed for the same bytes.
void BM_CpSyncOneHour(benchmark::State& state) {
    QTemporaryDir dir(quillar::bench::benchFolder() + "/journal_bench_XXXXXX");
    const QString src = dir.filePath("source.wav");
    {
        QFile f(src);
        f.open(QIODevice::WriteOnly);
        const QByteArray chunk(static_cast<qsizetype>(kBytesPerSecond), 0x5a);
        for (int s = 0; s < 3600; ++s) {
            f.write(chunk);
        }
    }
    const std::string copy = dir.filePath("copy.wav").toStdString();
    const std::string cmd = "cp '" + src.toStdString() + "' '" + copy + "' && sync '" + copy + "'";
    for (auto _ : state) {
        if (std::system(cmd.c_str()) != 0) {
            state.SkipWithError("cp failed");
            break;
        }
    }
}
BENCHMARK(BM_CpSyncOneHour)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace
