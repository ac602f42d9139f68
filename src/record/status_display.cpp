#include "record/status_display.h"

#include "app/app.h"

namespace quillar {

void OnStatusTick(App&) {}
void OnBlinkTick(App&) {}
void OnAuditionTick(App&) {}
float PositionSeconds(const audio::AudioEngine&, audio::Handle) {
    return -1.0f;
}
float LengthSeconds(const audio::AudioEngine&, audio::Handle) {
    return -1.0f;
}

}  // namespace quillar
