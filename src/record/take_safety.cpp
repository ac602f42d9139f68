#include "record/take_safety.h"

#include <QLabel>
#include <QPushButton>

#include "kit/app.h"
#include "kit/main_form.h"
#include "record/recording_control.h"
#include "record/take_journal.h"

namespace quillar {

namespace {

// A notice, not a message box: the take goes on and the keyboard stays with the item list.
void showUnprotected(App& app) {
    const std::shared_ptr<TakeJournal>& journal = app.state.take_journal;
    // A report from a take that has ended since must not mark the one that runs now.
    if (journal && !journal->isProtected()) {
        app.form.标签_录音保护->show();
    }
}

}  // namespace

void BeginTakeJournal(App& app, const TakeInfo& info) {
    EndTakeJournal(app);
    TakeJournal::Hooks hooks;
    hooks.unprotected = [&app] {
        QMetaObject::invokeMethod(
            &app.form, [&app] { showUnprotected(app); }, Qt::QueuedConnection);
    };
    hooks.memoryLow = [&app] {
        QMetaObject::invokeMethod(
            &app.form, [&app] { StopAtLowMemory(app); }, Qt::QueuedConnection);
    };
    app.state.take_journal =
        std::make_shared<TakeJournal>(app.state.record_buffer, JournalFolder(), info, hooks);
}

void FinishTakeJournal(App& app) {
    if (!app.state.take_journal) {
        return;
    }
    app.state.take_journal->finish();
    if (app.state.record_buffer.empty()) {
        EndTakeJournal(app);
    }
}

void EndTakeJournal(App& app) {
    app.form.标签_录音保护->hide();
    if (app.state.take_journal) {
        app.state.take_journal->remove();
        app.state.take_journal.reset();
    }
}

bool TakeOnlyInMemory(const App& app) {
    return app.state.take_journal != nullptr;
}

}  // namespace quillar
