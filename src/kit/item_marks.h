// The marks beside the items of the item list: a green dot for an item with a recording file, a
// red one with a white bar when that file's latest take clipped. The marks are drawn by the list's
// item delegate from one byte per row, so the item texts never change and 100,000 rows are marked
// by filling a vector. Whoever knows the files (items/recording_marks) sets them; GUI thread only.
#pragma once

#include <QStyledItemDelegate>
#include <cstdint>
#include <vector>

class QListWidget;

namespace quillar {

class ItemMarks : public QStyledItemDelegate {
    Q_OBJECT
  public:
    static constexpr std::uint8_t kNone = 0;
    static constexpr std::uint8_t kRecorded = 1;
    static constexpr std::uint8_t kClipped = 2;  // with kRecorded
    // Room left of the text for the mark, in pixels.
    static constexpr int kMarkWidth = 14;

    // Becomes the delegate of `list` and is owned by it.
    explicit ItemMarks(QListWidget* list);

    // One mark per row; rows beyond the vector are unmarked. Repaints the list.
    void setMarks(std::vector<std::uint8_t> marks);
    void setMark(int row, std::uint8_t mark);
    std::uint8_t mark(int row) const;
    // Rows marked recorded.
    int recordedCount() const { return m_recorded; }
    int size() const { return static_cast<int>(m_marks.size()); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    QListWidget* m_list;
    std::vector<std::uint8_t> m_marks;
    int m_recorded = 0;
};

}  // namespace quillar
