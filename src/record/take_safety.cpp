#include "record/take_safety.h"

#include <QLabel>

#include "kit/app.h"
#include "kit/main_form.h"
#include "record/recorder.h"

namespace quillar {

void EndTakeJournal(App& app) {
    app.form.标签_录音保护->hide();
    if (app.recorder) {
        app.recorder->takeSaved();
    }
}

bool TakeOnlyInMemory(const App& app) {
    return app.recorder && app.recorder->takeOnlyInMemory();
}

}  // namespace quillar
