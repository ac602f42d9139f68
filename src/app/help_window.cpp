#include "app/help_window.h"

#include <QPlainTextEdit>

#include "app/app.h"
#include "app/main_form.h"
#include "app/ui_seam.h"

namespace quillar {

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    setWindowTitle("软件操作帮助");
    编辑框1 = new QPlainTextEdit(this);
    编辑框1->setObjectName("编辑框1");
    编辑框1->setGeometry(8, 8, 808, 696);
    编辑框1->setPlainText(helpText());
}

QString helpText() {
    return QString();
}

void OpenHelpWindow(App& app) {
    HelpWindow window(&app.form);
    app.ui.runModal(window);
}

}  // namespace quillar
