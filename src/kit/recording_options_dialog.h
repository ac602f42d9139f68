// The dialog "录音选项": pre-roll and post-roll, mono or stereo, whether the input stays open
// between takes, the interface language, how recordings are named, whether each take gets a
// TextGrid, hands-free recording, and the way to
// the exports. It only shows and returns values; app/ opens it through
// the dialog seam and stores what it returns. GUI thread only.
#pragma once

#include <QDialog>
#include <functional>

#include "kit/recording_options.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace quillar {

class RecordingOptionsDialog : public QDialog {
  public:
    explicit RecordingOptionsDialog(QWidget* parent = nullptr);

    // Shows `options`; a value out of range shows as the nearest one the dialog offers.
    void setOptions(const RecordingOptions& options);
    // What the dialog shows now.
    RecordingOptions options() const;
    // Asked on OK: why the options shown cannot be taken (a template names cannot be made from,
    // or two items of the list would share a file), or empty. The dialog stays open with the
    // reason under the template until it is mended or cancelled.
    void setCheck(std::function<QString(const RecordingOptions&)> check) {
        m_check = std::move(check);
    }
    void accept() override;
    // Called by the button "导出" (the folder's takes for other tools); without it the button
    // is hidden.
    void setExport(std::function<void()> exportFolder);

    // The fields, by name too (objectName), for tests.
    QSpinBox* preroll = nullptr;
    QSpinBox* postroll = nullptr;
    QComboBox* channels = nullptr;
    QCheckBox* keepInput = nullptr;
    QComboBox* language = nullptr;
    QComboBox* namePreset = nullptr;  // the described name, the survey's, the archive's, free text
    QLineEdit* nameTemplate = nullptr;
    QCheckBox* asciiNames = nullptr;
    QLabel* nameProblem = nullptr;
    QPushButton* exportButton = nullptr;
    QCheckBox* annotations = nullptr;
    QCheckBox* handsFree = nullptr;  // only with the input kept open
    QSpinBox* sensitivity = nullptr;
    QSpinBox* silence = nullptr;

  private:
    void presetChosen(int index);
    void followKeepInput();
    void templateEdited(const QString& text);

    std::function<QString(const RecordingOptions&)> m_check;
    std::function<void()> m_export;
};

}  // namespace quillar
