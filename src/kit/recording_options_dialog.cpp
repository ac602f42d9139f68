#include "kit/recording_options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "kit/ui_texts.h"

namespace quillar {

namespace {

QSpinBox* marginBox(QWidget* parent, const char* name) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(0, kMaxMarginMs);
    box->setSingleStep(50);
    box->setSuffix(Texts::tr(" 毫秒"));
    return box;
}

}  // namespace

RecordingOptionsDialog::RecordingOptionsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("录音选项"));
    setWindowTitle(Texts::tr("录音选项"));

    preroll = marginBox(this, "preroll");
    postroll = marginBox(this, "postroll");
    channels = new QComboBox(this);
    channels->setObjectName(QStringLiteral("channels"));
    channels->addItem(Texts::tr("立体声（2）"), 2);
    channels->addItem(Texts::tr("单声道（1）"), 1);
    keepInput = new QCheckBox(Texts::tr("录音间保持输入打开（预录需要）"), this);
    keepInput->setObjectName(QStringLiteral("keepInput"));
    language = new QComboBox(this);
    language->setObjectName(QStringLiteral("language"));
    language->addItem(Texts::tr("自动（跟随系统）"), QStringLiteral("auto"));
    language->addItem(Texts::tr("中文（Chinese）"), QStringLiteral("zh"));
    language->addItem(QStringLiteral("English"), QStringLiteral("en"));

    // Without the input kept open there is nothing before the key to keep.
    connect(keepInput, &QCheckBox::toggled, preroll, &QWidget::setEnabled);

    auto* form = new QFormLayout;
    form->addRow(Texts::tr("预录（按键前）"), preroll);
    form->addRow(Texts::tr("延录（停止后）"), postroll);
    form->addRow(Texts::tr("声道"), channels);
    form->addRow(QString(), keepInput);
    form->addRow(Texts::tr("界面语言"), language);
    auto* note = new QLabel(Texts::tr("界面语言在下次启动时生效。"), this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Texts::tr("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(Texts::tr("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(note);
    layout->addWidget(buttons);
    setOptions(RecordingOptions{});
}

void RecordingOptionsDialog::setOptions(const RecordingOptions& options) {
    preroll->setValue(options.preroll_ms);  // the box keeps it in range
    postroll->setValue(options.postroll_ms);
    channels->setCurrentIndex(options.channels == 1 ? 1 : 0);
    keepInput->setChecked(options.keep_input);
    preroll->setEnabled(options.keep_input);
    language->setCurrentIndex(std::max(0, language->findData(options.language)));
}

RecordingOptions RecordingOptionsDialog::options() const {
    RecordingOptions o;
    o.preroll_ms = preroll->value();
    o.postroll_ms = postroll->value();
    o.channels = channels->currentData().toInt();
    o.keep_input = keepInput->isChecked();
    o.language = language->currentData().toString();
    return o;
}

}  // namespace quillar
