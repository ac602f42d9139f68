// The dialog "录音场次": who speaks, where, who records, the consent and free notes of the
// session, with the day and the recording device shown as what the takes record by themselves.
// It only shows and returns values, and refuses OK with a message inside it while a value is
// not one the session file can hold; app/ opens it through the dialog seam and stores what it
// returns. GUI thread only.
#pragma once

#include <QDate>
#include <QDialog>

#include "session/session.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quillar {

// The earliest birth year the dialog takes.
inline constexpr int kEarliestBirthYear = 1900;

class SessionDialog : public QDialog {
  public:
    explicit SessionDialog(QWidget* parent = nullptr);

    // Shows `session`. What the dialog has no field for (Session::original) comes back
    // unchanged from session().
    void setSession(const Session& session);
    // What the dialog shows now; valid as a session only when problem() is empty.
    Session session() const;
    // The day and the recording device the takes will carry, shown read-only; `day` is also the
    // latest birth year the dialog takes. Unset, today and no device.
    void setRecordedBy(const QDate& day, const QString& device);
    // Why the values cannot be kept, for the first field that is wrong; empty when they can.
    QString problem() const;

    // OK: closes only when problem() is empty; otherwise says why inside the dialog and puts
    // the keyboard in the field.
    void accept() override;

    // The fields, by name too (objectName), for tests.
    QLineEdit* speakerCode = nullptr;
    QLineEdit* speakerName = nullptr;
    QComboBox* speakerSex = nullptr;  // item data: the stored value ("female", "male", "")
    QLineEdit* birthYear = nullptr;
    QLineEdit* role = nullptr;
    QLineEdit* languages = nullptr;  // "cmn, wuu"
    QLineEdit* siteCode = nullptr;
    QLineEdit* place = nullptr;
    QLineEdit* latitude = nullptr;
    QLineEdit* longitude = nullptr;
    QLineEdit* fieldworker = nullptr;
    // Editable: "已同意" (given), "未同意" (not given), or the fieldworker's own words.
    QComboBox* consent = nullptr;
    QPlainTextEdit* notes = nullptr;
    QLineEdit* recordedBy = nullptr;  // read-only: the day and the device
    QLabel* message = nullptr;        // why OK did not close the dialog
    QPushButton* ok = nullptr;

  private:
    struct Problem {
        QLineEdit* field = nullptr;  // the first wrong field; null when every one is right
        QString why;
    };
    Problem check() const;

    Session m_shown;
    QDate m_day;
};

// The languages of a text such as "cmn, wuu" or "cmn wuu": the codes between commas and blanks,
// in order, none empty.
QStringList splitLanguageCodes(const QString& text);

}  // namespace quillar
