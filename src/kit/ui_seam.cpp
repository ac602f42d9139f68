#include "kit/ui_seam.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

namespace quillar {

void QtUi::message(QWidget* owner, const QString& title, const QString& text, MessageIcon icon) {
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
        case MessageIcon::Information:
            qicon = QMessageBox::Information;
            break;
        case MessageIcon::Warning:
            qicon = QMessageBox::Warning;
            break;
        case MessageIcon::Error:
            qicon = QMessageBox::Critical;
            break;
        case MessageIcon::None:
            break;
    }
    QMessageBox box(qicon, title, text, QMessageBox::Ok, owner);
    box.exec();
}

bool QtUi::openFile(QWidget* owner, CommonDialog& dlg) {
    QFileDialog dialog(owner, dlg.title, dlg.initialDir, dlg.filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(dlg.defaultExt);
    if (!dlg.initialName.isEmpty()) {
        dialog.selectFile(dlg.initialName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    dlg.fileName = dialog.selectedFiles().first();
    return true;
}

bool QtUi::saveFile(QWidget* owner, CommonDialog& dlg) {
    QFileDialog dialog(owner, dlg.title, dlg.initialDir, dlg.filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(dlg.defaultExt);
    dialog.selectFile(dlg.initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return false;
    }
    dlg.fileName = dialog.selectedFiles().first();
    return true;
}

QString QtUi::chooseFolder(QWidget* owner, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(owner, title, start);
}

bool QtUi::confirm(QWidget* owner, const QString& title, const QString& text) {
    return QMessageBox::question(owner, title, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

int QtUi::runModal(QDialog& window) {
    return window.exec();
}

}  // namespace quillar
