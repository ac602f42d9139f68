#include "kit/drawing_board.h"

#include <QPaintEvent>
#include <QPainter>
#include <cstring>

namespace quillar {

DrawingBoard::DrawingBoard(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_canvas = QImage(1, 1, QImage::Format_RGB32);
    m_canvas.fill(m_background);
}

void DrawingBoard::setBackground(const QColor& colour) {
    m_background = colour;
    clear();
}

void DrawingBoard::clear() {
    fitCanvas();
    m_canvas.fill(m_background);
    update();
}

void DrawingBoard::setUnit(int unit) {
    m_unit = unit;
}

void DrawingBoard::setPenColour(const QColor& colour) {
    m_pen = colour;
}

void DrawingBoard::setPenStyle(int style) {
    m_penStyle = style;
}

void DrawingBoard::setTextColour(const QColor& colour) {
    m_textColour = colour;
}

QPointF DrawingBoard::toPixels(double x, double y) const {
    if (m_unit == kFineUnits) {
        return {x / kFineX, y / kFineY};
    }
    return {x, y};
}

void DrawingBoard::line(double x1, double y1, double x2, double y2) {
    static const Qt::PenStyle styles[] = {Qt::SolidLine, Qt::DashLine, Qt::DotLine, Qt::DashDotLine,
                                          Qt::DashDotDotLine};
    fitCanvas();
    QPainter p(&m_canvas);
    QPen pen(m_pen);
    pen.setWidth(1);
    pen.setStyle(m_penStyle >= 0 && m_penStyle < 5 ? styles[m_penStyle] : Qt::SolidLine);
    p.setPen(pen);
    QPointF a = toPixels(x1, y1);
    QPointF b = toPixels(x2, y2);
    // Pixel lines land on whole pixels, as a GDI pen would put them.
    p.drawLine(QPoint(int(a.x()), int(a.y())), QPoint(int(b.x()), int(b.y())));
    update();
}

void DrawingBoard::text(double x, double y, const QString& s) {
    fitCanvas();
    QPainter p(&m_canvas);
    p.setPen(m_textColour);
    p.setFont(font());
    QPointF at = toPixels(x, y);
    QRectF box(at, QSizeF(m_canvas.width(), m_canvas.height()));
    p.drawText(box, Qt::AlignLeft | Qt::AlignTop, s);
    update();
}

void DrawingBoard::blit(int x, int y, const QImage& image) {
    fitCanvas();
    // Live pictures are blitted 33 times a second and change in a few rows at most: only the rows
    // that differ are copied and repainted, and a picture that stands still costs no repaint.
    const QRect target = QRect(QPoint(x, y), image.size()).intersected(m_canvas.rect());
    if (image.format() != m_canvas.format() || target.isEmpty()) {
        QPainter p(&m_canvas);
        p.drawImage(QPoint(x, y), image);
        update(QRect(QPoint(x, y), image.size()));
        return;
    }
    const std::size_t rowBytes = std::size_t(target.width()) * sizeof(QRgb);
    int first = -1;
    int last = -1;
    for (int row = target.top(); row <= target.bottom(); ++row) {
        const auto* from =
            reinterpret_cast<const QRgb*>(image.constScanLine(row - y)) + (target.left() - x);
        auto* to = reinterpret_cast<QRgb*>(m_canvas.scanLine(row)) + target.left();
        if (std::memcmp(from, to, rowBytes) != 0) {
            std::memcpy(to, from, rowBytes);
            first = first < 0 ? row : first;
            last = row;
        }
    }
    if (first >= 0) {
        update(QRect(target.left(), first, target.width(), last - first + 1));
    }
}

const QImage& DrawingBoard::canvas() const {
    fitCanvas();
    return m_canvas;
}

void DrawingBoard::paintEvent(QPaintEvent* event) {
    fitCanvas();
    QPainter p(this);
    p.drawImage(event->rect().topLeft(), m_canvas, event->rect());
}

void DrawingBoard::resizeEvent(QResizeEvent*) {
    fitCanvas();
}

// A hidden widget gets its resize event only when it is first shown, so every drawing call
// first brings the canvas to the board's size; what was drawn stays where it was.
void DrawingBoard::fitCanvas() const {
    if (m_canvas.size() == size() || width() <= 0 || height() <= 0) {
        return;
    }
    QImage fitted(size(), QImage::Format_RGB32);
    fitted.fill(m_background);
    QPainter p(&fitted);
    p.drawImage(0, 0, m_canvas);
    p.end();
    m_canvas = fitted;
}

}  // namespace quillar
