// Binds every control event of the main window to its handler.
#pragma once

namespace quillar {

struct App;

void wireEvents(App& app);

}  // namespace quillar
