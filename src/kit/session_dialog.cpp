#include "kit/session_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <cmath>

#include "kit/ui_texts.h"

namespace quillar {

namespace {

const char kGiven[] = "given";
const char kNotGiven[] = "not given";

QLineEdit* lineField(QWidget* parent, const char* name, const QString& hint = QString()) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->setPlaceholderText(hint);
    return field;
}

// A decimal number as a fieldworker types one from a GPS or a map: "31.23" or "31,23".
std::optional<double> parseDecimal(const QString& text) {
    QString t = text.trimmed();
    if (!t.contains(u'.')) {
        t.replace(u',', u'.');
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

QString decimalText(const std::optional<double>& value) {
    // The shortest text that reads back as the same number, so an untouched value stays exact.
    return value ? QString::number(*value, 'g', QLocale::FloatingPointShortest) : QString();
}

}  // namespace

QStringList splitLanguageCodes(const QString& text) {
    static const QRegularExpression separators(QStringLiteral("[\\s,，、;；]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

SessionDialog::SessionDialog(QWidget* parent) : QDialog(parent), m_day(QDate::currentDate()) {
    setObjectName(QStringLiteral("录音场次"));
    setWindowTitle(Texts::tr("录音场次"));

    auto* speakerBox = new QGroupBox(Texts::tr("发音人"), this);
    speakerCode =
        lineField(speakerBox, "speakerCode", Texts::tr("如 老男、S01（文件名中的 {speaker}）"));
    speakerName = lineField(speakerBox, "speakerName");
    speakerSex = new QComboBox(speakerBox);
    speakerSex->setObjectName(QStringLiteral("speakerSex"));
    speakerSex->addItem(QString(), QString());
    speakerSex->addItem(Texts::tr("女"), QStringLiteral("female"));
    speakerSex->addItem(Texts::tr("男"), QStringLiteral("male"));
    birthYear = lineField(speakerBox, "birthYear", Texts::tr("如 1950，可不填"));
    role = lineField(speakerBox, "role", Texts::tr("如 主要发音人"));
    languages = lineField(speakerBox, "languages", Texts::tr("ISO 639-3 代码，如 cmn, wuu"));
    auto* speakerForm = new QFormLayout(speakerBox);
    speakerForm->addRow(Texts::tr("代号"), speakerCode);
    speakerForm->addRow(Texts::tr("姓名"), speakerName);
    speakerForm->addRow(Texts::tr("性别"), speakerSex);
    speakerForm->addRow(Texts::tr("出生年份"), birthYear);
    speakerForm->addRow(Texts::tr("角色"), role);
    speakerForm->addRow(Texts::tr("语言"), languages);

    auto* siteBox = new QGroupBox(Texts::tr("地点"), this);
    siteCode = lineField(siteBox, "siteCode");
    place = lineField(siteBox, "place", Texts::tr("如 浙江省绍兴市柯桥区"));
    latitude = lineField(siteBox, "latitude", Texts::tr("-90 到 90，可不填"));
    longitude = lineField(siteBox, "longitude", Texts::tr("-180 到 180，可不填"));
    auto* siteForm = new QFormLayout(siteBox);
    siteForm->addRow(Texts::tr("地点代号"), siteCode);
    siteForm->addRow(Texts::tr("地名"), place);
    siteForm->addRow(Texts::tr("纬度"), latitude);
    siteForm->addRow(Texts::tr("经度"), longitude);

    auto* recordBox = new QGroupBox(Texts::tr("记录"), this);
    fieldworker = lineField(recordBox, "fieldworker");
    consent = new QComboBox(recordBox);
    consent->setObjectName(QStringLiteral("consent"));
    consent->setEditable(true);
    consent->setInsertPolicy(QComboBox::NoInsert);
    consent->addItem(Texts::tr("已同意"), QString::fromLatin1(kGiven));
    consent->addItem(Texts::tr("未同意"), QString::fromLatin1(kNotGiven));
    consent->lineEdit()->setPlaceholderText(Texts::tr("选择，或写下同意的情况"));
    notes = new QPlainTextEdit(recordBox);
    notes->setObjectName(QStringLiteral("notes"));
    notes->setTabChangesFocus(true);
    notes->setFixedHeight(notes->fontMetrics().lineSpacing() * 4 + 12);
    recordedBy = lineField(recordBox, "recordedBy");
    recordedBy->setReadOnly(true);
    recordedBy->setFocusPolicy(Qt::NoFocus);
    auto* recordForm = new QFormLayout(recordBox);
    recordForm->addRow(Texts::tr("调查人"), fieldworker);
    recordForm->addRow(Texts::tr("知情同意"), consent);
    recordForm->addRow(Texts::tr("备注"), notes);
    recordForm->addRow(Texts::tr("日期和设备（自动记录）"), recordedBy);

    message = new QLabel(this);
    message->setObjectName(QStringLiteral("message"));
    message->setWordWrap(true);
    QPalette warning = message->palette();
    warning.setColor(QPalette::WindowText, QColor(192, 0, 0));
    message->setPalette(warning);
    message->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(Texts::tr("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(Texts::tr("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(speakerBox);
    layout->addWidget(siteBox);
    layout->addWidget(recordBox);
    layout->addWidget(message);
    layout->addWidget(buttons);
    setMinimumWidth(440);
    setRecordedBy(m_day, QString());
    setSession(Session{});
}

void SessionDialog::setSession(const Session& session) {
    m_shown = session;
    speakerCode->setText(session.speaker.code);
    speakerName->setText(session.speaker.name);
    int sex = speakerSex->findData(session.speaker.sex);
    if (sex < 0) {
        // A value written by hand or by another program is kept as it is.
        speakerSex->addItem(session.speaker.sex, session.speaker.sex);
        sex = speakerSex->count() - 1;
    }
    speakerSex->setCurrentIndex(sex);
    birthYear->setText(session.speaker.birthYear ? QString::number(*session.speaker.birthYear)
                                                 : QString());
    role->setText(session.speaker.role);
    languages->setText(session.speaker.languages.join(QStringLiteral(", ")));
    siteCode->setText(session.site.code);
    place->setText(session.site.place);
    latitude->setText(decimalText(session.site.latitude));
    longitude->setText(decimalText(session.site.longitude));
    fieldworker->setText(session.fieldworker);
    const int agreed = session.consent.isEmpty() ? -1 : consent->findData(session.consent);
    consent->setCurrentIndex(agreed);
    if (agreed < 0) {
        consent->setEditText(session.consent);
    }
    notes->setPlainText(session.notes);
    message->hide();
}

Session SessionDialog::session() const {
    Session s = m_shown;
    s.speaker.code = speakerCode->text().trimmed();
    s.speaker.name = speakerName->text().trimmed();
    s.speaker.sex = speakerSex->currentData().toString();
    bool isYear = false;
    const int year = birthYear->text().trimmed().toInt(&isYear);
    s.speaker.birthYear = isYear ? std::optional<int>(year) : std::nullopt;
    s.speaker.role = role->text().trimmed();
    s.speaker.languages = splitLanguageCodes(languages->text());
    s.site.code = siteCode->text().trimmed();
    s.site.place = place->text().trimmed();
    s.site.latitude = parseDecimal(latitude->text());
    s.site.longitude = parseDecimal(longitude->text());
    s.fieldworker = fieldworker->text().trimmed();
    const QString agreed = consent->currentText().trimmed();
    s.consent = agreed;
    for (int i = 0; i < consent->count(); ++i) {
        if (agreed == consent->itemText(i)) {
            s.consent = consent->itemData(i).toString();
        }
    }
    s.notes = notes->toPlainText().trimmed();
    return s;
}

void SessionDialog::setRecordedBy(const QDate& day, const QString& device) {
    m_day = day;
    const QString deviceText = device.isEmpty() ? Texts::tr("（没有录音设备）") : device;
    recordedBy->setText(day.toString(Qt::ISODate) + QStringLiteral("  ·  ") + deviceText);
    recordedBy->setCursorPosition(0);
}

QString SessionDialog::problem() const {
    return check().why;
}

SessionDialog::Problem SessionDialog::check() const {
    static const QRegularExpression code(QStringLiteral("^[a-z]{3}$"));
    for (const QString& language : splitLanguageCodes(languages->text())) {
        if (!code.match(language).hasMatch()) {
            return {languages,
                    Texts::tr("语言代码要写成三个小写字母（ISO 639-3），用逗号隔开，如 cmn, wuu；"
                              "“%1”不是这样的代码。")
                        .arg(language)};
        }
    }
    const QString year = birthYear->text().trimmed();
    if (!year.isEmpty()) {
        bool isYear = false;
        const int y = year.toInt(&isYear);
        if (!isYear || y < kEarliestBirthYear || y > m_day.year()) {
            return {birthYear, Texts::tr("出生年份要在 %1 到 %2 之间，不知道可以不填。")
                                   .arg(kEarliestBirthYear)
                                   .arg(m_day.year())};
        }
    }
    const auto outside = [](const QLineEdit* field, double limit) {
        if (field->text().trimmed().isEmpty()) {
            return false;
        }
        const std::optional<double> value = parseDecimal(field->text());
        return !value || *value < -limit || *value > limit;
    };
    if (outside(latitude, 90.0)) {
        return {latitude,
                Texts::tr("纬度要是 -90 到 90 之间的数（南纬为负），如 31.23，不知道可以不填。")};
    }
    if (outside(longitude, 180.0)) {
        return {
            longitude,
            Texts::tr("经度要是 -180 到 180 之间的数（西经为负），如 121.47，不知道可以不填。")};
    }
    return {};
}

void SessionDialog::accept() {
    const Problem wrong = check();
    if (!wrong.field) {
        message->hide();
        QDialog::accept();
        return;
    }
    message->setText(wrong.why);
    message->show();
    wrong.field->setFocus(Qt::OtherFocusReason);
    wrong.field->selectAll();
}

}  // namespace quillar
