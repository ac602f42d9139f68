// Quillar: records a word list item by item, one WAV file per item.
#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "app/event_wiring.h"
#include "app/settings.h"
#include "app/startup.h"
#include "audio/audio_engine.h"
#include "audio/sdl_backend.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/recording_options.h"
#include "kit/ui_language.h"
#include "kit/ui_seam.h"
#include "program_identity.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    quillar::setUpApplicationLook();
    // Before any widget is built: every text is translated as it is made.
    const quillar::UiLanguage language = quillar::ChooseUiLanguage(quillar::ReadProfileString(
        quillar::SettingsFilePath(), QString::fromUtf16(quillar::kOptionsSection),
        QString::fromUtf16(quillar::kLanguageKey)));
    if (!quillar::InstallUiLanguage(application, language)) {
        std::fputs("quillar: the English translation cannot be loaded; the texts stay Chinese\n",
                   stderr);
    }
    if (!quillar::InstallQtLanguage(application, language)) {
        std::fputs(
            "quillar: Qt's Chinese translation (qt6-translations-l10n) cannot be loaded; "
            "Qt's buttons and file dialogs stay English\n",
            stderr);
    }
    // The desktop maps the window to its menu entry and icon by this id (on X11 by the window
    // class, which Qt takes from the application name: StartupWMClass in the entry).
    const QString id = QString::fromLatin1(quillar::kApplicationId);
    QGuiApplication::setDesktopFileName(id);
    QApplication::setWindowIcon(QIcon::fromTheme(id));
    quillar::audio::AudioEngine engine(std::make_unique<quillar::audio::SdlBackend>());
    quillar::QtUi ui;
    quillar::MainForm form(engine);
    quillar::App app(engine, ui, form);
    // What a sys.ini without "[录音选项]" means: margins, and the input kept open.
    app.state.options = quillar::RecordingOptions();
    quillar::wireEvents(app);
    form.show();
    quillar::OnMainWindowCreated(app);
    application.exec();
    // A session that ends without a close event (logout, quit from outside) still frees the
    // devices before the engine goes.
    form.runDestroyingHook();
    return 0;
}
