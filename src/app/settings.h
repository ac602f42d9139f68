// The settings file sys.ini beside the program: the auto-save folder and the item file, read at
// start-up and written on request. The file is GB18030 text in the INI layout of the Windows
// profile functions, and is edited the way they edit it: a key's line is replaced or added, every
// other line keeps its bytes, CR LF and LF files are both read. GUI thread only.
#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace quillar {

struct App;

inline constexpr char16_t kSettingsSection[] = u"录音文档设置";
inline constexpr char16_t kSaveFolderKey[] = u"自动保存路径";
inline constexpr char16_t kItemFileKey[] = u"录音文本源文件";

// sys.ini in the program's own folder (or in the folder set by SetSettingsFolder).
QString SettingsFilePath();
// Tests only: keep sys.ini in `folder` instead; an empty text restores the program's folder.
void SetSettingsFolder(const QString& folder);

// The value of `key` in `section` of the INI file at `path`; empty when the file, the section or
// the key is missing. Section and key names match without regard to case or surrounding blanks;
// the value loses its surrounding blanks and one pair of enclosing quotes.
QString ReadProfileString(const QString& path, const QString& section, const QString& key);
// Sets `values` (key, value) in `section` of the INI file at `path` in one write, creating the
// file, section or keys as needed. The file is replaced whole only when everything is written.
// False when it cannot be written.
bool WriteProfileStrings(const QString& path, const QString& section,
                         const std::vector<std::pair<QString, QString>>& values);

// Puts the two saved paths into their edit boxes (start-up).
void ReadSettings(App& app);
void ChooseSaveFolder(App& app);  // click on 按钮_设置保存路径
void ChooseItemFile(App& app);    // click on 按钮_选择录音文本
void SaveSettings(App& app);      // click on 按钮_保存当前配置

}  // namespace quillar
