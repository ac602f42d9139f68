#include "record/monitoring.h"

#include "app/app.h"

namespace quillar {

void ToggleMonitoring(App&) {}

}  // namespace quillar
