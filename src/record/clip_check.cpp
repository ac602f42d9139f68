#include "record/clip_check.h"

#include <QLabel>
#include <QTimer>
#include <chrono>

#include "kit/app.h"
#include "kit/main_form.h"
#include "record/recorder.h"

namespace quillar {

namespace {

// The status tick stops with the take, so a timer of the warning's own brings it down.
void armWarningTimer(App& app, int ms) {
    QTimer::singleShot(ms, app.form.标签_削波警告, [&app] {
        if (const int left = UpdateClipWarning(app, SteadyMs()); left > 0) {
            armWarningTimer(app, left);
        }
    });
}

}  // namespace

void CheckTakeClipping(App& app, std::int64_t nowMs) {
    app.recorder->checkTake(nowMs);
    UpdateClipWarning(app, nowMs);
}

void ShowClipWarning(App& app) {
    QLabel* warning = app.form.标签_削波警告;
    if (warning->isHidden()) {
        warning->show();
        warning->raise();
        armWarningTimer(app, kClipWarningHoldMs);
    }
}

int UpdateClipWarning(App& app, std::int64_t nowMs) {
    QLabel* warning = app.form.标签_削波警告;
    if (warning->isHidden()) {
        return 0;
    }
    const std::int64_t seen = app.recorder->check().lastClipMs();
    if (seen < 0 || nowMs - seen >= kClipWarningHoldMs) {
        warning->hide();
        return 0;
    }
    return static_cast<int>(kClipWarningHoldMs - (nowMs - seen));
}

std::int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace quillar
