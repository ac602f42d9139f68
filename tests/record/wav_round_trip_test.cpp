// A known signal through the simulated device, saved with the save button, read back by
// libsndfile: every sample must come back as captured, in each of the three widths.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <vector>

#include "record_test_support.h"
#include "support/test_app.h"

namespace quillar {
namespace {

// Values k/128 with |k| <= 127 are exact in unsigned 8-bit, signed 16-bit and float alike, so the
// expected samples do not depend on how the device rounds.
int stepOf(int channel, std::int64_t frame) {
    const int k = static_cast<int>((frame * (channel == 0 ? 7 : 13) + channel * 50) % 255) - 127;
    return k;
}

struct WidthCase {
    const char* name;
    int widthIndex;
    int sndfileSubtype;
};

class WavRoundTrip : public testing::TestWithParam<WidthCase> {};

TEST_P(WavRoundTrip, SavedFileReadsBackSampleForSample) {
    const WidthCase& c = GetParam();
    test::TestApp t;
    if (t.form.组合框1->count() == 0) {
        t.form.组合框1->addItem("Simulated input", 0);
    }
    t.form.组合框1->setCurrentIndex(0);
    t.form.组合框2->setCurrentIndex(2);  // 22050 Hz: a rate that is not a multiple of 1000
    t.form.组合框3->setCurrentIndex(c.widthIndex);
    t.sim.setSignal([](int channel, std::int64_t frame) { return stepOf(channel, frame) / 128.0; });

    constexpr int kBlocks = 7;
    t.form.按钮1->click();
    for (int i = 0; i < kBlocks; ++i) {
        t.sim.pumpCaptureBlock();
    }
    t.form.按钮1->click();

    QTemporaryDir dir;
    const QString path = dir.filePath("round trip.wav");
    t.ui.saveAnswers = {path};
    t.form.按钮3->click();
    ASSERT_EQ(t.ui.messages.size(), 1u);
    ASSERT_TRUE(t.ui.messages[0].text.startsWith("录音文件保存成功"));

    SF_INFO info{};
    SNDFILE* f = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    ASSERT_NE(f, nullptr) << sf_strerror(nullptr);
    const sf_count_t frames = kBlocks * 2205;
    EXPECT_EQ(info.samplerate, 22050);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | c.sndfileSubtype);
    ASSERT_EQ(info.frames, frames);

    int mismatches = 0;
    if (c.sndfileSubtype == SF_FORMAT_FLOAT) {
        std::vector<float> got(frames * 2);
        ASSERT_EQ(sf_readf_float(f, got.data(), frames), frames);
        for (sf_count_t i = 0; i < frames * 2; ++i) {
            mismatches += got[i] != stepOf(int(i % 2), i / 2) / 128.0f;
        }
    } else {
        // Integer reads scale every PCM width to 32 bits: 8-bit (u - 128) << 24, 16-bit s << 16.
        std::vector<int> got(frames * 2);
        ASSERT_EQ(sf_readf_int(f, got.data(), frames), frames);
        for (sf_count_t i = 0; i < frames * 2; ++i) {
            mismatches += got[i] != stepOf(int(i % 2), i / 2) * (1 << 24);
        }
    }
    sf_close(f);
    EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(AllWidths, WavRoundTrip,
                         testing::Values(WidthCase{"Unsigned8", 0, SF_FORMAT_PCM_U8},
                                         WidthCase{"Signed16", 1, SF_FORMAT_PCM_16},
                                         WidthCase{"Float32", 2, SF_FORMAT_FLOAT}),
                         [](const testing::TestParamInfo<WidthCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace quillar
