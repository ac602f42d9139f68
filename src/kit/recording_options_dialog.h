// The dialog "录音选项": pre-roll and post-roll, mono or stereo, whether the input stays open
// between takes, and the interface language. It only shows and returns values; app/ opens it
// through the dialog seam and stores what it returns. GUI thread only.
#pragma once

#include <QDialog>

#include "kit/recording_options.h"

class QCheckBox;
class QComboBox;
class QSpinBox;

namespace quillar {

class RecordingOptionsDialog : public QDialog {
  public:
    explicit RecordingOptionsDialog(QWidget* parent = nullptr);

    // Shows `options`; a value out of range shows as the nearest one the dialog offers.
    void setOptions(const RecordingOptions& options);
    // What the dialog shows now.
    RecordingOptions options() const;

    // The fields, by name too (objectName), for tests.
    QSpinBox* preroll = nullptr;
    QSpinBox* postroll = nullptr;
    QComboBox* channels = nullptr;
    QCheckBox* keepInput = nullptr;
    QComboBox* language = nullptr;
};

}  // namespace quillar
