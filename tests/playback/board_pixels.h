// Pixel helpers for the tests of the waveform view and its time ruler: boards as the window has
// them, and what their canvases hold.
#pragma once

#include <QColor>
#include <QImage>
#include <memory>
#include <vector>

#include "kit/drawing_board.h"
#include "playback/waveform_view.h"

namespace quillar::test {

inline const QColor kWaveBackground(0, 96, 192);
inline const QRgb kGrey = qRgb(105, 105, 105);
inline const QRgb kGreen = qRgb(0, 255, 0);

inline std::unique_ptr<DrawingBoard> makeBoard(int w = 664, int h = 91) {
    auto board = std::make_unique<DrawingBoard>();
    board->setBackground(kWaveBackground);
    board->resize(w, h);
    board->show();  // the canvas takes the board's size with its first resize event
    return board;
}

inline void draw(DrawingBoard& board, const QByteArray& file) {
    drawWaveform(board, waveformSourceOf(file));
}

// Columns (x) whose pixel in row y has colour c.
inline std::vector<int> columnsWith(const QImage& img, int y, QRgb c) {
    std::vector<int> xs;
    for (int x = 0; x < img.width(); ++x) {
        if (img.pixel(x, y) == c) {
            xs.push_back(x);
        }
    }
    return xs;
}

// Rows (y) whose pixel in column x has colour c.
inline std::vector<int> rowsWith(const QImage& img, int x, QRgb c) {
    std::vector<int> ys;
    for (int y = 0; y < img.height(); ++y) {
        if (img.pixel(x, y) == c) {
            ys.push_back(y);
        }
    }
    return ys;
}

inline int rightmostWith(const QImage& img, QRgb c) {
    for (int x = img.width() - 1; x >= 0; --x) {
        for (int y = 0; y < img.height(); ++y) {
            if (img.pixel(x, y) == c) {
                return x;
            }
        }
    }
    return -1;
}

inline bool onlyBackground(const QImage& img, QRgb background) {
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (img.pixel(x, y) != background) {
                return false;
            }
        }
    }
    return true;
}

inline std::vector<int> multiples(int step, int upTo) {
    std::vector<int> v;
    for (int x = step; x <= upTo; x += step) {
        v.push_back(x);
    }
    return v;
}

// Silence, so the trace stays on the centre rows and leaves the grid lines readable.

}  // namespace quillar::test
