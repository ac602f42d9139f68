#include "kit/recording_options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
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

// The presets of the name template: a list's own default, the dialect survey's folders per
// speaker and list, and archive-safe names. The last entry is free text.
struct NamePreset {
    const char* caption;
    const char* text;
    bool ascii;
};
constexpr NamePreset kNamePresets[] = {
    {QT_TRANSLATE_NOOP("Quillar", "条目文字（表格：编号+条目）"), "", false},
    {QT_TRANSLATE_NOOP("Quillar", "调查项目：发音人/词表/编号条目"), "{speaker}/{list}/{id}{item}",
     false},
    {QT_TRANSLATE_NOOP("Quillar", "档案（仅ASCII）：发音人-编号"), "{speaker}-{id}", true},
};

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

    namePreset = new QComboBox(this);
    namePreset->setObjectName(QStringLiteral("namePreset"));
    for (const NamePreset& p : kNamePresets) {
        namePreset->addItem(Texts::tr(p.caption), QString::fromUtf8(p.text));
    }
    namePreset->addItem(Texts::tr("自定义"));
    nameTemplate = new QLineEdit(this);
    nameTemplate->setObjectName(QStringLiteral("nameTemplate"));
    nameTemplate->setPlaceholderText(Texts::tr("{item}，表格为 {id}{item}"));
    nameTemplate->setToolTip(
        Texts::tr("字段：{id} 编号、{id:4} 补零到4位、{item} 条目、{gloss} 释义、"
                  "{speaker} 发音人、{list} 词表文件名；“/”分子文件夹。"));
    asciiNames = new QCheckBox(Texts::tr("文件名仅用 A-Z a-z 0-9 - _（档案）"), this);
    asciiNames->setObjectName(QStringLiteral("asciiNames"));
    nameProblem = new QLabel(this);
    nameProblem->setObjectName(QStringLiteral("nameProblem"));
    nameProblem->setWordWrap(true);
    nameProblem->setStyleSheet(QStringLiteral("color: #c00000"));
    nameProblem->hide();
    annotations = new QCheckBox(Texts::tr("标注文件"), this);
    annotations->setObjectName(QStringLiteral("annotations"));
    annotations->setToolTip(
        Texts::tr("每段录音旁另存一个 Praat TextGrid 文件，标出语音所在的时段和条目。"));
    handsFree =
        new QCheckBox(Texts::tr("自动录音（F9）：听到发音开始录音，静音后保存并转到下一条"), this);
    handsFree->setObjectName(QStringLiteral("handsFree"));
    sensitivity = new QSpinBox(this);
    sensitivity->setObjectName(QStringLiteral("sensitivity"));
    sensitivity->setRange(kMinSensitivityDb, kMaxSensitivityDb);
    sensitivity->setSuffix(Texts::tr(" 分贝（高于环境噪声）"));
    silence = new QSpinBox(this);
    silence->setObjectName(QStringLiteral("silence"));
    silence->setRange(kMinSilenceMs, kMaxSilenceMs);
    silence->setSingleStep(100);
    silence->setSuffix(Texts::tr(" 毫秒"));
    connect(namePreset, &QComboBox::activated, this, &RecordingOptionsDialog::presetChosen);
    connect(nameTemplate, &QLineEdit::textEdited, this, &RecordingOptionsDialog::templateEdited);

    // Without the input kept open there is nothing before the key to keep.
    connect(keepInput, &QCheckBox::toggled, preroll, &QWidget::setEnabled);
    // Hands-free recording listens to the kept input.
    connect(keepInput, &QCheckBox::toggled, this, [this] { followKeepInput(); });

    auto* form = new QFormLayout;
    form->addRow(Texts::tr("预录（按键前）"), preroll);
    form->addRow(Texts::tr("延录（停止后）"), postroll);
    form->addRow(Texts::tr("声道"), channels);
    form->addRow(QString(), keepInput);
    form->addRow(Texts::tr("界面语言"), language);
    form->addRow(Texts::tr("文件命名"), namePreset);
    form->addRow(Texts::tr("文件名模板"), nameTemplate);
    form->addRow(QString(), asciiNames);
    form->addRow(QString(), nameProblem);
    form->addRow(QString(), annotations);
    form->addRow(QString(), handsFree);
    form->addRow(Texts::tr("自动录音灵敏度"), sensitivity);
    form->addRow(Texts::tr("自动录音静音"), silence);
    auto* note = new QLabel(Texts::tr("界面语言在下次启动时生效。"), this);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(Texts::tr("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(Texts::tr("取消"));
    exportButton = buttons->addButton(Texts::tr("导出…"), QDialogButtonBox::ActionRole);
    exportButton->setObjectName(QStringLiteral("export"));
    exportButton->hide();
    connect(exportButton, &QPushButton::clicked, this, [this] {
        if (m_export) {
            m_export();
        }
    });
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
    nameTemplate->setText(options.name_template);
    asciiNames->setChecked(options.ascii_names);
    annotations->setChecked(options.annotations);
    handsFree->setChecked(options.hands_free);
    sensitivity->setValue(options.sensitivity_db);
    silence->setValue(options.silence_ms);
    followKeepInput();
    templateEdited(options.name_template);
    nameProblem->hide();
}

void RecordingOptionsDialog::followKeepInput() {
    const bool kept = keepInput->isChecked();
    handsFree->setEnabled(kept);
    sensitivity->setEnabled(kept);
    silence->setEnabled(kept);
}

void RecordingOptionsDialog::setExport(std::function<void()> exportFolder) {
    m_export = std::move(exportFolder);
    exportButton->setVisible(static_cast<bool>(m_export));
}

void RecordingOptionsDialog::presetChosen(int index) {
    if (index < 0 || index >= static_cast<int>(std::size(kNamePresets))) {
        nameTemplate->setFocus();  // free text: the box is the user's
        return;
    }
    nameTemplate->setText(QString::fromUtf8(kNamePresets[index].text));
    asciiNames->setChecked(kNamePresets[index].ascii);
}

void RecordingOptionsDialog::templateEdited(const QString& text) {
    int index = static_cast<int>(std::size(kNamePresets));
    for (int i = 0; i < index; ++i) {
        if (text.trimmed() == QString::fromUtf8(kNamePresets[i].text)) {
            index = i;
        }
    }
    namePreset->setCurrentIndex(index);
}

void RecordingOptionsDialog::accept() {
    const QString problem = m_check ? m_check(options()) : QString();
    nameProblem->setText(problem);
    nameProblem->setVisible(!problem.isEmpty());
    if (problem.isEmpty()) {
        QDialog::accept();
    }
}

RecordingOptions RecordingOptionsDialog::options() const {
    RecordingOptions o;
    o.preroll_ms = preroll->value();
    o.postroll_ms = postroll->value();
    o.channels = channels->currentData().toInt();
    o.keep_input = keepInput->isChecked();
    o.language = language->currentData().toString();
    o.name_template = nameTemplate->text().trimmed();
    o.ascii_names = asciiNames->isChecked();
    o.annotations = annotations->isChecked();
    o.hands_free = handsFree->isChecked() && o.keep_input;
    o.sensitivity_db = sensitivity->value();
    o.silence_ms = silence->value();
    return o;
}

}  // namespace quillar
