// The help window, opened modally from 按钮_帮助.
#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace quillar {

struct App;

// Client-area size: the window's 838 x 743 outer size less a thin frame and a caption bar.
inline constexpr int kHelpWindowWidth = 832;
inline constexpr int kHelpWindowHeight = 715;

// Made anew for every showing; holds one read-only text box.
class HelpWindow : public QDialog {
    Q_OBJECT
  public:
    explicit HelpWindow(QWidget* parent = nullptr);
    QPlainTextEdit* 编辑框1 = nullptr;
};

// The whole help text, lines separated by CR LF, ending in an empty line.
QString helpText();
// Click on 按钮_帮助: shows the help window modally.
void OpenHelpWindow(App& app);

}  // namespace quillar
