// The window's combo box: a QComboBox that can bring its list up to date just before it opens.
// GUI thread only.
#pragma once

#include <QComboBox>
#include <functional>

namespace quillar {

class ComboBox : public QComboBox {
  public:
    using QComboBox::QComboBox;

    // Runs before every popup, however it was opened (click, F4, Alt+Down, Space).
    std::function<void()> beforePopup;

    void showPopup() override {
        if (beforePopup) {
            beforePopup();
        }
        QComboBox::showPopup();
    }
};

}  // namespace quillar
