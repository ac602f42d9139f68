// A real recording: a 1 kHz tone played into a private PulseAudio null sink, recorded from the
// sink's monitor through SDL with the window's own buttons, saved, and read back by libsndfile.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "app/event_wiring.h"
#include "audio/audio_engine.h"
#include "audio/sdl_backend.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/record_buffer.h"
#include "record/recorder.h"
#include "record/recording_control.h"
#include "record/wav_image.h"
#include "record_test_support.h"
#include "support/pulse_server.h"
#include "support/scripted_ui.h"

namespace quillar {
namespace {

// The tone's frequency from the median spacing of rising zero crossings over the left channel:
// a player that underruns under load leaves a gap of silence in the sink, which a count of
// crossings over the whole span would read as a lower tone.
double toneFrequency(const std::vector<short>& interleaved, double rate) {
    std::vector<double> periods;
    double previous = -1;
    for (std::size_t i = 2; i < interleaved.size(); i += 2) {
        const double a = interleaved[i - 2], b = interleaved[i];
        if (a < 0 && b >= 0) {
            const double t = (i - 2) / 2.0 + a / (a - b);
            if (previous >= 0) {
                periods.push_back(t - previous);
            }
            previous = t;
        }
    }
    if (periods.empty()) {
        return 0.0;
    }
    std::nth_element(periods.begin(), periods.begin() + periods.size() / 2, periods.end());
    return rate / periods[periods.size() / 2];
}

// Runs the event loop until `done` holds or `ms` have passed.
template <typename Done>
bool waitUntil(int ms, Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

TEST(DeviceRecording, ToneFromTheMonitorIsSavedAndReadsBack) {
    if (!test::PulseServer::available()) {
        GTEST_SKIP() << test::PulseServer::skipReason().toStdString();
    }
    qputenv("SDL_AUDIODRIVER", "pulseaudio");
    test::PulseServer pulse;
    ASSERT_TRUE(pulse.start()) << pulse.error().toStdString();
    QTemporaryDir dir;

    // Twenty seconds of a 1 kHz tone at half scale, played with low latency into the sink.
    RecordBuffer tone;
    std::vector<std::int16_t> pcm;
    for (int f = 0; f < 44100 * 20; ++f) {
        const auto v = static_cast<std::int16_t>(
            std::lround(16000 * std::sin(2 * std::numbers::pi * 1000.0 * f / 44100)));
        pcm.push_back(v);
        pcm.push_back(v);
    }
    tone.append(pcm.data(), pcm.size() * sizeof(std::int16_t));
    BuildWavImage(tone, 44100, 16, 2);
    const QString tonePath = dir.filePath("tone.wav");
    ASSERT_TRUE(test::writeAll(tonePath, QByteArray(reinterpret_cast<const char*>(tone.data()),
                                                    static_cast<qsizetype>(tone.size()))));
    QProcess player;
    player.setProcessEnvironment(pulse.environment());
    player.start("paplay", {"--latency-msec=20", "--device=" + pulse.sinkName(), tonePath});
    ASSERT_TRUE(player.waitForStarted(5000));

    {
        audio::AudioEngine engine(std::make_unique<audio::SdlBackend>());
        test::ScriptedUi ui;
        MainForm form(engine);
        App app(engine, ui, form);
        wireEvents(app);
        std::string name;
        form.组合框1->clear();
        for (int i = 0; engine.captureDeviceName(i, &name); ++i) {
            form.组合框1->addItem(QString::fromStdString(name), i);
        }
        ASSERT_GT(form.组合框1->count(), 0);
        ASSERT_EQ(form.组合框1->itemText(0), pulse.monitorDescription());
        form.组合框1->setCurrentIndex(0);
        form.组合框2->setCurrentIndex(4);  // 44100 Hz
        form.组合框3->setCurrentIndex(1);  // 16 Bit

        form.按钮1->click();
        ASSERT_EQ(form.按钮1->text(), "停止录音")
            << (ui.messages.empty() ? std::string() : ui.messages[0].text.toStdString());
        // Two seconds of audio, however long the server takes to start delivering.
        const std::size_t twoSeconds = 44100 * 4 * 2;
        const bool enough =
            waitUntil(20000, [&] { return ShownRecording(app).size() >= twoSeconds; });
        form.按钮1->click();
        // The take records on through its post-roll: the tone must play until it has closed, or
        // the file ends in the silence after the player and the last second is no longer steady.
        const bool closed = waitUntil(5000, [&] { return app.recorder->takesUnderway() == 0; });
        // Quiet the server before the engine goes: SDL's device watcher can otherwise be left
        // with a query in flight when it shuts down.
        player.kill();
        player.waitForFinished(2000);
        waitUntil(300, [] { return false; });
        ASSERT_TRUE(enough) << "only " << app.state.record_buffer.size() << " bytes in 20 s";
        ASSERT_TRUE(closed) << "the take did not close within 5 s of its stop";
        ASSERT_TRUE(app.state.record_buffer.isWavImage());

        ui.saveAnswers = {dir.filePath("录音.wav")};
        form.按钮3->click();
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].icon, MessageIcon::Information)
            << ui.messages[0].text.toStdString();
    }
    qunsetenv("SDL_AUDIODRIVER");

    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(dir.filePath("录音.wav")).constData(), SFM_READ, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.samplerate, 44100);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_GE(info.frames, 44100 * 2);
    // The device hands over 1024-frame chunks, so a stop that cut the recording back to whole
    // 100 ms blocks would show here.
    EXPECT_NE(info.frames % 4410, 0) << "the unfinished last block was dropped";
    std::vector<short> samples(static_cast<std::size_t>(info.frames) * 2);
    ASSERT_EQ(sf_readf_short(f, samples.data(), info.frames), info.frames);
    sf_close(f);

    // The last second holds the steady tone.
    const std::vector<short> last(samples.end() - 44100 * 2, samples.end());
    short peak = 0;
    for (short s : last) {
        peak = std::max<short>(peak, static_cast<short>(std::abs(s)));
    }
    EXPECT_GT(peak, 8000);
    EXPECT_NEAR(toneFrequency(last, 44100), 1000.0, 5.0);
}

}  // namespace
}  // namespace quillar
