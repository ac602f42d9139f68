// The settings file sys.ini beside the program: the auto-save folder and the item file.
#pragma once

#include <QString>

namespace quillar {

struct App;

// sys.ini in the program's own folder.
QString SettingsFilePath();
// Puts the two saved paths into their edit boxes (start-up).
void ReadSettings(App& app);
void ChooseSaveFolder(App& app);  // click on 按钮_设置保存路径
void ChooseItemFile(App& app);    // click on 按钮_选择录音文本
void SaveSettings(App& app);      // click on 按钮_保存当前配置

}  // namespace quillar
