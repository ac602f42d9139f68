// The marks beside the items of the item list: a green dot for an item with a recording file;
// when its latest take was judged, the dot tells the verdict: green with a white tick (good),
// amber with a white dot (check), red with a white bar (redo, which a clipped take always is); a
// grey dot with a white dash for an item passed over (skipped), whatever files it has. The
// marks are drawn by the list's item delegate from one byte per row, so the item texts never change
// and 100,000 rows are marked by filling a vector. Whoever knows the files (items/recording_marks)
// sets them; GUI thread only.
#pragma once

#include <QStyledItemDelegate>
#include <cstdint>
#include <vector>

#include "quality/take_judge.h"

class QListWidget;

namespace quillar {

class ItemMarks : public QStyledItemDelegate {
    Q_OBJECT
  public:
    static constexpr std::uint8_t kNone = 0;
    static constexpr std::uint8_t kRecorded = 1;
    // With kRecorded, at most one of them: the latest take's verdict.
    static constexpr std::uint8_t kRedo = 2;
    static constexpr std::uint8_t kCheck = 4;
    static constexpr std::uint8_t kGood = 8;
    // Alone: the item's newest line in its take log is a skip, so it is neither recorded nor
    // wanted by F3.
    static constexpr std::uint8_t kSkipped = 16;
    // Room left of the text for the mark, in pixels.
    static constexpr int kMarkWidth = 14;

    // The mark of a recorded item whose latest take was judged `v`.
    static std::uint8_t markOf(quality::Verdict v);

    // Becomes the delegate of `list` and is owned by it.
    explicit ItemMarks(QListWidget* list);

    // One mark per row; rows beyond the vector are unmarked. Repaints the list.
    void setMarks(std::vector<std::uint8_t> marks);
    void setMark(int row, std::uint8_t mark);
    std::uint8_t mark(int row) const;
    // Rows marked recorded.
    int recordedCount() const { return m_recorded; }
    // Rows marked skipped.
    int skippedCount() const { return m_skipped; }
    int size() const { return static_cast<int>(m_marks.size()); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

  private:
    QListWidget* m_list;
    std::vector<std::uint8_t> m_marks;
    int m_recorded = 0;
    int m_skipped = 0;
};

}  // namespace quillar
