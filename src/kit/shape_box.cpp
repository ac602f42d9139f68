#include "kit/shape_box.h"

#include <QPainter>

namespace quillar {

ShapeBox::ShapeBox(QWidget* parent) : QWidget(parent) {}

void ShapeBox::setColour(const QColor& colour) {
    m_colour = colour;
    update();
}

void ShapeBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), m_colour);
}

}  // namespace quillar
