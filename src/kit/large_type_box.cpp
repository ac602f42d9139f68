#include "kit/large_type_box.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTextLayout>
#include <QTextOption>
#include <algorithm>
#include <cmath>

namespace quillar {

namespace {

// QLineEdit keeps this much between its contents rectangle and its text on the left and right.
constexpr int kLineEditHorizontalMargin = 2;

int pixelSizeOf(const QFont& font) {
    return font.pixelSize() > 0 ? font.pixelSize() : QFontInfo(font).pixelSize();
}

QFont sized(const QFont& font, int pixels) {
    QFont f = font;
    f.setPixelSize(pixels);
    return f;
}

struct Range {
    int start;
    int length;
    qreal width;
};

// `text` broken into lines no wider than `width`: between words where it has blanks, between
// any two characters elsewhere (Chinese has no blanks, and a word longer than a line must break
// too).
std::vector<Range> wrap(const QString& text, const QFont& font, qreal width) {
    std::vector<Range> lines;
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.push_back({line.textStart(), line.textLength(), line.naturalTextWidth()});
    }
    layout.endLayout();
    return lines;
}

// The width QLineEdit gives `text` on one line: its own text layout's natural width.
qreal oneLineWidth(const QString& text, const QFont& font) {
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    qreal width = 0;
    if (line.isValid()) {
        line.setLineWidth(1e7);
        width = line.naturalTextWidth();
    }
    layout.endLayout();
    return width;
}

// Lines of `text` in `font` from `top` down, one line box apart, at the area's left edge.
std::vector<LargeTypeLine> place(const QString& text, const std::vector<Range>& ranges,
                                 const QFont& font, const QRect& area, qreal top) {
    const QFontMetrics m(font);
    std::vector<LargeTypeLine> lines;
    for (const Range& r : ranges) {
        lines.push_back({text.mid(r.start, r.length), QRectF(area.x(), top, r.width, m.height())});
        top += m.lineSpacing();
    }
    return lines;
}

qreal blockHeight(std::size_t lines, const QFontMetrics& m) {
    return lines == 0 ? 0.0 : static_cast<qreal>(lines - 1) * m.lineSpacing() + m.height();
}

}  // namespace

LargeTypeLayout layOutLargeType(const QString& item, const QString& gloss, const QString& note,
                                const QFont& font, const QRect& area) {
    LargeTypeLayout out;
    const int full = pixelSizeOf(font);
    const QFontMetrics fullMetrics(font);
    // QLineEdit's own test of whether it must scroll (one pixel for the cursor).
    const qreal oneLine = oneLineWidth(item, font);
    const bool fits = std::round(oneLine) + 1 <= area.width();
    // Where QLineEdit puts its one line: centred on a line box as high as the text's glyphs
    // reach, at least the font's height.
    const int lineEditHeight =
        std::max(fullMetrics.boundingRect(item).height(), fullMetrics.height());
    const qreal lineEditTop = area.y() + (area.height() - lineEditHeight + 1) / 2;

    QFont subFont = sized(font, std::min(kSubTextPixels, full));
    subFont.setBold(false);
    const QFontMetrics subMetrics(subFont);
    std::vector<std::pair<QString, std::vector<Range>>> subTexts;
    std::size_t subLineCount = 0;
    for (const QString& text : {gloss.trimmed(), note.trimmed()}) {
        if (!text.isEmpty()) {
            subTexts.emplace_back(text, wrap(text, subFont, area.width()));
            subLineCount += subTexts.back().second.size();
        }
    }
    const bool hasSub = subLineCount > 0;
    const qreal subHeight = hasSub ? kSubTextGap + blockHeight(subLineCount, subMetrics) : 0.0;
    const auto placeSub = [&](qreal y) {
        for (const auto& [text, lines] : subTexts) {
            for (LargeTypeLine& line : place(text, lines, subFont, area, y)) {
                out.sub.push_back(std::move(line));
            }
            y += static_cast<qreal>(lines.size()) * subMetrics.lineSpacing();
        }
    };

    if (fits && (!hasSub || lineEditTop + lineEditHeight + subHeight <= area.y() + area.height())) {
        // The box draws it itself, exactly as it always has; what goes under it, under it.
        out.itemPixels = full;
        if (!item.isEmpty()) {
            out.item.push_back({item, QRectF(area.x(), lineEditTop, oneLine, lineEditHeight)});
        }
        if (hasSub) {
            placeSub(lineEditTop + lineEditHeight + kSubTextGap);
        }
        return out;
    }
    out.plain = false;

    const auto finish = [&](int pixels, const std::vector<Range>& ranges, bool withSub) {
        const QFont itemFont = sized(font, pixels);
        const QFontMetrics m(itemFont);
        const qreal itemHeight = blockHeight(ranges.size(), m);
        const qreal below = withSub ? subHeight : 0.0;
        const qreal centred = area.y() + std::floor((area.height() - itemHeight + 1) / 2);
        const qreal top = std::max<qreal>(
            area.y(), std::min(centred, area.y() + area.height() - itemHeight - below));
        out.itemPixels = pixels;
        out.item = place(item, ranges, itemFont, area, top);
        if (withSub) {
            placeSub(top + itemHeight + kSubTextGap);
        }
        return out;
    };

    const int smallest = std::min(kMinItemPixels, full);
    for (const bool withSub : {true, false}) {
        if (!withSub && !hasSub) {
            break;
        }
        // The item first: when it and what goes under it do not fit together even in the
        // smallest type, the item is shown alone.
        for (int pixels = full; pixels >= smallest; --pixels) {
            const QFont itemFont = sized(font, pixels);
            const std::vector<Range> ranges = wrap(item, itemFont, area.width() - 1);
            if (blockHeight(ranges.size(), QFontMetrics(itemFont)) + (withSub ? subHeight : 0.0) <=
                area.height()) {
                return finish(pixels, ranges, withSub);
            }
        }
    }

    // Not even the smallest type holds it all: its beginning, which the speaker reads first.
    const QFont itemFont = sized(font, smallest);
    const QFontMetrics m(itemFont);
    std::vector<Range> ranges = wrap(item, itemFont, area.width() - 1);
    std::size_t fitting = 1;
    while (fitting < ranges.size() && blockHeight(fitting + 1, m) <= area.height()) {
        ++fitting;
    }
    ranges.resize(fitting);
    out.complete = false;
    out.itemPixels = smallest;
    out.item = place(item, ranges, itemFont, area, area.y());
    return out;
}

