// The one seam between handlers and the things that need a person: message boxes, file and
// folder dialogs, and modal windows. The real implementation shows Qt dialogs; tests script the
// answers and read back what would have been shown.
#pragma once

#include <QString>

class QDialog;
class QWidget;

namespace quillar {

// Set-up of a file dialog, kept with the form under the dialog control's name.
struct CommonDialog {
    QString title;        // empty: the toolkit's default
    QString filter;       // Qt filter text, e.g. "TXT文件 (*.txt)"
    QString defaultExt;   // without the dot
    QString initialName;  // suggested file name
    QString initialDir;   // empty: the toolkit's default
    QString fileName;     // the chosen path after the dialog was shown
};

enum class MessageIcon { None, Information, Warning, Error };

class UiSeam {
  public:
    virtual ~UiSeam() = default;
    virtual void message(QWidget* owner, const QString& title, const QString& text,
                         MessageIcon icon) = 0;
    // Open and save dialogs: true and dlg.fileName set when the user chose a file.
    virtual bool openFile(QWidget* owner, CommonDialog& dlg) = 0;
    virtual bool saveFile(QWidget* owner, CommonDialog& dlg) = 0;
    // Folder browser: the chosen folder, or an empty text when cancelled.
    virtual QString chooseFolder(QWidget* owner, const QString& title, const QString& start) = 0;
    // A yes/no question; true when the user answered yes. No is the default answer.
    virtual bool confirm(QWidget* owner, const QString& title, const QString& text) = 0;
    // Shows a window modally and returns when it is closed, with its result (QDialog::Accepted
    // or QDialog::Rejected).
    virtual int runModal(QDialog& window) = 0;
};

// The real dialogs.
class QtUi : public UiSeam {
  public:
    void message(QWidget* owner, const QString& title, const QString& text,
                 MessageIcon icon) override;
    bool openFile(QWidget* owner, CommonDialog& dlg) override;
    bool saveFile(QWidget* owner, CommonDialog& dlg) override;
    QString chooseFolder(QWidget* owner, const QString& title, const QString& start) override;
    bool confirm(QWidget* owner, const QString& title, const QString& text) override;
    int runModal(QDialog& window) override;
};

}  // namespace quillar
