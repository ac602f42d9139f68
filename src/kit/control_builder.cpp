// Turns the layout table into widgets.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <algorithm>

#include "kit/combo_box.h"
#include "kit/control_table.h"
#include "kit/drawing_board.h"
#include "kit/large_type_box.h"
#include "kit/main_form.h"
#include "kit/shape_box.h"
#include "kit/ui_texts.h"

namespace quillar {

namespace {

// A label drawn the way the layout was designed: text at the left, centred vertically, and lines
// of a multi-line text stacked one character height apart. CJK faces here carry ascent and
// descent beyond their em square; with the toolkit's own line spacing a two-line label in a box
// two characters high would lose the bottom of its second line.
class StaticLabel : public QLabel {
  public:
    using QLabel::QLabel;

  protected:
    void paintEvent(QPaintEvent* event) override {
        const QString all = text();
        if (!all.contains('\n')) {
            QLabel::paintEvent(event);
            return;
        }
        QStringList lines = all.split('\n');
        for (QString& line : lines) {
            if (line.endsWith('\r')) {
                line.chop(1);
            }
        }
        QPainter p(this);
        const QFontMetrics metrics(font());
        const int step = std::max(1, QFontInfo(font()).pixelSize());
        const int block = step * static_cast<int>(lines.size());
        // The em square sits in the middle of the toolkit's line box.
        int top = (height() - block) / 2 - (metrics.height() - step) / 2;
        for (const QString& line : lines) {
            style()->drawItemText(&p, QRect(0, top, width(), metrics.height()),
                                  Qt::AlignLeft | Qt::AlignTop, palette(), isEnabled(), line,
                                  foregroundRole());
            top += step;
        }
    }
};

QWidget* makeWidget(const ControlRow& row, QWidget* parent) {
    const QString text = Texts::tr(row.text.toUtf8().constData());
    switch (row.kind) {
        case ControlKind::Button:
            return new QPushButton(text, parent);
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(text, parent);
            edit->setCursorPosition(0);
            return edit;
        }
        case ControlKind::LargeTypeEdit:
            return new LargeTypeBox(parent);
        case ControlKind::Label: {
            auto* label = new StaticLabel(text, parent);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            return label;
        }
        case ControlKind::List:
            return new QListWidget(parent);
        case ControlKind::Combo:
            return new ComboBox(parent);
        case ControlKind::Check:
            return new QCheckBox(text, parent);
        case ControlKind::Radio:
            return new QRadioButton(text, parent);
        case ControlKind::Group:
            return new QGroupBox(text, parent);
        case ControlKind::Board:
            return new DrawingBoard(parent);
        case ControlKind::Shape:
            return new ShapeBox(parent);
        case ControlKind::Progress:
            return new QProgressBar(parent);
        default:
            return nullptr;
    }
}

void applyLook(const ControlRow& row, QWidget* w) {
    const ControlLook& look = row.look;
    if (look.font) {
        QFont font = w->font();
        if (!look.font->family.isEmpty()) {
            QStringList families{look.font->family};
            families << look.font->fallbacks << QApplication::font().families();
            font.setFamilies(families);
        }
        font.setPixelSize(look.font->pixelSize);
        font.setWeight(look.font->weight >= 700 ? QFont::Bold : QFont::Normal);
        w->setFont(font);
    } else if (w->parentWidget() && w->parentWidget()->testAttribute(Qt::WA_SetFont)) {
        // A container's own font is the container's alone; what it holds keeps the default face.
        w->setFont(QApplication::font());
    }
    if (auto* board = qobject_cast<DrawingBoard*>(w)) {
        if (look.background) {
            board->setBackground(*look.background);
        }
    } else if (auto* shape = qobject_cast<ShapeBox*>(w)) {
        if (look.background) {
            shape->setColour(*look.background);
        }
    } else if (look.background || look.foreground) {
        QPalette pal = w->palette();
        if (look.background) {
            pal.setColor(QPalette::Window, *look.background);
            pal.setColor(QPalette::Base, *look.background);
            w->setAutoFillBackground(true);
        }
        if (look.foreground) {
            pal.setColor(QPalette::WindowText, *look.foreground);
            pal.setColor(QPalette::Text, *look.foreground);
        }
        w->setPalette(pal);
    }
    if (auto* check = qobject_cast<QAbstractButton*>(w); check && check->isCheckable()) {
        check->setChecked(look.checked);
    }
    w->setEnabled(!look.disabled);
    w->setVisible(!look.hidden);
}

}  // namespace

void buildControls(MainForm& form, const std::vector<ControlRow>& rows) {
    QHash<QString, QWidget*> containers;
    containers.insert("window", &form);
    for (const ControlRow& row : rows) {
        QWidget* parent = containers.value(QString::fromUtf8(row.container), &form);
        QObject* made = nullptr;
        if (row.kind == ControlKind::Timer) {
            auto* timer = new QTimer(parent);
            timer->setInterval(row.look.interval);
            if (row.look.interval > 0) {
                timer->start();
            }
            made = timer;
        } else if (QWidget* w = makeWidget(row, parent)) {
            w->setGeometry(row.geometry);
            applyLook(row, w);
            containers.insert(QString::fromUtf8(row.name), w);
            made = w;
        }
        if (made) {
            made->setObjectName(QString::fromUtf8(row.name));
            if (row.bind) {
                row.bind(form, made);
            }
        }
    }
}

}  // namespace quillar
