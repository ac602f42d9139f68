// A whole program for a test: simulated audio, scripted dialogs, the real form and handlers.
#pragma once

#include <memory>

#include <QThread>

#include "app/event_wiring.h"
#include "audio/audio_engine.h"
#include "audio/sim_backend.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "record/device_worker.h"
#include "record/pending_writer.h"
#include "record/recording_control.h"
#include "support/scripted_ui.h"

namespace quillar::test {

struct TestApp {
    explicit TestApp(
        std::unique_ptr<audio::SimBackend> backend = std::make_unique<audio::SimBackend>(),
        std::shared_ptr<DeviceWorker> worker = nullptr)
        : sim(*backend), engine(std::move(backend)), form(engine), app(engine, ui, form) {
        // Unless the test brings a worker of its own, device calls finish inside the handler
        // that makes them: the simulated server never stalls, and a test reads the outcome as
        // soon as its click or key returns.
        app.device_worker = worker ? std::move(worker) : std::make_shared<DeviceWorker>();
        // Pending takes likewise are written inside the call that asks for it.
        app.pending_writer = std::make_shared<PendingWriter>();
        wireEvents(app);
        // The window's recorder tick, run at once after every pumped block rather than on its
        // timer: the takes collect what came, and closed ones are saved, before the test looks.
        sim.setAfterPump([this] {
            if (app.recorder && QThread::currentThread() == form.thread()) {
                OnRecorderTick(app);
            }
        });
    }
    ~TestApp() { sim.setAfterPump({}); }
    audio::SimBackend& sim;
    audio::AudioEngine engine;
    ScriptedUi ui;
    MainForm form;
    App app;
};

}  // namespace quillar::test
