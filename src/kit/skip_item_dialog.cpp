#include "kit/skip_item_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>
#include <iterator>

#include "kit/ui_texts.h"

namespace quillar {

namespace {

// The reasons met most often in the field; their sources are what the log keeps.
const char* const kReasons[] = {
    QT_TRANSLATE_NOOP("Quillar", "发音人不会说"),
    QT_TRANSLATE_NOOP("Quillar", "不适用"),
    QT_TRANSLATE_NOOP("Quillar", "以后再录"),
};
constexpr int kOtherRow = static_cast<int>(std::size(kReasons));

}  // namespace

SkipItemDialog::SkipItemDialog(const QString& item, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("跳过条目"));
    setWindowTitle(Texts::tr("跳过条目"));
    auto* title = new QLabel(Texts::tr("跳过“%1”的原因：").arg(item), this);
    reasons = new QListWidget(this);
    reasons->setObjectName(QStringLiteral("reasons"));
    int number = 0;
    for (const char* reason : kReasons) {
        reasons->addItem(QStringLiteral("%1  %2").arg(++number).arg(Texts::tr(reason)));
    }
    reasons->addItem(QStringLiteral("%1  %2").arg(++number).arg(Texts::tr("其他原因……")));
    reasons->setCurrentRow(0);
    // Short enough to take in at a glance: four rows, no scrolling.
    reasons->setFixedHeight(reasons->sizeHintForRow(0) * (kOtherRow + 1) +
                            2 * reasons->frameWidth() + 4);
    other = new QLineEdit(this);
    other->setObjectName(QStringLiteral("other"));
    other->setPlaceholderText(Texts::tr("其他原因，按回车确定"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(reasons);
    layout->addWidget(other);

    // Enter (or a double click) on a row; the arrows move between them as in any list.
    connect(reasons, &QListWidget::itemActivated,
            [this](QListWidgetItem* it) { choose(reasons->row(it)); });
    connect(other, &QLineEdit::returnPressed, [this] { accept(); });
    // Typing in the line means the typed words.
    connect(other, &QLineEdit::textEdited, [this] { reasons->setCurrentRow(kOtherRow); });
    reasons->installEventFilter(this);
    reasons->setFocus();
}

bool SkipItemDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == reasons && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // 1 to 4 choose at once, as the rows are numbered.
        if (key >= Qt::Key_1 && key <= Qt::Key_1 + kOtherRow) {
            reasons->setCurrentRow(key - Qt::Key_1);
            choose(key - Qt::Key_1);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void SkipItemDialog::choose(int row) {
    if (row == kOtherRow) {
        other->setFocus();
        return;
    }
    accept();
}

QString SkipItemDialog::reason() const {
    const int row = reasons->currentRow();
    if (row >= 0 && row < kOtherRow) {
        return QString::fromUtf8(kReasons[row]);
    }
    return row == kOtherRow ? other->text().trimmed() : QString();
}

void SkipItemDialog::accept() {
    if (!reason().isEmpty()) {
        QDialog::accept();
    }
}

}  // namespace quillar
