// Turns the layout table into widgets.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "app/control_table.h"
#include "app/drawing_board.h"
#include "app/main_form.h"
#include "app/shape_box.h"

namespace quillar {

namespace {

QWidget* makeWidget(const ControlRow& row, QWidget* parent) {
    switch (row.kind) {
        case ControlKind::Button:
            return new QPushButton(row.text, parent);
        case ControlKind::Edit: {
            auto* edit = new QLineEdit(row.text, parent);
            edit->setCursorPosition(0);
            return edit;
        }
        case ControlKind::Label: {
            auto* label = new QLabel(row.text, parent);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(row.text.contains('\n'));
            return label;
        }
        case ControlKind::List:
            return new QListWidget(parent);
        case ControlKind::Combo:
            return new QComboBox(parent);
        case ControlKind::Check:
            return new QCheckBox(row.text, parent);
        case ControlKind::Radio:
            return new QRadioButton(row.text, parent);
        case ControlKind::Group:
            return new QGroupBox(row.text, parent);
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
            font.setFamilies({look.font->family, "WenQuanYi Micro Hei", font.family()});
        }
        font.setPixelSize(look.font->pixelSize);
        font.setWeight(look.font->weight >= 700 ? QFont::Bold : QFont::Normal);
        w->setFont(font);
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
            auto* timer = new QTimer(&form);
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
