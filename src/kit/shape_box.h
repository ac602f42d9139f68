// A shape box: a plain filled rectangle (a 1-pixel-wide one serves as a vertical line).
#pragma once

#include <QColor>
#include <QWidget>

namespace quillar {

class ShapeBox : public QWidget {
    Q_OBJECT
  public:
    explicit ShapeBox(QWidget* parent = nullptr);
    void setColour(const QColor& colour);
    QColor colour() const { return m_colour; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QColor m_colour{Qt::black};
};

}  // namespace quillar
