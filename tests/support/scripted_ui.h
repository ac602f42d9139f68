// A dialog seam that answers from a script and remembers what it would have shown.
#pragma once

#include <QDialog>
#include <QStringList>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "kit/ui_seam.h"

namespace quillar::test {

class ScriptedUi : public UiSeam {
  public:
    struct Message {
        QString title;
        QString text;
        MessageIcon icon;
    };

    std::vector<Message> messages;
    QStringList modalTitles;
    // Answers, taken front first; an empty queue means "cancelled".
    std::deque<QString> openAnswers;
    std::deque<QString> saveAnswers;
    std::deque<QString> folderAnswers;
    std::vector<CommonDialog> dialogsShown;
    QStringList folderTitles;
    // Yes/no answers, front first; an empty queue answers no.
    std::deque<bool> confirmAnswers;
    std::vector<Message> questions;

    void message(QWidget*, const QString& title, const QString& text, MessageIcon icon) override {
        messages.push_back({title, text, icon});
    }
    bool openFile(QWidget*, CommonDialog& dlg) override { return answer(openAnswers, dlg); }
    bool saveFile(QWidget*, CommonDialog& dlg) override { return answer(saveAnswers, dlg); }
    QString chooseFolder(QWidget*, const QString& title, const QString&) override {
        folderTitles << title;
        if (folderAnswers.empty()) {
            return QString();
        }
        QString a = folderAnswers.front();
        folderAnswers.pop_front();
        return a;
    }
    bool confirm(QWidget*, const QString& title, const QString& text) override {
        questions.push_back({title, text, MessageIcon::Warning});
        if (confirmAnswers.empty()) {
            return false;
        }
        const bool yes = confirmAnswers.front();
        confirmAnswers.pop_front();
        return yes;
    }
    // Fills in a modal window as a user would and says how it was closed; unset, every modal
    // window is closed with its close box (rejected).
    std::function<int(QDialog&)> modalAnswer;
    int runModal(QDialog& window) override {
        modalTitles << window.windowTitle();
        return modalAnswer ? modalAnswer(window) : int{QDialog::Rejected};
    }

  private:
    bool answer(std::deque<QString>& answers, CommonDialog& dlg) {
        dialogsShown.push_back(dlg);
        if (answers.empty()) {
            return false;
        }
        dlg.fileName = answers.front();
        answers.pop_front();
        return !dlg.fileName.isEmpty();
    }
};

}  // namespace quillar::test
