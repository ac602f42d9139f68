// The drawing board keeps what is drawn until it is cleared, in pixels or fine units.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPaintEvent>
#include <QRegion>

#include "kit/drawing_board.h"

namespace quillar::test {
namespace {

QColor at(const DrawingBoard& b, int x, int y) {
    return QColor(b.canvas().pixel(x, y));
}

struct LineCase {
    const char* what;
    int unit;
    double x1, y1, x2, y2;
    QPoint inked;  // a pixel the line must cover
    QPoint clear;  // a pixel it must leave alone
};

TEST(DrawingBoard, LinesLandOnTheRightPixelsInEitherUnit) {
    const LineCase cases[] = {
        {"pixels, horizontal", DrawingBoard::kPixels, 0, 5, 99, 5, {50, 5}, {50, 6}},
        {"pixels, vertical", DrawingBoard::kPixels, 20, 0, 20, 49, {20, 30}, {21, 30}},
        // 23.5 fine units across and 16 down make one pixel.
        {"fine units, horizontal", DrawingBoard::kFineUnits, 0, 160, 2350, 160, {60, 10}, {60, 12}},
        {"fine units, vertical", DrawingBoard::kFineUnits, 470, 0, 470, 800, {20, 40}, {22, 40}},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.what);
        DrawingBoard board;
        board.resize(100, 50);
        board.setBackground(QColor(0, 0, 128));
        board.setUnit(c.unit);
        board.setPenColour(Qt::yellow);
        board.line(c.x1, c.y1, c.x2, c.y2);
        EXPECT_EQ(at(board, c.inked.x(), c.inked.y()), QColor(Qt::yellow));
        EXPECT_EQ(at(board, c.clear.x(), c.clear.y()), QColor(0, 0, 128));
    }
}

TEST(DrawingBoard, DashedPenLeavesGapsWhereSolidDoesNot) {
    auto gaps = [](int style) {
        DrawingBoard board;
        board.resize(100, 10);
        board.setBackground(Qt::white);
        board.setPenStyle(style);
        board.line(0, 5, 99, 5);
        int blank = 0;
        for (int x = 0; x < 100; ++x) {
            blank += at(board, x, 5) == QColor(Qt::white);
        }
        return blank;
    };
    EXPECT_EQ(gaps(0), 0);
    EXPECT_GT(gaps(1), 10);
    EXPECT_GT(gaps(2), 10);
}

TEST(DrawingBoard, DrawingSurvivesResizeUntilCleared) {
    DrawingBoard board;
    board.resize(50, 20);
    board.setBackground(Qt::black);
    board.setPenColour(Qt::green);
    board.line(0, 0, 49, 0);
    board.blit(10, 10, [] {
        QImage dot(2, 2, QImage::Format_RGB32);
        dot.fill(Qt::red);
        return dot;
    }());
    board.resize(80, 30);
    EXPECT_EQ(board.canvas().size(), QSize(80, 30));
    EXPECT_EQ(at(board, 25, 0), QColor(Qt::green));
    EXPECT_EQ(at(board, 11, 11), QColor(Qt::red));
    EXPECT_EQ(at(board, 70, 25), QColor(Qt::black));  // grown area takes the background
    board.clear();
    EXPECT_EQ(at(board, 25, 0), QColor(Qt::black));
    EXPECT_EQ(at(board, 11, 11), QColor(Qt::black));
}

TEST(DrawingBoard, TextIsDrawnInItsColourFromItsTopLeftCorner) {
    DrawingBoard board;
    board.resize(120, 40);
    board.setBackground(Qt::white);
    board.setTextColour(Qt::blue);
    board.text(10, 10, "00:00:01");
    int inkAbove = 0;
    int inkInside = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 120; ++x) {
            if (at(board, x, y) != QColor(Qt::white)) {
                (y < 10 || x < 10 ? inkAbove : inkInside)++;
            }
        }
    }
    EXPECT_EQ(inkAbove, 0);
    EXPECT_GT(inkInside, 20);
}

// Live pictures are blitted many times a second: the board repaints the rows that changed and
// nothing for a picture that stands still.
TEST(DrawingBoard, ABlitRepaintsOnlyTheRowsThatChanged) {
    struct Paints : QObject {
        QRegion painted;
        int count = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) {
                painted += static_cast<QPaintEvent*>(e)->region();
                ++count;
            }
            return false;
        }
    };
    DrawingBoard board;
    board.resize(200, 100);
    board.setBackground(Qt::black);
    board.show();
    QImage picture(100, 50, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    board.blit(20, 10, picture);
    QApplication::processEvents();
    Paints paints;
    board.installEventFilter(&paints);

    board.blit(20, 10, picture);
    QApplication::processEvents();
    EXPECT_EQ(paints.count, 0) << "the same picture again";

    picture.setPixel(70, 30, qRgb(255, 0, 0));
    picture.setPixel(5, 34, qRgb(0, 255, 0));
    board.blit(20, 10, picture);
    QApplication::processEvents();
    EXPECT_EQ(paints.painted.boundingRect(), QRect(20, 40, 100, 5));
    EXPECT_EQ(at(board, 90, 40), QColor(255, 0, 0));
    EXPECT_EQ(at(board, 25, 44), QColor(0, 255, 0));

    // A picture reaching past the board is cut at its edge.
    board.blit(150, 90, picture);
    EXPECT_EQ(at(board, 199, 99), QColor(Qt::blue));
    EXPECT_EQ(at(board, 149, 99), QColor(Qt::black));
}

}  // namespace
}  // namespace quillar::test
