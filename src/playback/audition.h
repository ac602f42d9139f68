// Auditioning the recording in memory before (or without) saving it.
#pragma once

namespace quillar {

struct App;

// Click on 按钮2 (GUI thread); also the end of the audition stream.
void ToggleAudition(App& app);
// The audition stream's end notice, already brought to the GUI thread.
void OnAuditionEnd(App& app);

}  // namespace quillar
