// The live meter's noise floor and a take's noise figure are one rule: the same audio, fed to the
// meter as the engine hands it over (floats, in looks of any size) and to the judgement as the
// take's bytes, gives the same figure.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "audio/sample_ring.h"
#include "quality/level_meter.h"
#include "quality/quality_limits.h"
#include "quality/take_judge.h"
#include "quality/window_levels.h"
#include "support/synth_take.h"

namespace quillar::test {
namespace {

using quality::SampleFormat;

double dbToFraction(double db) {
    return std::pow(10.0, db / 20.0);
}

TEST(NoiseAgreement, TheMeterAndTheJudgementGiveOneNoiseFigure) {
    std::mt19937 random(11);
    std::normal_distribution<double> gauss(0.0, 1.0);
    const auto noise = [&](double db) { return dbToFraction(db) * gauss(random); };
    const auto tone = [](double hz, double amplitude, double t) {
        return amplitude * std::sin(2.0 * M_PI * hz * t);
    };
    const struct {
        const char* name;
        int channels;
        std::uint32_t rate;
        std::size_t windows;  // whole ones, so that the judgement's short tail does not count
        // The sample of `channel` at `t` s.
        std::function<double(int channel, double t)> signal;
    } cases[] = {
        {"a word over room noise", 2, 48000, 40,
         [&](int, double t) {
             return noise(-62) + (t > 0.6 && t < 1.4 ? tone(220, 0.3, t) : 0.0);
         }},
        // The noisier side changes halfway, the word is on the left: one channel stands for the
        // whole span, not the louder one of each window.
        {"the noisier side changes halfway", 2, 44100, 60,
         [&](int c, double t) {
             const bool first = t < 1.5;
             const double word = c == 0 && t > 1.2 && t < 1.8 ? tone(330, 0.3, t) : 0.0;
             return noise((c == 0) == first ? -70 : -50) + word;
         }},
        // A rumble slower than a window is noise: only the channel's mean is taken out.
        {"a slow rumble on a DC offset", 1, 48000, 50,
         [&](int, double t) { return 0.05 + tone(4, 0.003, t) + noise(-80); }},
        // 1102.5 frames a window: both round the same way.
        {"an odd rate", 1, 22050, 40,
         [&](int, double t) { return noise(-55) + (t > 1.0 ? tone(500, 0.1, t) : 0.0); }},
        // The meter keeps the last three seconds; the judgement is given the same three.
        {"longer than the meter's span", 2, 48000, 90,
         [&](int c, double t) { return noise(t < 1.5 ? -75 : -58) + (c == 1 ? 0.01 : 0.0); }},
        {"digital silence", 2, 48000, 20, [](int, double) { return 0.0; }},
    };
    const struct {
        SampleFormat format;
        audio::SampleType type;
    } formats[] = {
        {SampleFormat::S16, audio::SampleType::S16},
        {SampleFormat::S24, audio::SampleType::S24},
        {SampleFormat::F32, audio::SampleType::F32},
    };
    for (const auto& c : cases) {
        const std::size_t frames = c.windows * quality::WindowFramesAt(c.rate);
        std::vector<double> samples;
        for (std::size_t f = 0; f < frames; ++f) {
            for (int ch = 0; ch < c.channels; ++ch) {
                samples.push_back(c.signal(ch, static_cast<double>(f) / c.rate));
            }
        }
        for (const auto& fmt : formats) {
            const std::string what = std::string(c.name) + ", " +
                                     std::to_string(quality::BytesPerSample(fmt.format) * 8) +
                                     " bits";
            const QByteArray bytes = EncodeSamples(samples, fmt.format);
            const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
            const std::size_t width = quality::BytesPerSample(fmt.format);
            const std::size_t frameBytes = width * static_cast<std::size_t>(c.channels);

            // The meter gets floats as the engine converts them, in looks of an odd size.
            std::vector<float> floats(samples.size());
            for (std::size_t i = 0; i < floats.size(); ++i) {
                floats[i] = audio::sampleToFloat(data + i * width, fmt.type);
            }
            quality::LevelMeter meter;
            meter.restart(c.rate, static_cast<std::uint32_t>(c.channels));
            constexpr std::size_t kLook = 2377;
            for (std::size_t f = 0; f < frames; f += kLook) {
                const std::size_t n = std::min(kLook, frames - f);
                meter.feed(floats.data() + f * static_cast<std::size_t>(c.channels),
                           static_cast<std::uint32_t>(n), static_cast<std::int64_t>(f));
            }

            // The judgement gets the bytes of the meter's span: the last three seconds.
            const std::size_t span =
                static_cast<std::size_t>(quality::kNoiseSpanMs / quality::kWindowMs) *
                quality::WindowFramesAt(c.rate);
            const std::size_t from = frames > span ? frames - span : 0;
            const quality::Judgement j =
                quality::JudgeSamples(fmt.format, c.channels, c.rate, data + from * frameBytes,
                                      (frames - from) * frameBytes);

            ASSERT_TRUE(meter.hasNoiseFloor()) << what;
            const double shown = meter.noiseFloorDbfs();
            if (std::isinf(j.noiseDbfs)) {
                EXPECT_EQ(shown, j.noiseDbfs) << what;
            } else {
                EXPECT_NEAR(shown, j.noiseDbfs, 0.01) << what;
            }
        }
    }
}

}  // namespace
}  // namespace quillar::test
