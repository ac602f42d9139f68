// Where the speech lies in synthetic takes with known edges, in every width and at the rates a
// take is made at: each edge within one speech frame of the word's edge widened by the margin.
#include "quality/speech_interval.h"

#include <gtest/gtest.h>

#include <random>

#include "quality/quality_limits.h"
#include "quality/wav_judgement.h"
#include "support/synth_take.h"

namespace quillar::test {
namespace {

using namespace quality;

Judgement judged(const std::vector<double>& samples, SampleFormat f, int channels,
                 std::uint32_t rate) {
    const QByteArray wav = WavImage(EncodeSamples(samples, f), f, channels, rate);
    return JudgeWavImage(reinterpret_cast<const std::uint8_t*>(wav.constData()),
                         static_cast<std::size_t>(wav.size()))
        .judgement;
}

// White noise of `rms` (fraction of full scale) added to every sample, the same for a seed.
void addNoise(std::vector<double>& samples, double rms, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0.0, rms);
    for (double& v : samples) {
        v += gauss(random);
    }
}

struct Case {
    const char* name;
    SynthTake take;
    double noiseRms;  // white noise under the whole take
    bool burst;       // the word is a noise burst, not a tone
    bool speech;      // any speech found
};

const Case kCases[] = {
    {"a tone in silence", {}, 0.0, false, true},
    {"a tone off the frame grid", {.leadSeconds = 0.2937, .wordSeconds = 0.4061}, 0.0, false, true},
    {"a tone under -60 dBFS noise", {.leadSeconds = 0.41, .wordSeconds = 0.33}, 0.001, false, true},
    {"a quiet tone (-35 dBFS) under -60 dBFS noise", {.amplitude = 0.025}, 0.001, false, true},
    {"a noise burst in silence", {.leadSeconds = 0.25, .wordSeconds = 0.2}, 0.0, true, true},
    {"a noise burst under -60 dBFS noise", {.wordSeconds = 0.15}, 0.001, true, true},
    {"a word at the very start", {.leadSeconds = 0.0}, 0.001, false, true},
    {"a word to the very end", {.tailSeconds = 0.0}, 0.0, false, true},
    {"silence", {.amplitude = 0.0}, 0.0, false, false},
    {"noise only, -60 dBFS", {.amplitude = 0.0}, 0.001, false, false},
    {"noise only, -40 dBFS", {.amplitude = 0.0}, 0.01, false, false},
    // Below the floor whatever the noise: a hum under the quietest breath is not a word.
    {"a -56 dBFS tone in silence", {.amplitude = 0.0022}, 0.0, false, false},
    // Its noise is its own level, so nothing stands above it: no interval, and the annotations
    // put the item over the whole take instead.
    {"a tone that fills the take", {.leadSeconds = 0.0, .tailSeconds = 0.0}, 0.0, false, false},
};

TEST(SpeechInterval, SyntheticTakesHaveTheirWordsEdgesWidenedByTheMargin) {
    const SampleFormat kFormats[] = {SampleFormat::U8, SampleFormat::S16, SampleFormat::S24,
                                     SampleFormat::F32};
    for (const std::uint32_t rate : {22050u, 44100u, 48000u}) {
        for (const SampleFormat f : kFormats) {
            for (const Case& c : kCases) {
                if (f == SampleFormat::U8 && (c.noiseRms > 0 || c.take.amplitude < 0.01)) {
                    continue;  // below 8-bit's step
                }
                SynthTake take = c.take;
                take.rate = rate;
                take.channels = 1;
                std::vector<double> samples = SynthSamples(take);
                const auto from = static_cast<std::size_t>(std::lround(take.leadSeconds * rate));
                const auto to =
                    from + static_cast<std::size_t>(std::lround(take.wordSeconds * rate));
                if (c.burst) {
                    std::mt19937 random(7);
                    std::uniform_real_distribution<double> uniform(-0.3, 0.3);
                    for (std::size_t i = from; i < to; ++i) {
                        samples[i] = uniform(random);
                    }
                }
                addNoise(samples, c.noiseRms, rate);
                const Judgement j = judged(samples, f, 1, rate);
                const std::string what = std::string(c.name) + " at " + std::to_string(rate) +
                                         " Hz in " + std::to_string(BytesPerSample(f) * 8) +
                                         " bits";
                ASSERT_EQ(j.speech.found(), c.speech) << what;
                if (!c.speech) {
                    continue;
                }
                const double margin = kSpeechMarginMs / 1000.0;
                const double length = static_cast<double>(samples.size()) / rate;
                const double begin = std::max(0.0, take.leadSeconds - margin);
                const double end = std::min(length, take.leadSeconds + take.wordSeconds + margin);
                const double frame = kSpeechFrameMs / 1000.0;
                EXPECT_NEAR(j.speech.beginSeconds(rate), begin, frame) << what;
                EXPECT_NEAR(j.speech.endSeconds(rate), end, frame) << what;
                EXPECT_LE(j.speech.end, j.frames) << what;
            }
        }
    }
}

TEST(SpeechInterval, TheLouderChannelDecidesAndPiecesGiveTheWholesInterval) {
    // A mono microphone on the right of a stereo input: the left holds only noise.
    std::vector<double> samples;
    const std::uint32_t rate = 44100;
    std::mt19937 random(3);
    std::normal_distribution<double> gauss(0.0, 0.001);
    for (std::size_t i = 0; i < rate; ++i) {
        const bool word = i >= rate * 3 / 10 && i < rate * 7 / 10;
        samples.push_back(gauss(random));
        samples.push_back((word ? 0.3 * std::sin(2 * M_PI * 220 * i / rate) : 0.0) + gauss(random));
    }
    const QByteArray data = EncodeSamples(samples, SampleFormat::S16);
    const auto* p = reinterpret_cast<const std::uint8_t*>(data.constData());
    const auto size = static_cast<std::size_t>(data.size());
    const Judgement whole = JudgeSamples(SampleFormat::S16, 2, rate, p, size);
    EXPECT_NEAR(whole.speech.beginSeconds(rate), 0.28, 0.0101);
    EXPECT_NEAR(whole.speech.endSeconds(rate), 0.72, 0.0101);
    // As the window feeds it, block by block with frames split across blocks.
    TakeJudge judge(SampleFormat::S16, 2, rate);
    for (std::size_t at = 0, piece = 1; at < size; at += piece, piece = piece * 7 % 4093 + 1) {
        judge.feed(p + at, std::min(piece, size - at));
    }
    EXPECT_EQ(judge.judge().speech, whole.speech);
}

}  // namespace
}  // namespace quillar::test
