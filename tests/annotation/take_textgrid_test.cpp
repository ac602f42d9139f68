// A take's TextGrid written beside it and read by Praat: the speech the judgement found, the item
// and gloss as the take's, and nothing half-written where it cannot be written.
#include "annotation/take_textgrid.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "quality/wav_judgement.h"
#include "support/praat.h"
#include "support/synth_take.h"

namespace quillar::test {
namespace {

using namespace annotation;

TEST(TakeTextGrid, PraatReadsTheSpeechOfATakeWithItsItemAndGloss) {
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("0001多 \"x\".wav"));
    const SynthTake take{.leadSeconds = 0.4137, .wordSeconds = 0.52, .tailSeconds = 0.6};
    const QByteArray image = SynthWav(take, quality::SampleFormat::S16);
    QFile file(wav);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
    file.close();
    std::vector<std::uint8_t> scratch;
    const quality::WavJudgement judged =
        quality::JudgeWavFile(wav, quality::Profile::None, scratch);
    ASSERT_TRUE(judged.judgement.speech.found());
    ASSERT_TRUE(WriteTakeTextGrid(wav, judged.judgement.frames, judged.rate,
                                  judged.judgement.speech, QStringLiteral("0001 多"),
                                  QStringLiteral("many")));
    EXPECT_EQ(TextGridPathOf(wav), dir.filePath(QStringLiteral("0001多 \"x\".TextGrid")));

    for (const int tier : {1, 2}) {
        QString error;
        const std::vector<PraatInterval> got = PraatIntervals(TextGridPathOf(wav), tier, &error);
        ASSERT_EQ(got.size(), 3u) << error.toStdString();
        EXPECT_NEAR(got[1].start, take.leadSeconds - 0.02, 0.01);
        EXPECT_NEAR(got[1].end, take.leadSeconds + take.wordSeconds + 0.02, 0.01);
        EXPECT_NEAR(got[2].end, judged.seconds, 1.0 / 44100);
        EXPECT_EQ(got[1].text, tier == 1 ? QStringLiteral("0001 多") : QStringLiteral("many"));
        EXPECT_TRUE(got[0].text.isEmpty() && got[2].text.isEmpty());
    }
}

TEST(TakeTextGrid, AFolderThatTakesNoFileGetsNoneAndSaysWhy) {
    QTemporaryDir dir;
    // A file where the take's folder should be: no user, root included, can write beneath it.
    QFile notAFolder(dir.filePath(QStringLiteral("单字")));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    int error = 0;
    EXPECT_FALSE(WriteTakeTextGrid(notAFolder.fileName() + QStringLiteral("/多.wav"), 44100, 44100,
                                   {}, QStringLiteral("多"), std::nullopt, &error));
    EXPECT_NE(error, 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("单字")});
}

}  // namespace
}  // namespace quillar::test
