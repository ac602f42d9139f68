#include "playback/audition.h"

#include "app/app.h"

namespace quillar {

void ToggleAudition(App&) {}
void OnAuditionEnd(App&) {}
void StopAuditionIfRunning(App&) {}

}  // namespace quillar
