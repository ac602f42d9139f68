#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "audio/audio_engine.h"
#include "audio/sim_backend.h"
#include "kit/drawing_board.h"
#include "spectrum/live_display.h"
#include "spectrum/palette_frame.h"

namespace quillar {
namespace {

const QRgb kNavy = qRgb(0, 0, 128);
const QRgb kBlack = qRgb(0, 0, 0);

// A shown board of the width start-up gives it, on the navy background of the window.
struct Board {
    Board() : engine(std::make_unique<audio::SimBackend>()) {
        board = std::make_unique<DrawingBoard>();
        board->setBackground(kNavy);
        初始化频谱(*board, engine);
        board->resize(668, 96);
        board->show();
        QApplication::processEvents();
        board->clear();
    }
    QRgb at(int x, int y) const { return board->canvas().pixel(x, y); }
    int countOf(QRect area, QRgb colour) const {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                n += at(x, y) == colour;
            }
        }
        return n;
    }
    audio::AudioEngine engine;
    std::unique_ptr<DrawingBoard> board;
};

TEST(SpectrumModule, InitialisationSetsTheModuleValues) {
    audio::AudioEngine engine(std::make_unique<audio::SimBackend>());
    DrawingBoard board;
    board.resize(672, 104);
    初始化频谱(board, engine);
    EXPECT_EQ(spectrum_bar_count, 28);
    EXPECT_EQ(spectrum_height, 96);
    EXPECT_EQ(spectrum_width, 512);
    EXPECT_EQ(board.size(), QSize(505, 96));
    EXPECT_EQ(spectrum_window.data(), &board);
    EXPECT_EQ(spectrum_bitmap_info.width, 512);
    EXPECT_EQ(spectrum_bitmap_info.height, 96);
    EXPECT_EQ(spectrum_bitmap_info.bit_count, 8);
    EXPECT_EQ(spectrum_bitmap_info.colours_used, 256u);
    EXPECT_EQ(spectrum_bitmap_info.colour_table, spectrum::ColourTable());
}

TEST(SpectrumModule, InvalidChannelDrawsABlackFrameInTheTopLeftCorner) {
    for (int style : {0, 1}) {
        Board b;
        开始绘制频谱(0, style);
        EXPECT_EQ(b.countOf(QRect(0, 0, 512, 96), kBlack), 512 * 96) << "style " << style;
        // The board is wider than the picture; the rest keeps what it had.
        EXPECT_EQ(b.countOf(QRect(512, 0, 668 - 512, 96), kNavy), (668 - 512) * 96);
    }
}

TEST(SpectrumModule, OtherStylesLeaveTheBoardUnchanged) {
    Board b;
    b.board->setPenColour(Qt::yellow);
    b.board->line(0, 10, 600, 10);
    const QImage before = b.board->canvas();
    for (int style : {-1, 2, 3, 100}) {
        开始绘制频谱(0, style);
        EXPECT_EQ(b.board->canvas(), before) << "style " << style;
    }
}

// What the window shows after a repaint it did not ask for is the last frame drawn, not a cleared
// board: read back from the widget's own painting.
TEST(SpectrumModule, TheBoardKeepsTheLastFrame) {
    Board b;
    b.board->setPenColour(Qt::yellow);
    b.board->line(0, 10, 600, 10);  // a frame that is plainly not the background
    const QImage drawn = b.board->canvas().convertToFormat(QImage::Format_RGB32);
    b.board->repaint();
    QApplication::processEvents();
    const QImage shown = b.board->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), drawn.size());
    EXPECT_EQ(shown.pixel(300, 10), QColor(Qt::yellow).rgb());
    EXPECT_EQ(shown, drawn);
}

bool KeepCapturing(audio::Handle, const void*, std::uint32_t, void*) {
    return true;
}

TEST(SpectrumModule, SilentChannelDrawsAFlatLineOrNoBars) {
    Board b;
    ASSERT_TRUE(b.engine.openCapture(0));
    const audio::Handle channel = b.engine.startCapture(44100, 2, 0, &KeepCapturing, nullptr);
    ASSERT_NE(channel, 0u);
    auto& sim = static_cast<audio::SimBackend&>(b.engine.backend());
    sim.pumpCaptureBlock();

    开始绘制频谱(channel, 0);
    const QRgb green = spectrum::ColourTable()[spectrum::kEvenChannelColour];
    // Row 48 is screen line 47; channel 2 covers channel 1 all along it.
    EXPECT_EQ(b.countOf(QRect(0, 47, 512, 1), green), 512);
    EXPECT_EQ(b.countOf(QRect(0, 0, 512, 96), kBlack), 512 * 95);

    开始绘制频谱(channel, 1);
    EXPECT_EQ(b.countOf(QRect(0, 0, 512, 96), kBlack), 512 * 96);
    b.engine.freeCapture();
}

TEST(SpectrumModule, NothingHappensOnceTheBoardIsGone) {
    {
        Board b;
        开始绘制频谱(0, 1);
    }
    // The board and its engine are gone; a late timer tick must not touch either.
    开始绘制频谱(0, 0);
    开始绘制频谱(0, 1);
    DrawWaveFrame(0);
    DrawBarFrame(0);
    EXPECT_TRUE(spectrum_window.isNull());
}

}  // namespace
}  // namespace quillar
