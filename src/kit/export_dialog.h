// The dialog "导出": what to make of the current folder for the tools of analysis and the
// archive (TextGrids for the takes without one, the session joined for Praat and ELAN, a LIFT
// lexicon, a deposit), with a progress bar and what came of it. It only shows choices and
// progress; app/ runs the exports off the window thread and reports here. GUI thread only.
#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace quillar {

struct ExportChoices {
    bool textgrids = true;
    bool session = false;
    QString sessionName;
    bool convert = false;
    bool lift = false;
    QString liftPath;
    bool deposit = false;
    QString depositDir;
    QString collection;

    bool any() const { return textgrids || session || lift || deposit; }
};

class ExportDialog : public QDialog {
  public:
    explicit ExportDialog(const QString& folder, QWidget* parent = nullptr);

    void setChoices(const ExportChoices& choices);
    ExportChoices choices() const;
    // Called by 开始导出 with what is chosen; the dialog shows itself running until finished().
    void setStart(std::function<void(const ExportChoices&)> start) { m_start = std::move(start); }
    void progress(int done, int total);
    // The exports ended: `report` under the bar, in red when `ok` is false.
    void finished(bool ok, const QString& report);
    bool running() const { return m_running; }

    // While the exports run the dialog stays: closing it would hide work still writing files.
    void reject() override;

    // The fields, by name too (objectName), for tests.
    QCheckBox* textgrids = nullptr;
    QCheckBox* session = nullptr;
    QLineEdit* sessionName = nullptr;
    QCheckBox* convert = nullptr;
    QCheckBox* lift = nullptr;
    QLineEdit* liftPath = nullptr;
    QCheckBox* deposit = nullptr;
    QLineEdit* depositDir = nullptr;
    QLineEdit* collection = nullptr;
    QProgressBar* bar = nullptr;
    QPlainTextEdit* report = nullptr;
    QPushButton* startButton = nullptr;
    QPushButton* closeButton = nullptr;

  private:
    void start();
    void setRunning(bool running);
    void followChoices();

    std::function<void(const ExportChoices&)> m_start;
    bool m_running = false;
};

}  // namespace quillar
