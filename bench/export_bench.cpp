// quillar-export's session join over 1,000 two-second takes (44100 Hz 16-bit mono) against the
// same work done as cat does it: every take file read whole and written into one file. Both write
// beside the takes (QUILLAR_BENCH_DIR picks the disk) with a warm page cache.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "bench_folder.h"
#include "export/session_join.h"
#include "platform/descriptor_io.h"
#include "support/export_source.h"
#include "support/synth_take.h"

namespace {

using namespace quillar;
using test::SourceOf;
using quality::SampleFormat;

constexpr int kTakes = 1000;

QString takesFolder() {
    static QTemporaryDir dir(bench::benchFolder() + QStringLiteral("/export-bench-XXXXXX"));
    static const bool made = [] {
        const QByteArray wav = test::SynthWav({.leadSeconds = 0.4,
                                               .wordSeconds = 1.2,
                                               .tailSeconds = 0.4,
                                               .noise = 0.001,
                                               .channels = 1},
                                              SampleFormat::S16);
        for (int i = 0; i < kTakes; ++i) {
            QFile f(dir.filePath(QStringLiteral("条目%1.wav").arg(i, 4, 10, QLatin1Char('0'))));
            if (!f.open(QIODevice::WriteOnly) || f.write(wav) != wav.size()) {
                return false;
            }
        }
        return true;
    }();
    return made ? dir.path() : QString();
}

void removeSession(const QString& folder) {
    for (const char* suffix : {".wav", ".TextGrid", ".eaf"}) {
        QFile::remove(folder + QStringLiteral("/session") + QLatin1String(suffix));
    }
}

// The whole export: the folder read (no list: its takes are the items), the takes streamed into
// session.wav and judged as they go, flushed and renamed, the TextGrid and the ELAN file written.
void BM_JoinSession(benchmark::State& state) {
    const QString folder = takesFolder();
    ExportFolder read;
    QString error;
    if (folder.isEmpty() || !ReadExportFolder(SourceOf(folder), &read, &error)) {
        state.SkipWithError("cannot make the takes");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        removeSession(folder);
        state.ResumeTiming();
        ExportFolder f;
        SessionJoinResult joined;
        if (!ReadExportFolder(SourceOf(folder), &f, &error) ||
            !JoinSession(f, {QStringLiteral("session")}, &joined, &error)) {
            state.SkipWithError(error.toStdString().c_str());
            break;
        }
    }
    removeSession(folder);
    state.counters["takes"] = kTakes;
}
BENCHMARK(BM_JoinSession)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

// cat's work: each take read whole into memory and written after the others into one file, then
// flushed to disk as the join flushes its session before it puts it in place.
void BM_CatTakesIntoOneFile(benchmark::State& state) {
    const QString folder = takesFolder();
    const QStringList names =
        QDir(folder).entryList({QStringLiteral("*.wav")}, QDir::Files, QDir::Name);
    const QString target = folder + QStringLiteral("/cat.out");
    for (auto _ : state) {
        QFile out(target);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            state.SkipWithError("cannot write");
            break;
        }
        for (const QString& name : names) {
            QFile in(folder + u'/' + name);
            if (!in.open(QIODevice::ReadOnly) || out.write(in.readAll()) < 0) {
                state.SkipWithError("cannot copy");
                break;
            }
        }
        if (!out.flush() || !platform::syncData(out.handle())) {
            state.SkipWithError("cannot flush");
        }
    }
    QFile::remove(target);
    state.counters["takes"] = kTakes;
}
BENCHMARK(BM_CatTakesIntoOneFile)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace
