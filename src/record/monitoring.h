// Live monitoring: the input played on the output while it is recorded.
#pragma once

#include <cstdint>

namespace quillar {

struct App;

// Click on 选择框1 (GUI thread).
void ToggleMonitoring(App& app);

// Recording start, before capture starts (GUI thread): with 选择框1 ticked and the monitoring
// stream in a format other than the recording's (rate in Hz, sample flags of 组合框3, the channels
// of app.state.options), the stream is made again in the recording's format, so that no block is
// ever played as another format.
// Nothing changes while the box is cleared, or when the formats already agree.
void MatchMonitoringToRecording(App& app, std::uint32_t rate, std::uint32_t flags);

}  // namespace quillar
