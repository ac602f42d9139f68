#include "kit/item_marks.h"

#include <QListWidget>
#include <QPainter>

namespace quillar {

ItemMarks::ItemMarks(QListWidget* list) : QStyledItemDelegate(list), m_list(list) {
    list->setItemDelegate(this);
}

void ItemMarks::setMarks(std::vector<std::uint8_t> marks) {
    m_marks = std::move(marks);
    m_recorded = 0;
    m_skipped = 0;
    for (const std::uint8_t m : m_marks) {
        m_recorded += (m & kRecorded) != 0;
        m_skipped += (m & kSkipped) != 0;
    }
    m_list->viewport()->update();
}

void ItemMarks::setMark(int row, std::uint8_t mark) {
    if (row < 0) {
        return;
    }
    if (row >= size()) {
        m_marks.resize(static_cast<std::size_t>(row) + 1, kNone);
    }
    std::uint8_t& m = m_marks[static_cast<std::size_t>(row)];
    m_recorded += ((mark & kRecorded) != 0) - ((m & kRecorded) != 0);
    m_skipped += ((mark & kSkipped) != 0) - ((m & kSkipped) != 0);
    m = mark;
    m_list->viewport()->update();
}

std::uint8_t ItemMarks::markOf(quality::Verdict v) {
    switch (v) {
        case quality::Verdict::Good:
            return kRecorded | kGood;
        case quality::Verdict::Check:
            return kRecorded | kCheck;
        case quality::Verdict::Redo:
            return kRecorded | kRedo;
    }
    return kRecorded;
}

std::uint8_t ItemMarks::mark(int row) const {
    return row >= 0 && row < size() ? m_marks[static_cast<std::size_t>(row)] : kNone;
}

void ItemMarks::paint(QPainter* painter, const QStyleOptionViewItem& option,
                      const QModelIndex& index) const {
    QStyleOptionViewItem textOption = option;
    textOption.rect.setLeft(option.rect.left() + kMarkWidth);
    // The selection band runs under the mark as well, as it would without one.
    if (option.state & QStyle::State_Selected) {
        painter->fillRect(
            QRect(option.rect.left(), option.rect.top(), kMarkWidth, option.rect.height()),
            option.palette.brush(QPalette::Highlight));
    }
    QStyledItemDelegate::paint(painter, textOption, index);

    const std::uint8_t m = mark(index.row());
    if ((m & (kRecorded | kSkipped)) == 0) {
        return;
    }
    const int d = std::min(9, option.rect.height() - 4);
    const QRect dot(option.rect.left() + (kMarkWidth - d) / 2,
                    option.rect.top() + (option.rect.height() - d) / 2, d, d);
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    const QPoint c = dot.center();
    if ((m & kSkipped) != 0) {
        painter->setBrush(QColor(150, 150, 150));
        painter->drawEllipse(dot);
        painter->setPen(QPen(Qt::white, 2));
        painter->drawLine(dot.left() + 2, c.y(), dot.right() - 2, c.y());
    } else if ((m & kRedo) != 0) {
        painter->setBrush(QColor(220, 0, 0));
        painter->drawEllipse(dot);
        painter->setPen(QPen(Qt::white, 2));
        painter->drawLine(c.x(), dot.top() + 2, c.x(), dot.bottom() - 2);
    } else if ((m & kCheck) != 0) {
        painter->setBrush(QColor(235, 150, 0));
        painter->drawEllipse(dot);
        painter->setBrush(Qt::white);
        painter->drawEllipse(QPointF(c), 1.5, 1.5);
    } else {
        painter->setBrush(QColor(0, 160, 60));
        painter->drawEllipse(dot);
        if ((m & kGood) != 0) {
            painter->setPen(QPen(Qt::white, 1.5));
            painter->drawPolyline(
                QPolygonF({QPointF(dot.left() + 2, c.y()), QPointF(c.x() - 0.5, dot.bottom() - 2),
                           QPointF(dot.right() - 1.5, dot.top() + 2)}));
        }
    }
    painter->restore();
}

QSize ItemMarks::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QSize text = QStyledItemDelegate::sizeHint(option, index);
    return {text.width() + kMarkWidth, text.height()};
}

}  // namespace quillar
