// A known signal through the simulated device, saved with the save button, read back by
// libsndfile: every sample must come back as captured, in each width, mono and stereo, and the take
// log says what the file holds.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>

#include "record/take_log.h"
#include "record_test_support.h"
#include "round_trip_support.h"
#include "support/test_app.h"

namespace quillar {
namespace {

struct WidthCase {
    const char* name;
    int widthIndex;
    int channels;
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
    t.app.state.options.channels = c.channels;
    t.sim.setSignal(test::stepSignal);

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
    test::expectStepSignal(path, 22050, c.channels, c.sndfileSubtype, kBlocks * 2205);

    const std::vector<QStringList> log = ParseCsv(test::readAll(dir.filePath(kTakeLogName)));
    ASSERT_EQ(log.size(), 2u);
    const int bits = c.sndfileSubtype == SF_FORMAT_PCM_U8   ? 8
                     : c.sndfileSubtype == SF_FORMAT_PCM_16 ? 16
                     : c.sndfileSubtype == SF_FORMAT_PCM_24 ? 24
                                                            : 32;
    EXPECT_EQ(log[1][3], "0.700");  // seconds
    EXPECT_EQ(log[1][5].toInt(), bits);
    EXPECT_EQ(log[1][6].toInt(), c.channels);
}

INSTANTIATE_TEST_SUITE_P(AllWidths, WavRoundTrip,
                         testing::Values(WidthCase{"Unsigned8", 0, 2, SF_FORMAT_PCM_U8},
                                         WidthCase{"Signed16", 1, 2, SF_FORMAT_PCM_16},
                                         WidthCase{"Float32", 2, 2, SF_FORMAT_FLOAT},
                                         WidthCase{"Signed24", 3, 2, SF_FORMAT_PCM_24},
                                         WidthCase{"MonoUnsigned8", 0, 1, SF_FORMAT_PCM_U8},
                                         WidthCase{"MonoSigned16", 1, 1, SF_FORMAT_PCM_16},
                                         WidthCase{"MonoFloat32", 2, 1, SF_FORMAT_FLOAT},
                                         WidthCase{"MonoSigned24", 3, 1, SF_FORMAT_PCM_24}),
                         [](const testing::TestParamInfo<WidthCase>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace quillar
