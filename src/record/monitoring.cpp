#include "record/monitoring.h"

#include <QCheckBox>
#include <QComboBox>

#include "audio/audio_engine.h"
#include "kit/app.h"
#include "kit/main_form.h"

namespace quillar {

namespace {

// As many channels as the takes: the recording's own bytes are queued unchanged.
std::uint32_t channelsOf(const App& app) {
    return static_cast<std::uint32_t>(app.state.options.channels);
}

// The capture thread may be feeding the old stream right now; the engine keeps a freed stream
// until it is done with it, so freeing first and publishing the new one afterwards is safe.
void armStream(App& app, std::uint32_t rate, std::uint32_t flags) {
    app.engine.freeStream(app.state.monitor_stream.load());
    app.state.monitor_stream.store(app.engine.createPushStream(rate, channelsOf(app), flags));
    // Fed by the engine with each few milliseconds captured, not with the 100 ms blocks.
    app.engine.monitorCapture(app.state.monitor_stream.load());
}

}  // namespace

void ToggleMonitoring(App& app) {
    MainForm& f = app.form;
    if (!f.选择框1->isChecked()) {
        app.engine.freeStream(app.state.monitor_stream.load());
        return;
    }
    // The format is taken now; a recording in another format makes the stream again at its start.
    armStream(app, f.组合框2->currentData().toUInt(), f.组合框3->currentData().toUInt());
}

void MatchMonitoringToRecording(App& app, std::uint32_t rate, std::uint32_t flags) {
    if (!app.form.选择框1->isChecked() ||
        app.engine.hasFormat(app.state.monitor_stream.load(), rate, channelsOf(app), flags)) {
        return;
    }
    armStream(app, rate, flags);
}

}  // namespace quillar
