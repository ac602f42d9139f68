// Time from a request to play an item's saved recording to its first audio: the file is played
// where it lies, so a one-hour recording should start about as fast as a one-second one (target:
// the 60-minute file within three times the 1-second figure).
#include <benchmark/benchmark.h>

#include "bench_application.h"
#include "bench_recording.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <memory>
#include <vector>

#include "audio/audio_engine.h"
#include "audio/sim_backend.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/media_player.h"
#include "playback/file_playback.h"
#include "record/wav_image.h"
#include "support/scripted_ui.h"

namespace {

using namespace quillar;

// 44100 Hz stereo 16-bit, the recorder's default format, written once per length.
QString Recording(int seconds) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QString("take_%1s.wav").arg(seconds));
    if (QFile::exists(path)) {
        return path;
    }
    return bench::writeStereo16Recording(path, seconds, [](int, std::vector<std::int16_t>& second) {
        for (std::size_t i = 0; i < second.size(); ++i) {
            second[i] = std::int16_t((i * 37) % 16000);
        }
    });
}

// The play request (Ctrl or the play button) up to the first output buffer holding the file's
// audio, on the simulated device: what the program itself spends before sound can start.
void BM_PlayToFirstAudio(benchmark::State& state) {
    bench::Application();
    const QString path = Recording(int(state.range(0)));
    auto backend = std::make_unique<audio::SimBackend>();
    audio::SimBackend& sim = *backend;
    audio::AudioEngine engine(std::move(backend));
    engine.initOutput(-1, 44100);
    test::ScriptedUi ui;
    MainForm form(engine);
    App app(engine, ui, form);
    form.show();
    form.编辑框_当前录音文件->setText(path);
    for (auto _ : state) {
        PlayCurrentRecording(app);
        sim.pumpOutput(1024);  // one device buffer
        if (form.媒体播放1->position() <= 0) {
            state.SkipWithError("no audio after the first buffer");
            break;
        }
        state.PauseTiming();
        form.媒体播放1->stop();
        PollCurrentRecording(app);
        state.ResumeTiming();
    }
    state.SetLabel(QString("%1 MB").arg(QFile(path).size() / 1e6, 0, 'f', 1).toStdString());
}
BENCHMARK(BM_PlayToFirstAudio)
    ->Arg(1)
    ->Arg(1800)
    ->Arg(3600)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
