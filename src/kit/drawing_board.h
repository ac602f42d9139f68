// A drawing board: a widget over a persistent canvas image. What is drawn stays until the board
// is cleared, whatever repaints the window system asks for. Coordinates are pixels, or "fine
// units" (23.5 per pixel across, 16 per pixel down) after setUnit(kFineUnits). GUI thread only.
#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>

namespace quillar {

class DrawingBoard : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kPixels = 0;
    static constexpr int kFineUnits = 2;
    static constexpr double kFineX = 23.5;  // fine units per pixel, horizontally
    static constexpr double kFineY = 16.0;  // fine units per pixel, vertically

    explicit DrawingBoard(QWidget* parent = nullptr);

    void setBackground(const QColor& colour);
    QColor background() const { return m_background; }
    // Fills the whole canvas with the background colour.
    void clear();
    void setUnit(int unit);  // kPixels or kFineUnits
    int unit() const { return m_unit; }
    void setPenColour(const QColor& colour);
    // 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot.
    void setPenStyle(int style);
    void line(double x1, double y1, double x2, double y2);
    // Text with its top-left corner at (x, y), in the board's text colour.
    void text(double x, double y, const QString& s);
    void setTextColour(const QColor& colour);
    // Copies an image to the canvas with its top-left corner at (x, y) pixels; only the rows
    // that change are repainted.
    void blit(int x, int y, const QImage& image);

    // The canvas as drawn so far, the board's size (tests read pixels from it).
    const QImage& canvas() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QPointF toPixels(double x, double y) const;
    void fitCanvas() const;

    mutable QImage m_canvas;  // follows the board's size lazily; see fitCanvas()
    QColor m_background{Qt::white};
    QColor m_pen{Qt::black};
    QColor m_textColour{Qt::black};
    int m_penStyle = 0;
    int m_unit = kPixels;
};

}  // namespace quillar
