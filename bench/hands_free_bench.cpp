// The pace of hands-free recording on the simulated engine: a speaker says each 0.8 s word the
// moment the window listens for it; the figures are the items an hour that makes and the time
// from the end of a word to listening for the next. The benchmark's own time is what the window
// spends on a whole session of such words (recorder ticks, detection, saves).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>

#include "app/settings.h"
#include "app/startup.h"
#include "bench_application.h"
#include "items/item_file.h"
#include "record/hands_free.h"
#include "record/recorder.h"
#include "support/test_app.h"
#include "support/voice_scene.h"

namespace quillar::bench {
namespace {

using namespace Qt::StringLiterals;

constexpr int kWords = 40;
constexpr double kWordSeconds = 0.8;

void BM_HandsFreePace(benchmark::State& state) {
    Application();
    const int silenceMs = static_cast<int>(state.range(0));
    double itemsPerHour = 0.0;
    double endToListeningMs = 0.0;
    for (auto _ : state) {
        QTemporaryDir dir;
        SetSettingsFolder(dir.path());
        test::VoiceScene scene;
        scene.noiseDbfs = -60.0;
        test::TestApp t;
        t.sim.setSignal(
            [&scene](int channel, std::int64_t frame) { return scene(channel, frame); });
        OnMainWindowCreated(t.app);
        t.form.编辑框_保存路径->setText(dir.path());
        RecordingOptions& o = t.app.state.options;
        o.keep_input = true;
        o.preroll_ms = 300;
        o.postroll_ms = 300;
        o.silence_ms = silenceMs;
        QString lines;
        for (int i = 0; i < kWords + 1; ++i) {
            lines += QString::number(i) + u'\n';
        }
        QFile list(dir.filePath(u"items.txt"_s));
        if (!list.open(QIODevice::WriteOnly)) {
            state.SkipWithError("no word list");
            return;
        }
        list.write(lines.toUtf8());
        list.close();
        LoadItemFile(t.app, list.fileName());
        QCoreApplication::sendPostedEvents();
        t.form.列表框_录音文本列表->setCurrentRow(0);
        KeepInputOpen(t.app);
        const std::int64_t tick = scene.rate / 100;  // 10 ms pumps, each with the recorder tick
        std::int64_t now = 0;
        const auto pumpTo = [&](std::int64_t frame) {
            while (now < frame) {
                t.sim.pumpCapture(tick);
                now += tick;
            }
        };
        pumpTo(scene.rate);  // the room's noise floor is known
        o.hands_free = true;
        FeedHandsFree(t.app);
        const std::int64_t giveUp = scene.rate * 10 * kWords;
        const HandsFree& mode = *t.app.hands_free;
        double waited = 0.0;
        double firstWord = 0.0;
        double lastWord = 0.0;
        double lastEnd = 0.0;
        for (int w = 0; w < kWords; ++w) {
            const int row = t.form.列表框_录音文本列表->currentRow();
            // The speaker answers the moment the window listens for this item.
            while (mode.phase() != HandsFree::Phase::Listening && now < giveUp) {
                pumpTo(now + tick);
            }
            const double at = static_cast<double>(now) / scene.rate;
            if (w == 0) {
                firstWord = at;
            } else {
                waited += at - lastEnd;
            }
            lastWord = at;
            scene.words.push_back({at, kWordSeconds, -20.0});
            lastEnd = at + kWordSeconds;
            while (t.form.列表框_录音文本列表->currentRow() == row && now < giveUp) {
                pumpTo(now + tick);
            }
            if (now >= giveUp) {
                state.SkipWithError("a word made no take");
                return;
            }
        }
        // One item's cycle: its word, its silence, the window's turn to the next item.
        itemsPerHour = 3600.0 * (kWords - 1) / (lastWord - firstWord);
        endToListeningMs = 1000.0 * waited / (kWords - 1);
        OnMainWindowDestroyed(t.app);
        SetSettingsFolder(QString());
    }
    state.counters["items_per_hour"] = itemsPerHour;
    state.counters["end_to_listening_ms"] = endToListeningMs;
}
BENCHMARK(BM_HandsFreePace)->Arg(800)->Arg(500)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace quillar::bench
