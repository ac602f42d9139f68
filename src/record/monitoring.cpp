#include "record/monitoring.h"

#include <QCheckBox>
#include <QComboBox>

#include "audio/audio_engine.h"
#include "kit/app.h"
#include "kit/main_form.h"

namespace quillar {

void ToggleMonitoring(App& app) {
    MainForm& f = app.form;
    // The capture thread may be pushing into the old stream right now; the engine refuses calls on
    // a freed handle, so freeing first and publishing the new handle afterwards is safe.
    app.engine.freeStream(app.state.monitor_stream.load());
    if (!f.选择框1->isChecked()) {
        return;
    }
    // The format is taken now: changing rate or width later needs the box cleared and ticked.
    const auto rate = static_cast<std::uint32_t>(f.组合框2->currentData().toInt());
    const auto flags = static_cast<std::uint32_t>(f.组合框3->currentData().toInt());
    app.state.monitor_stream.store(app.engine.createPushStream(rate, 2, flags));
}

}  // namespace quillar
