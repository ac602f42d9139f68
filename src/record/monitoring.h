// Live monitoring: the input played on the output while it is recorded.
#pragma once

namespace quillar {

struct App;

// Click on 选择框1 (GUI thread).
void ToggleMonitoring(App& app);

}  // namespace quillar
