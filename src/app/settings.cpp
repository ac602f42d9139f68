#include "app/settings.h"

#include "app/app.h"

namespace quillar {

QString SettingsFilePath() {
    return QString();
}
void ReadSettings(App&) {}
void ChooseSaveFolder(App&) {}
void ChooseItemFile(App&) {}
void SaveSettings(App&) {}

}  // namespace quillar
