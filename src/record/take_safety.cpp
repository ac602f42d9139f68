#include "record/take_safety.h"

#include <QLabel>

#include "kit/app.h"
#include "kit/main_form.h"
#include "record/recorder.h"
#include "record/take.h"

namespace quillar {

void EndTakeJournal(App& app) {
    app.form.标签_录音保护->hide();
    if (app.state.latest_take) {
        app.state.latest_take->dropJournal();
    }
}

bool TakeOnlyInMemory(const App& app) {
    return (app.recorder && app.recorder->takesUnderway() > 0) ||
           (app.state.latest_take && app.state.latest_take->journal() != nullptr);
}

}  // namespace quillar
