#include "kit/export_dialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "kit/ui_texts.h"

namespace quillar {

namespace {

QCheckBox* choice(QWidget* parent, const QString& text, const char* name) {
    auto* box = new QCheckBox(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QLineEdit* field(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMinimumWidth(320);
    return edit;
}

}  // namespace

ExportDialog::ExportDialog(const QString& folder, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("导出"));
    setWindowTitle(Texts::tr("导出"));

    auto* where = new QLabel(Texts::tr("文件夹：%1").arg(QDir::toNativeSeparators(folder)), this);
    where->setWordWrap(true);
    textgrids = choice(this, Texts::tr("为没有标注的录音写 TextGrid（Praat）"), "textgrids");
    session = choice(this, Texts::tr("连成一个场次录音，附 TextGrid 和 ELAN 文件"), "session");
    sessionName = field(this, "sessionName");
    convert = choice(this, Texts::tr("格式不同的录音转换成第一个录音的格式"), "convert");
    lift = choice(this, Texts::tr("FLEx 词库（LIFT），录音复制到其旁的 audio 文件夹"), "lift");
    liftPath = field(this, "liftPath");
    deposit =
        choice(this, Texts::tr("归档提交：复制录音（档案文件名）、元数据表和校验和"), "deposit");
    depositDir = field(this, "depositDir");
    collection = field(this, "collection");
    collection->setPlaceholderText(Texts::tr("可不填"));

    auto* form = new QFormLayout;
    form->addRow(where);
    form->addRow(textgrids);
    form->addRow(session);
    form->addRow(Texts::tr("场次名"), sessionName);
    form->addRow(QString(), convert);
    form->addRow(lift);
    form->addRow(Texts::tr("词库文件"), liftPath);
    form->addRow(deposit);
    form->addRow(Texts::tr("提交文件夹"), depositDir);
    form->addRow(Texts::tr("档案集代码"), collection);

    bar = new QProgressBar(this);
    bar->setObjectName(QStringLiteral("bar"));
    bar->setRange(0, 1);
    bar->setValue(0);
    report = new QPlainTextEdit(this);
    report->setObjectName(QStringLiteral("report"));
    report->setReadOnly(true);
    report->setMinimumHeight(120);

    startButton = new QPushButton(Texts::tr("开始导出"), this);
    startButton->setObjectName(QStringLiteral("start"));
    startButton->setDefault(true);
    closeButton = new QPushButton(Texts::tr("关闭"), this);
    closeButton->setObjectName(QStringLiteral("close"));
    connect(startButton, &QPushButton::clicked, this, &ExportDialog::start);
    connect(closeButton, &QPushButton::clicked, this, &ExportDialog::reject);
    for (QCheckBox* box : {textgrids, session, lift, deposit}) {
        connect(box, &QCheckBox::toggled, this, &ExportDialog::followChoices);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(startButton);
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(bar);
    layout->addWidget(report);
    layout->addLayout(buttons);
    setChoices(ExportChoices{});
}

void ExportDialog::setChoices(const ExportChoices& c) {
    textgrids->setChecked(c.textgrids);
    session->setChecked(c.session);
    sessionName->setText(c.sessionName);
    convert->setChecked(c.convert);
    lift->setChecked(c.lift);
    liftPath->setText(c.liftPath);
    deposit->setChecked(c.deposit);
    depositDir->setText(c.depositDir);
    collection->setText(c.collection);
    followChoices();
}

ExportChoices ExportDialog::choices() const {
    ExportChoices c;
    c.textgrids = textgrids->isChecked();
    c.session = session->isChecked();
    c.sessionName = sessionName->text().trimmed();
    c.convert = convert->isChecked();
    c.lift = lift->isChecked();
    c.liftPath = liftPath->text().trimmed();
    c.deposit = deposit->isChecked();
    c.depositDir = depositDir->text().trimmed();
    c.collection = collection->text().trimmed();
    return c;
}

void ExportDialog::followChoices() {
    const bool idle = !m_running;
    for (QCheckBox* box : {textgrids, session, lift, deposit}) {
        box->setEnabled(idle);
    }
    sessionName->setEnabled(idle && session->isChecked());
    convert->setEnabled(idle && session->isChecked());
    liftPath->setEnabled(idle && lift->isChecked());
    depositDir->setEnabled(idle && deposit->isChecked());
    collection->setEnabled(idle && deposit->isChecked());
    startButton->setEnabled(idle && choices().any());
    closeButton->setEnabled(idle);
}

void ExportDialog::setRunning(bool running) {
    m_running = running;
    followChoices();
}

void ExportDialog::start() {
    if (m_running || !m_start) {
        return;
    }
    report->clear();
    report->setStyleSheet(QString());
    bar->setRange(0, 0);  // busy until the first count comes
    setRunning(true);
    m_start(choices());
}

void ExportDialog::progress(int done, int total) {
    bar->setRange(0, std::max(total, 1));
    bar->setValue(std::min(done, std::max(total, 1)));
}

void ExportDialog::finished(bool ok, const QString& text) {
    bar->setRange(0, 1);
    bar->setValue(ok ? 1 : 0);
    report->setPlainText(text);
    report->setStyleSheet(ok ? QString() : QStringLiteral("color: #c00000"));
    setRunning(false);
}

void ExportDialog::reject() {
    if (!m_running) {
        QDialog::reject();
    }
}

}  // namespace quillar
