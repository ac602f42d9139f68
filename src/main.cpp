// Quillar: records a word list item by item, one WAV file per item.
#include <QApplication>

#include "app/event_wiring.h"
#include "app/startup.h"
#include "audio/audio_engine.h"
#include "audio/sdl_backend.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/ui_seam.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    quillar::setUpApplicationLook();
    quillar::audio::AudioEngine engine(std::make_unique<quillar::audio::SdlBackend>());
    quillar::QtUi ui;
    quillar::MainForm form(engine);
    quillar::App app(engine, ui, form);
    quillar::wireEvents(app);
    form.show();
    quillar::OnMainWindowCreated(app);
    application.exec();
    // A session that ends without a close event (logout, quit from outside) still frees the
    // devices before the engine goes.
    form.runDestroyingHook();
    return 0;
}
