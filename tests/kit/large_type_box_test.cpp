// The current item in large type: a long item wraps and shrinks instead of showing its end, a
// short one is drawn exactly as a plain line edit draws it, and the gloss and the note sit under
// the item inside the box.
#include "kit/large_type_box.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLineEdit>

#include "kit/main_form.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

const QString kLongChinese = u"我昨天在村口看见他和他的兄弟一起赶着三头牛往山上走去了"_s;
const QString kLongEnglish =
    u"Yesterday at the village gate I saw him and his brothers driving three oxen up the hill"_s;

QString repeated(const QString& text, int times) {
    QString out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

QString joined(const std::vector<LargeTypeLine>& lines) {
    QString all;
    for (const LargeTypeLine& line : lines) {
        all += line.text;
    }
    return all;
}

bool inside(const QRectF& rect, const QRect& area) {
    return rect.left() >= area.left() && rect.top() >= area.top() &&
           rect.left() + rect.width() <= area.left() + area.width() &&
           rect.top() + rect.height() <= area.top() + area.height();
}

// What a widget shows, as pixels.
QImage shot(QWidget& w) {
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

class LargeTypeTest : public ::testing::Test {
  protected:
    LargeTypeBox& box() { return *t.form.编辑框_当前录音文本; }
    // A plain line edit where the box is, looking as the box does.
    QLineEdit& plain() {
        if (!m_plain) {
            m_plain = new QLineEdit(box().parentWidget());
            m_plain->setGeometry(box().geometry());
            m_plain->setFont(box().font());
            m_plain->setPalette(box().palette());
        }
        return *m_plain;
    }
    TestApp t;

  private:
    QLineEdit* m_plain = nullptr;
};

TEST_F(LargeTypeTest, EveryItemIsLaidOutWholeInsideTheBoxAsLargeAsFits) {
    struct Case {
        const char* name;
        QString item;
        QString gloss;
        QString note;
        bool plain;
        int minPixels;  // the item's type at least
        int maxPixels;  // and at most
        int minLines;
    };
    const Case cases[] = {
        {"short item", u"打"_s, {}, {}, true, 48, 48, 1},
        {"short sentence", u"他和兄弟一起上山"_s, {}, {}, true, 48, 48, 1},
        {"long Chinese sentence", kLongChinese, {}, {}, false, 40, 48, 2},
        {"long English sentence", kLongEnglish, {}, {}, false, 30, 48, 2},
        {"a word longer than a line", repeated(u"W"_s, 40), {}, {}, false, 24, 48, 2},
        {"paragraph shrinks", repeated(kLongChinese, 4), {}, {}, false, 24, 36, 4},
        {"short item with a gloss", u"打"_s, u"hit"_s, {}, true, 48, 48, 1},
        {"long item with gloss and note", kLongChinese, u"yesterday I saw him at the gate"_s,
         u"the verb 赶 here means to drive cattle"_s, false, 30, 48, 2},
    };
    const QFont font = box().font();
    const QRect area = box().textArea();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LargeTypeLayout l = layOutLargeType(c.item, c.gloss, c.note, font, area);
        EXPECT_EQ(l.plain, c.plain);
        EXPECT_TRUE(l.complete);
        EXPECT_GE(l.itemPixels, c.minPixels);
        EXPECT_LE(l.itemPixels, c.maxPixels);
        EXPECT_GE(static_cast<int>(l.item.size()), c.minLines);
        // Every character, in order, from the first: nothing scrolled away.
        EXPECT_EQ(joined(l.item), c.item);
        for (const LargeTypeLine& line : l.item) {
            EXPECT_TRUE(inside(line.rect, area)) << line.text.toStdString();
        }
        // No larger type would have held it: one pixel more overflows or is the box's own.
        if (!l.plain && l.itemPixels < font.pixelSize()) {
            QFont larger = font;
            larger.setPixelSize(l.itemPixels + 1);
            const LargeTypeLayout more = layOutLargeType(c.item, c.gloss, c.note, larger, area);
            EXPECT_FALSE(more.plain);
            EXPECT_EQ(more.itemPixels, l.itemPixels);
        }
        const QString sub = c.gloss + c.note;
        EXPECT_EQ(joined(l.sub).remove(u' '), QString(sub).remove(u' '));
        for (const LargeTypeLine& line : l.sub) {
            EXPECT_TRUE(inside(line.rect, area)) << line.text.toStdString();
            EXPECT_GE(line.rect.top(), l.item.back().rect.bottom());
        }
    }
}

TEST_F(LargeTypeTest, TheEnglishSentenceKeepsItsFirstLetterAndBreaksBetweenWords) {
    const LargeTypeLayout l = layOutLargeType(kLongEnglish, {}, {}, box().font(), box().textArea());
    ASSERT_FALSE(l.item.empty());
    EXPECT_TRUE(l.item.front().text.startsWith(u"Yesterday "_s));
    for (const LargeTypeLine& line : l.item) {
        EXPECT_GE(line.rect.left(), box().textArea().left());
        // Each line ends at a word's end: the next begins with a letter after a blank.
        EXPECT_TRUE(line.text.endsWith(u' ') || &line == &l.item.back()) << line.text.toStdString();
    }
}

TEST_F(LargeTypeTest, AnItemTooLongForTheSmallestTypeShowsItsBeginning) {
    const QString item = repeated(kLongChinese, 40);
    const QRect area = box().textArea();
    const LargeTypeLayout l = layOutLargeType(item, u"gloss"_s, {}, box().font(), area);
    EXPECT_FALSE(l.complete);
    EXPECT_EQ(l.itemPixels, kMinItemPixels);
    EXPECT_TRUE(l.sub.empty());  // the item comes first
    EXPECT_TRUE(item.startsWith(joined(l.item)));
    EXPECT_GE(l.item.size(), 5u);
    for (const LargeTypeLine& line : l.item) {
        EXPECT_TRUE(inside(line.rect, area));
    }
}

TEST_F(LargeTypeTest, AShortItemLooksExactlyAsInAPlainLineEdit) {
    for (const QString& item : {u"打"_s, u"他和兄弟一起上山"_s, u"water"_s, QString()}) {
        SCOPED_TRACE(item.toStdString());
        box().showItem(item, {}, {});
        plain().setText(item);
        EXPECT_TRUE(box().currentLayout().plain);
        EXPECT_EQ(shot(box()), shot(plain()));
    }
}

TEST_F(LargeTypeTest, AGlossGoesUnderAShortItemThatStaysWhereItWas) {
    box().showItem(u"打"_s, u"also: to fight"_s, u"hit"_s);
    plain().setText(u"打"_s);
    const LargeTypeLayout& l = box().currentLayout();
    EXPECT_TRUE(l.plain);
    ASSERT_EQ(l.item.size(), 1u);
    ASSERT_EQ(l.sub.size(), 2u);
    EXPECT_EQ(l.itemPixels, box().font().pixelSize());
    EXPECT_EQ(l.sub[0].text, u"hit"_s);  // the gloss, then the note
    EXPECT_EQ(l.sub[1].text, u"also: to fight"_s);
    EXPECT_LT(l.sub[0].rect.bottom(), l.sub[1].rect.top() + 1);
    for (const LargeTypeLine& line : l.sub) {
        EXPECT_TRUE(inside(line.rect, box().textArea()));
    }
    // Above the gloss, the box is the plain line edit's picture to the pixel.
    const int above = static_cast<int>(l.sub[0].rect.top());
    ASSERT_GT(above, static_cast<int>(l.item[0].rect.bottom()));
    EXPECT_EQ(shot(box()).copy(0, 0, box().width(), above),
              shot(plain()).copy(0, 0, box().width(), above));
}

TEST_F(LargeTypeTest, TheBoxPaintsEveryLineOfALongItemAndItsGloss) {
    box().showItem(kLongChinese, {}, u"yesterday I saw him"_s);
    const LargeTypeLayout l = box().currentLayout();
    ASSERT_GE(l.item.size(), 2u);
    ASSERT_EQ(l.sub.size(), 1u);
    const QImage image = shot(box());
    const QColor paper = box().palette().color(QPalette::Base);
    // Ink in every line's box, within its advance.
    const auto inked = [&](const QRectF& r) {
        for (int y = static_cast<int>(r.top()); y < static_cast<int>(r.bottom()); ++y) {
            for (int x = static_cast<int>(r.left()); x < static_cast<int>(r.right()); ++x) {
                if (image.pixelColor(x, y) != paper) {
                    return true;
                }
            }
        }
        return false;
    };
    for (const LargeTypeLine& line : l.item) {
        EXPECT_TRUE(inked(line.rect)) << line.text.toStdString();
    }
    EXPECT_TRUE(inked(l.sub[0].rect));
    // And nothing between the item's last line and the gloss.
    const QRectF gap(l.item.back().rect.left(), l.item.back().rect.bottom() + 1,
                     l.item.back().rect.width(),
                     l.sub[0].rect.top() - l.item.back().rect.bottom() - 2);
    EXPECT_FALSE(gap.height() > 0 && inked(gap));
}

TEST_F(LargeTypeTest, TheFormsCurrentItemBoxIsALargeTypeBoxThatKeepsItsText) {
    box().setText(kLongChinese);
    EXPECT_EQ(t.form.编辑框_当前录音文本->text(), kLongChinese);
    EXPECT_EQ(box().font().pixelSize(), 48);  // the box's own type never changes
    EXPECT_FALSE(box().currentLayout().plain);
    box().setText(u"打"_s);
    EXPECT_TRUE(box().currentLayout().plain);
}

}  // namespace
}  // namespace quillar::test
