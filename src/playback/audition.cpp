#include "playback/audition.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <mutex>

#include "kit/app.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "kit/queued_calls.h"
#include "kit/ui_texts.h"

namespace quillar {

namespace {

constexpr int kAuditionTickMs = 30;
const LaterText kIdleCaption{QT_TRANSLATE_NOOP("Quillar", "试听录音")};
const LaterText kOnCaption{QT_TRANSLATE_NOOP("Quillar", "停止试听")};
const char kRelayName[] = "audition end relay";

// Carries end notices from the engine's thread to the window. The notice holds the shared
// target; when the window goes, the relay object clears it under the lock, so a late notice
// posts nothing to a destroyed object.
struct RelayTarget {
    std::mutex mutex;
    QueuedCalls* receiver = nullptr;  // guarded by mutex
};

class AuditionRelay : public QueuedCalls {
  public:
    explicit AuditionRelay(QObject* parent)
        : QueuedCalls(parent), target(std::make_shared<RelayTarget>()) {
        setObjectName(kRelayName);
        target->receiver = this;
    }
    ~AuditionRelay() override {
        std::lock_guard lock(target->mutex);
        target->receiver = nullptr;
    }
    std::shared_ptr<RelayTarget> target;
};

AuditionRelay& relayOf(MainForm& form) {
    auto* found = dynamic_cast<AuditionRelay*>(
        form.findChild<QObject*>(kRelayName, Qt::FindDirectChildrenOnly));
    return found ? *found : *new AuditionRelay(&form);
}

// Everything the stop does to the window (the stream is freed by the callers).
void showStopped(App& app) {
    MainForm& f = app.form;
    app.state.auditioning = false;
    f.按钮2->setText(kIdleCaption);
    setInterval(f.时钟2, 0);
    f.按钮1->setEnabled(true);
    app.state.signal_active = 0;
    f.画板2->update();
    f.编辑框1->setText(Texts::tr("停止中"));
    f.编辑框2->setText(f.编辑框2_saved_text);
}

}  // namespace

void ToggleAudition(App& app) {
    MainForm& f = app.form;
    if (app.state.auditioning) {
        showStopped(app);
        app.engine.freeStream(app.state.audition_stream);  // the handle keeps its (stale) value
        return;
    }
    app.state.auditioning = true;
    f.按钮2->setText(kOnCaption);
    setInterval(f.时钟2, kAuditionTickMs);
    f.按钮1->setEnabled(false);
    app.state.signal_active = 1;
    f.画板2->update();

    // Played in place: record_buffer is neither changed nor dropped while the stream exists
    // (saving only reads it; StartRecording frees the stream before clearing it).
    const RecordBuffer& buffer = app.state.record_buffer;
    const audio::Handle stream = app.engine.createMemoryStream(buffer.data(), buffer.size());
    app.state.audition_stream = stream;
    std::shared_ptr<RelayTarget> target = relayOf(f).target;
    App* appPtr = &app;
    app.engine.setEndNotice(stream, [target, appPtr](audio::Handle ended) {
        // Engine thread: touch nothing of the window here.
        std::lock_guard lock(target->mutex);
        if (target->receiver) {
            target->receiver->post([appPtr, ended] { OnAuditionEnd(*appPtr, ended); });
        }
    });
    app.engine.play(stream, true);
    f.编辑框2_saved_text = f.编辑框2->text();
    f.编辑框1->setText(Texts::tr("试听中"));
}

void OnAuditionEnd(App& app, audio::Handle stream) {
    const bool current = app.state.auditioning && app.state.audition_stream == stream &&
                         app.engine.state(stream) != 1;
    if (current) {
        ToggleAudition(app);
    }
}

void StopAuditionIfRunning(App& app) {
    if (app.state.auditioning) {
        showStopped(app);
    }
}

}  // namespace quillar
