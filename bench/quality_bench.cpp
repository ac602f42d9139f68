// The judgement of takes: a 10 s take judged as the window judges it at the stop, and
// quillar-check over 1,000 two-second takes against cat reading the same files, both as programs
// with a warm page cache.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>

#include "bench_folder.h"
#include "quality/take_judge.h"
#include "support/synth_take.h"

namespace {

using namespace quillar;
using quality::SampleFormat;

void BM_JudgeTenSecondTake(benchmark::State& state) {
    const auto format = static_cast<SampleFormat>(state.range(0));
    const QByteArray data = test::EncodeSamples(
        test::SynthSamples(
            {.leadSeconds = 0.5, .wordSeconds = 9.0, .tailSeconds = 0.5, .noise = 0.001}),
        format);
    for (auto _ : state) {
        benchmark::DoNotOptimize(quality::JudgeSamples(
            format, 2, 44100, reinterpret_cast<const std::uint8_t*>(data.constData()),
            static_cast<std::size_t>(data.size())));
    }
    state.SetBytesProcessed(state.iterations() * data.size());
}
BENCHMARK(BM_JudgeTenSecondTake)
    ->Arg(static_cast<int>(SampleFormat::S16))
    ->Arg(static_cast<int>(SampleFormat::F32))
    ->Unit(benchmark::kMillisecond);

// What the window does at the stop of a long take: the ticks have fed it as it was made, so only
// the judgement over its windows is left (one hour of 48000 Hz float stereo here).
void BM_JudgeAtStopOfOneHourTake(benchmark::State& state) {
    const QByteArray minute = test::EncodeSamples(test::SynthSamples({.leadSeconds = 20,
                                                                      .wordSeconds = 20,
                                                                      .tailSeconds = 20,
                                                                      .noise = 0.001,
                                                                      .rate = 48000}),
                                                  SampleFormat::F32);
    quality::TakeJudge judge(SampleFormat::F32, 2, 48000);
    for (int i = 0; i < 60; ++i) {
        judge.feed(reinterpret_cast<const std::uint8_t*>(minute.constData()),
                   static_cast<std::size_t>(minute.size()));
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(judge.judge());
    }
}
BENCHMARK(BM_JudgeAtStopOfOneHourTake)->Unit(benchmark::kMillisecond);

constexpr int kFolderTakes = 1000;

// 1,000 two-second takes as Quillar writes them (44100 Hz 16-bit stereo), made once in a folder
// of their own that goes with the program.
QString takesFolder() {
    static QTemporaryDir dir(bench::benchFolder() + QStringLiteral("/quality-bench-XXXXXX"));
    static const bool made = [] {
        const QByteArray wav = test::SynthWav(
            {.leadSeconds = 0.4, .wordSeconds = 1.2, .tailSeconds = 0.4, .noise = 0.001},
            SampleFormat::S16);
        for (int i = 0; i < kFolderTakes; ++i) {
            QFile f(dir.filePath(QStringLiteral("条目%1.wav").arg(i, 4, 10, QLatin1Char('0'))));
            if (!f.open(QIODevice::WriteOnly) || f.write(wav) != wav.size()) {
                return false;
            }
        }
        return true;
    }();
    return made ? dir.path() : QString();
}

void runCommand(benchmark::State& state, const QString& command) {
    const QByteArray line = command.toLocal8Bit();
    if (takesFolder().isEmpty() || std::system(line.constData()) < 0) {  // warms the page cache
        state.SkipWithError("cannot run the command");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(std::system(line.constData()));
    }
    state.counters["files"] = kFolderTakes;
}

void BM_QuillarCheckFolder(benchmark::State& state) {
    runCommand(state, QStringLiteral("'%1' '%2' > /dev/null")
                          .arg(QStringLiteral(QUILLAR_CHECK_PATH), takesFolder()));
}
BENCHMARK(BM_QuillarCheckFolder)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_CatFolder(benchmark::State& state) {
    runCommand(state, QStringLiteral("cd '%1' && cat *.wav > /dev/null").arg(takesFolder()));
}
BENCHMARK(BM_CatFolder)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace
