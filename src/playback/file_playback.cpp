#include "playback/file_playback.h"

#include "app/app.h"

namespace quillar {

void PlayCurrentRecording(App&) {}

}  // namespace quillar