LargeTypeBox::LargeTypeBox(QWidget* parent) : QLineEdit(parent) {}

void LargeTypeBox::setSubText(const QString& note, const QString& gloss) {
    if (note == m_note && gloss == m_gloss) {
        return;
    }
    m_note = note;
    m_gloss = gloss;
    update();
}

void LargeTypeBox::showItem(const QString& item, const QString& note, const QString& gloss) {
    setText(item);
    setSubText(note, gloss);
}

QRect LargeTypeBox::textArea() const {
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this);
    return contents.marginsRemoved(textMargins())
        .adjusted(kLineEditHorizontalMargin, 0, -kLineEditHorizontalMargin, 0);
}

const LargeTypeLayout& LargeTypeBox::currentLayout() const {
    const QRect area = textArea();
    if (!m_laidOut || m_laidText != text() || m_laidNote != m_note || m_laidGloss != m_gloss ||
        m_laidFont != font() || m_laidArea != area) {
        m_layout = layOutLargeType(text(), m_gloss, m_note, font(), area);
        m_laidText = text();
        m_laidNote = m_note;
        m_laidGloss = m_gloss;
        m_laidFont = font();
        m_laidArea = area;
        m_laidOut = true;
    }
    return m_layout;
}

void LargeTypeBox::paintEvent(QPaintEvent* event) {
    const LargeTypeLayout& layout = currentLayout();
    if (layout.plain) {
        QLineEdit::paintEvent(event);
        if (layout.sub.empty()) {
            return;
        }
    }
    QPainter p(this);
    if (!layout.plain) {
        QStyleOptionFrame panel;
        initStyleOption(&panel);
        style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &p, this);
    }
    p.setClipRect(textArea());

    const auto draw = [&p](const std::vector<LargeTypeLine>& lines, const QFont& font) {
        p.setFont(font);
        const int ascent = QFontMetrics(font).ascent();
        for (const LargeTypeLine& line : lines) {
            // A blank the line broke at is not drawn; it would only run past the edge.
            QString shown = line.text;
            while (!shown.isEmpty() && shown.back().isSpace()) {
                shown.chop(1);
            }
            p.drawText(QPointF(line.rect.x(), line.rect.y() + ascent), shown);
        }
    };
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    const QColor ink = palette().color(group, QPalette::Text);
    if (!layout.plain) {
        p.setPen(ink);
        draw(layout.item, [&] {
            QFont f = font();
            f.setPixelSize(layout.itemPixels);
            return f;
        }());
    }
    if (!layout.sub.empty()) {
        // Quieter than the item, still dark enough to read beside it.
        const QColor paper = palette().color(group, QPalette::Base);
        p.setPen(QColor::fromRgbF(ink.redF() * 0.7f + paper.redF() * 0.3f,
                                  ink.greenF() * 0.7f + paper.greenF() * 0.3f,
                                  ink.blueF() * 0.7f + paper.blueF() * 0.3f));
        QFont f = font();
        f.setPixelSize(std::min(kSubTextPixels, pixelSizeOf(font())));
        f.setBold(false);
        draw(layout.sub, f);
    }
}

}  // namespace quillar
