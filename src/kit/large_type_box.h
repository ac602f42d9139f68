// The current item in large type (编辑框_当前录音文本): a line edit that, for an item wider than
// the box, wraps it onto more lines and takes a smaller type rather than scrolling to its end,
// so the speaker always reads a prompt from its first character. An item's gloss and note show
// in small type under it. A short item without either is drawn by QLineEdit itself, pixel for
// pixel as before. GUI thread only.
#pragma once

#include <QFont>
#include <QLineEdit>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>
#include <vector>

namespace quillar {

// The smallest type an item shrinks to: still read at arm's length, about twice the window's
// own 12 px text. Pixels.
inline constexpr int kMinItemPixels = 24;
// The gloss and the note under the item. Pixels.
inline constexpr int kSubTextPixels = 20;
// Between the item's last line and the first line under it. Pixels.
inline constexpr int kSubTextGap = 6;

struct LargeTypeLine {
    QString text;  // the characters of the line, the blank a line broke at included
    QRectF rect;   // where it is drawn: left, top of its line box, its advance and line height
};

struct LargeTypeLayout {
    // The item is one line at the box's own type, and QLineEdit draws it as it always has
    // (what goes under it is drawn afterwards, below its line box).
    bool plain = true;
    int itemPixels = 0;  // the item's type size
    std::vector<LargeTypeLine> item;
    std::vector<LargeTypeLine> sub;  // the gloss's lines, then the note's
    // Every character of the item is drawn. False only for an item that does not fit even at
    // kMinItemPixels alone: its first lines are drawn, as many as the box holds.
    bool complete = true;
};

// Where `item`, `gloss` and `note` go in `area` (the text area of the box, in its coordinates)
// with `font` as the item's full-size type. Tried in order: the item on one line at full size
// where QLineEdit puts it, the gloss and the note under it; the item wrapped, as large as fits
// down to kMinItemPixels, with the gloss and the note under it; the item alone, as large as
// fits; the item's first lines at kMinItemPixels. A wrapped item is centred on the area's height
// while what goes under it fits; otherwise it moves up as far as it must.
LargeTypeLayout layOutLargeType(const QString& item, const QString& gloss, const QString& note,
                                const QFont& font, const QRect& area);

class LargeTypeBox : public QLineEdit {
    Q_OBJECT
  public:
    explicit LargeTypeBox(QWidget* parent = nullptr);

    // The gloss and the note shown under the item; empty texts show nothing. They stay until set
    // again: set them with every item (showItem does both).
    void setSubText(const QString& note, const QString& gloss);
    void showItem(const QString& item, const QString& note, const QString& gloss);
    QString note() const { return m_note; }
    QString gloss() const { return m_gloss; }

    // The area QLineEdit draws its text in, in the box's coordinates.
    QRect textArea() const;
    // The layout painted now.
    const LargeTypeLayout& currentLayout() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString m_note;
    QString m_gloss;
    // The layout of the last paint and what it was made for: paints come far more often than
    // changes.
    mutable LargeTypeLayout m_layout;
    mutable QString m_laidText;
    mutable QString m_laidNote;
    mutable QString m_laidGloss;
    mutable QFont m_laidFont;
    mutable QRect m_laidArea;
    mutable bool m_laidOut = false;
};

}  // namespace quillar
