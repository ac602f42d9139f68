// Auditioning the recording in memory before (or without) saving it.
#pragma once

namespace quillar {

struct App;

// Click on 按钮2 (GUI thread); also the end of the audition stream.
void ToggleAudition(App& app);
// The audition stream's end notice, already brought to the GUI thread.
void OnAuditionEnd(App& app);
// A recording is starting: if an audition is on, put its display back exactly as its own stop
// does (caption, 时钟2, 按钮1, the saved text of 编辑框2). The caller frees the stream.
void StopAuditionIfRunning(App& app);

}  // namespace quillar
