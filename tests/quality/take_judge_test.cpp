// The judgement of synthetic takes in every sample width, fed whole and in odd pieces.
#include "quality/take_judge.h"

#include <gtest/gtest.h>

#include "quality/wav_judgement.h"
#include "support/synth_take.h"

namespace quillar::test {
namespace {

using namespace quality;

struct Case {
    const char* name;
    SynthTake take;
    std::uint32_t problems;
    Verdict verdict;
    bool inEightBit = true;  // a background between -60 and -48 dBFS is below 8-bit's step
};

const Case kCases[] = {
    {"clean word between pauses", {}, 0, Verdict::Good},
    {"clipped", {.amplitude = 1.5}, kClipped, Verdict::Redo},
    {"quiet", {.amplitude = 0.05}, kTooQuiet, Verdict::Check},
    {"loud", {.amplitude = 0.75}, kTooLoud, Verdict::Check},
    {"noisy, to check", {.noise = 0.0025}, kNoisy, Verdict::Check, false},
    {"noisy, to redo", {.noise = 0.02}, kNoisy, Verdict::Redo},
    {"cut at the start", {.leadSeconds = 0.0}, kCutStart, Verdict::Redo},
    {"cut at the end", {.tailSeconds = 0.0}, kCutEnd, Verdict::Redo},
    {"silent", {.amplitude = 0.0}, kSilent, Verdict::Redo},
    {"a dead channel", {.deadRight = true}, kDeadChannel, Verdict::Check},
    {"a DC offset", {.offset = 0.03}, kDcOffset, Verdict::Check},
};

const SampleFormat kFormats[] = {SampleFormat::U8,  SampleFormat::S16, SampleFormat::S24,
                                 SampleFormat::S32, SampleFormat::F32, SampleFormat::F64};

TEST(TakeJudge, SyntheticTakesInEveryWidthAreJudgedAsTheTableSays) {
    for (const SampleFormat f : kFormats) {
        for (const Case& c : kCases) {
            if (f == SampleFormat::U8 && !c.inEightBit) {
                continue;
            }
            const QByteArray wav = SynthWav(c.take, f);
            const WavJudgement w =
                JudgeWavImage(reinterpret_cast<const std::uint8_t*>(wav.constData()),
                              static_cast<std::size_t>(wav.size()));
            const Judgement& j = w.judgement;
            const std::string what =
                std::string(c.name) + " in " + std::to_string(BytesPerSample(f) * 8) + " bits";
            EXPECT_EQ(ProblemNames(j), ProblemNames(Judgement{.problems = c.problems})) << what;
            EXPECT_EQ(j.verdict, c.verdict) << what;
            EXPECT_EQ(w.channels, 2) << what;
        }
    }
}

TEST(TakeJudge, FiguresOfACleanTake) {
    const QByteArray wav = SynthWav({}, SampleFormat::S16);
    const Judgement j = JudgeWavImage(reinterpret_cast<const std::uint8_t*>(wav.constData()),
                                      static_cast<std::size_t>(wav.size()))
                            .judgement;
    EXPECT_NEAR(j.peakDbfs, 20 * std::log10(0.3), 0.05);
    EXPECT_LT(j.noiseDbfs, -90.0);  // the pauses: 16-bit rounding of zero is zero
    EXPECT_GT(j.snrDb, 60.0);
    EXPECT_EQ(DbText(-INFINITY), QStringLiteral("-inf"));
    EXPECT_EQ(DbText(-0.04), QStringLiteral("0.0"));
    EXPECT_EQ(ProblemsOf("cut_start;too_quiet;nonsense"), kCutStart | kTooQuiet);
}

TEST(TakeJudge, PiecesOfAnySizeAreJudgedAsTheWhole) {
    // The window feeds what each status tick finds, which may end inside a frame.
    for (const SampleFormat f : {SampleFormat::S24, SampleFormat::F64}) {
        const QByteArray data = EncodeSamples(SynthSamples({.tailSeconds = 0.0, .noise = 0.01}), f);
        const auto* p = reinterpret_cast<const std::uint8_t*>(data.constData());
        const auto size = static_cast<std::size_t>(data.size());
        const Judgement whole = JudgeSamples(f, 2, 44100, p, size);
        TakeJudge judge(f, 2, 44100);
        for (std::size_t at = 0, piece = 1; at < size; at += piece, piece = piece * 3 % 9973 + 1) {
            judge.feed(p + at, std::min(piece, size - at));
        }
        const Judgement split = judge.judge();
        EXPECT_EQ(split.frames, whole.frames);
        EXPECT_EQ(split.problems, whole.problems);
        EXPECT_NEAR(split.noiseDbfs, whole.noiseDbfs, 1e-6);
        EXPECT_NEAR(split.peakDbfs, whole.peakDbfs, 1e-9);
    }
}

TEST(TakeJudge, WhatCannotBeReadIsToRedo) {
    const QByteArray cases[] = {QByteArray(), QByteArray("RIFF....WAVEjunk"),
                                WavImage(QByteArray(), SampleFormat::S16, 2, 44100)};
    for (const QByteArray& image : cases) {
        const Judgement j = JudgeWavImage(reinterpret_cast<const std::uint8_t*>(image.constData()),
                                          static_cast<std::size_t>(image.size()))
                                .judgement;
        EXPECT_EQ(ProblemNames(j), QStringList{QStringLiteral("unreadable")});
        EXPECT_EQ(j.verdict, Verdict::Redo);
    }
}

}  // namespace
}  // namespace quillar::test
