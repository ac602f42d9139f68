#include "playback/waveform_view.h"

#include "app/app.h"

namespace quillar {

void ShowWaveform(App&, const QString&) {}

}  // namespace quillar
