#include "app/startup.h"

#include "app/app.h"

namespace quillar {

void OnMainWindowCreated(App&) {}
void OnMainWindowDestroyed(App&) {}

}  // namespace quillar
