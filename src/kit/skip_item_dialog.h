// The small chooser F8 opens to pass over an item: a list of the usual reasons and a line for
// the fieldworker's own words, answered with the keys alone (the arrows or 1 to 4, Enter; Esc
// cancels). It only shows and returns the reason; app/ opens it through the dialog seam and
// writes the skip. GUI thread only.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QListWidget;

namespace quillar {

class SkipItemDialog : public QDialog {
  public:
    // `item`: the item's text, shown in the title line.
    explicit SkipItemDialog(const QString& item, QWidget* parent = nullptr);

    // The reason chosen, as the take log keeps it: a listed reason's Chinese source whatever
    // the interface's language (the log is never translated), or the words typed, trimmed.
    // Empty while none is chosen.
    QString reason() const;

    // Closes only with a reason.
    void accept() override;

    // By name too (objectName), for tests.
    QListWidget* reasons = nullptr;  // the listed reasons, then "其他原因" (the typed words)
    QLineEdit* other = nullptr;      // the typed words

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Row `row` chosen: a listed reason closes the dialog, the last row hands the keys to the
    // line for the typed words.
    void choose(int row);
};

}  // namespace quillar
