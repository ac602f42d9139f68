// The time ruler under the waveform, and the waveform and ruler as the window shows a file.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "board_pixels.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "kit/shape_box.h"
#include "playback/time_ruler.h"
#include "playback/waveform_view.h"
#include "support/test_app.h"
#include "wav_bytes.h"

namespace quillar::test {
namespace {

// --- the ruler --------------------------------------------------------------------------------

const QRgb kRulerBackground = qRgb(128, 224, 0);

std::unique_ptr<DrawingBoard> makeRuler() {
    auto ruler = std::make_unique<DrawingBoard>();
    ruler->setBackground(QColor(kRulerBackground));
    ruler->resize(672, 27);
    ruler->show();
    return ruler;
}

// Columns with a minor tick (row 3) and with a major one (row 8).
struct Ticks {
    std::vector<int> minor, major;
};
Ticks ticksOf(const DrawingBoard& ruler) {
    const QImage& img = ruler.canvas();
    Ticks t;
    for (int x = 0; x < img.width(); ++x) {
        if (img.pixel(x, 3) != kRulerBackground) {
            t.minor.push_back(x);
        }
        if (img.pixel(x, 8) != kRulerBackground) {
            t.major.push_back(x);
        }
    }
    return t;
}

// Columns worked out by hand from the ruler's rule (a tick per second at second * 664 / duration,
// truncated; one column drawn once), not by the ruler's own formula.
TEST(TimeRuler, TicksAndLabelsFollowTheDuration) {
    using V = std::vector<int>;
    const V every30{0,   22,  44,  66,  88,  110, 132, 154, 177, 199, 221, 243, 265, 287, 309, 332,
                    354, 376, 398, 420, 442, 464, 486, 509, 531, 553, 575, 597, 619, 641, 664};
    const V everyOther30{0,   44,  88,  132, 177, 221, 265, 309,
                         354, 398, 442, 486, 531, 575, 619, 664};
    const V every14_9{0, 44, 89, 133, 178, 222, 267, 311, 356, 401, 445, 490, 534, 579, 623};
    const V every15_5{0, 42, 85, 128, 171, 214, 257, 299, 342, 385, 428, 471, 514, 556, 599, 642};
    const V everyOther59{0,   22,  45,  67,  90,  112, 135, 157, 180, 202, 225, 247, 270, 292, 315,
                         337, 360, 382, 405, 427, 450, 472, 495, 517, 540, 562, 585, 607, 630, 652};
    const V everyFifth90{0,   36,  73,  110, 147, 184, 221, 258, 295, 332,
                         368, 405, 442, 479, 516, 553, 590, 627, 664};
    const V every20th399{0,   33,  66,  99,  133, 166, 199, 232, 266, 299,
                         332, 366, 399, 432, 465, 499, 532, 565, 599, 632};
    // Long durations: how many minor ticks, the first three and the last two.
    const struct {
        float seconds;
        std::size_t minorCount;
        V minorHead;
        V minorTail;
        V major;
    } cases[] = {
        {3.5f, 4, {0, 189, 379}, {379, 569}, {0, 189, 379, 569}},
        {30.0f, 31, {0, 22, 44}, {641, 664}, everyOther30},
        {14.9f, 15, {0, 44, 89}, {579, 623}, every14_9},
        {15.5f, 16, {0, 42, 85}, {599, 642}, {}},
        {15.0f, 16, {0, 44, 88}, {619, 664}, {}},
        {59.0f, 60, {0, 11, 22}, {652, 664}, everyOther59},
        {60.99f, 61, {0, 10, 21}, {642, 653}, {}},
        {90.0f, 91, {0, 7, 14}, {656, 664}, everyFifth90},
        {120.5f, 121, {0, 5, 11}, {655, 661}, {}},
        {300.0f, 301, {0, 2, 4}, {661, 664}, everyOther30},  // every 20 s: the 30 s columns
        {399.0f, 400, {0, 1, 3}, {662, 664}, every20th399},
        {400.0f, 401, {0, 1, 3}, {662, 664}, {}},
        {500.0f, 501, {0, 1, 2}, {662, 664}, {}},
        {3600.0f, 665, {0, 1, 2}, {663, 664}, {}},  // one tick per column: 665 columns
        {4321.7f, 664, {0, 1, 2}, {662, 663}, {}},
        {0.5f, 1, {0}, {0}, {0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seconds);
        auto ruler = makeRuler();
        DrawTimeRuler(*ruler, c.seconds, 664);
        const Ticks t = ticksOf(*ruler);
        ASSERT_EQ(t.minor.size(), c.minorCount);
        EXPECT_EQ(V(t.minor.begin(), t.minor.begin() + c.minorHead.size()), c.minorHead);
        EXPECT_EQ(V(t.minor.end() - c.minorTail.size(), t.minor.end()), c.minorTail);
        EXPECT_EQ(t.major, c.major);
    }
    auto ruler = makeRuler();
    for (const auto& [seconds, minor] :
         {std::pair{30.0f, every30}, std::pair{14.9f, every14_9}, std::pair{15.5f, every15_5}}) {
        DrawTimeRuler(*ruler, seconds, 664);
        EXPECT_EQ(ticksOf(*ruler).minor, minor) << seconds;
    }
}

TEST(TimeRuler, LabelsAreWrittenUnderTheirTicks) {
    auto ruler = makeRuler();
    DrawTimeRuler(*ruler, 3.5f, 664);
    const QImage& img = ruler->canvas();
    for (int x : {0, 189, 379, 569}) {
        bool ink = false;
        for (int y = 12; y < img.height() && !ink; ++y) {
            for (int dx = 1; dx < 50 && !ink; ++dx) {
                ink = img.pixel(x + dx, y) != kRulerBackground;
            }
        }
        EXPECT_TRUE(ink) << "no label at " << x;
    }
}

TEST(TimeRuler, UndefinedDurationLeavesTheRulerClear) {
    for (float seconds : {0.0f, 0.0009f, -2.0f, std::nanf(""), INFINITY, 3e30f}) {
        auto ruler = makeRuler();
        DrawTimeRuler(*ruler, 3.5f, 664);  // a previous file's ruler
        DrawTimeRuler(*ruler, seconds, 664);
        EXPECT_TRUE(onlyBackground(ruler->canvas(), kRulerBackground)) << seconds;
    }
}

// --- the whole operation ----------------------------------------------------------------------

struct ShownApp {
    ShownApp() { t.form.show(); }
    TestApp t;
    QTemporaryDir dir;
    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }
};

TEST(ShowWaveform, DrawsTheFileAndItsRulerAndResetsTheCursor) {
    ShownApp s;
    MainForm& f = s.t.form;
    f.外形框2->move(300, f.外形框2->y());
    f.画板4->show();
    f.画板4->line(0, 0, 100, 10);
    const QString path = s.write("猫.wav", wavBytes(WavFields{}, pcm16(2, 154350, [](int, int i) {
                                                        return i % 100 < 50 ? 9000 : -9000;
                                                    })));  // 3.5 s
    ShowWaveform(s.t.app, path);

    EXPECT_EQ(f.外形框2->x(), 16);
    EXPECT_EQ(s.t.app.state.waveform_path, path);
    EXPECT_FLOAT_EQ(s.t.app.state.waveform_seconds, 3.5f);
    EXPECT_TRUE(f.画板3->isVisible());
    EXPECT_FALSE(f.画板4->isVisible());
    EXPECT_TRUE(onlyBackground(f.画板4->canvas(), f.画板4->background().rgb()));
    EXPECT_NE(rightmostWith(f.画板3->canvas(), kGreen), -1);
    const Ticks t = ticksOf(*f.画板5);
    EXPECT_EQ(t.major, (std::vector<int>{0, 189, 379, 569}));
}

TEST(ShowWaveform, MappedAndReadSamplesDrawTheSamePicture) {
    ShownApp s;
    MainForm& f = s.t.form;
    std::mt19937 rng(3);
    for (int frames : {1, 999, 20000, 200001}) {
        SCOPED_TRACE(frames);
        WavFields fields;
        fields.dataSize = frames * 4 + 4000;  // claims more than is there
        const QString path = s.write("r.wav", wavBytes(fields, pcm16(2, frames, [&](int, int) {
                                                           return int(rng() % 40001) - 20000;
                                                       })));
        ShowWaveform(s.t.app, path, SampleAccess::Map);
        const QImage mapped = f.画板3->canvas();
        const QImage mappedRuler = f.画板5->canvas();
        ShowWaveform(s.t.app, path, SampleAccess::Read);
        EXPECT_TRUE(f.画板3->canvas() == mapped);
        EXPECT_TRUE(f.画板5->canvas() == mappedRuler);
        EXPECT_FLOAT_EQ(s.t.app.state.waveform_seconds, frames / 44100.0f);
    }
}

TEST(ShowWaveform, FloatRecordingShowsItsTraceAndRuler) {
    ShownApp s;
    MainForm& f = s.t.form;
    WavFields fl;
    fl.formatTag = 3;
    fl.bits = 32;
    ShowWaveform(s.t.app, s.write("f.wav", wavBytes(fl, QByteArray(352800 * 2, '\x3e'))));
    EXPECT_FALSE(onlyBackground(f.画板3->canvas(), kWaveBackground.rgb()));
    EXPECT_EQ(ticksOf(*f.画板5).major, (std::vector<int>{0, 332, 664}));
}

TEST(ShowWaveform, MissingOrEmptyFileClearsBothBoards) {
    ShownApp s;
    MainForm& f = s.t.form;
    ShowWaveform(s.t.app, s.write("a.wav", wavBytes(WavFields{}, QByteArray(176400, '\x20'))));
    ASSERT_FALSE(ticksOf(*f.画板5).minor.empty());
    for (const QString& path : {s.write("empty.wav", QByteArray()), s.dir.filePath("gone.wav")}) {
        ShowWaveform(s.t.app, path);
        EXPECT_EQ(s.t.app.state.waveform_seconds, 0.0f);
        EXPECT_TRUE(onlyBackground(f.画板3->canvas(), kWaveBackground.rgb()));
        EXPECT_TRUE(ticksOf(*f.画板5).minor.empty());
    }
}

}  // namespace
}  // namespace quillar::test
