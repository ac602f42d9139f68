// Bringing the program up and taking it down.
#pragma once

namespace quillar {

struct App;

void OnMainWindowCreated(App& app);
void OnMainWindowDestroyed(App& app);

}  // namespace quillar
