// The help window, opened modally from 按钮_帮助.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace quillar {

struct App;

class HelpWindow : public QDialog {
    Q_OBJECT
  public:
    explicit HelpWindow(QWidget* parent = nullptr);
    QPlainTextEdit* 编辑框1 = nullptr;
};

// The whole help text, lines separated by CR LF.
QString helpText();
// Click on 按钮_帮助: shows the help window modally.
void OpenHelpWindow(App& app);

}  // namespace quillar
