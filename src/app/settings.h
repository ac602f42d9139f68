// The settings file sys.ini beside the program (or, for an installed program, in the user's
// configuration folder): the auto-save folder and the item file, read at start-up and written on
// request. The file is GB18030 text in the INI layout of the Windows
// profile functions, and is edited the way they edit it: a key's line is replaced or added, every
// other line keeps its bytes, CR LF and LF files are both read. GUI thread only.
#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace quillar {

struct App;

inline constexpr char16_t kSettingsSection[] = u"录音文档设置";
inline constexpr char16_t kSaveFolderKey[] = u"自动保存路径";
inline constexpr char16_t kItemFileKey[] = u"录音文本源文件";
// The section of the selected item per item file: the file's absolute path (with %, =, [, ; and
// blanks at its ends %-escaped, matched with regard to case) = the row selected when the file was
// last left, by closing or by choosing another file.
inline constexpr char16_t kPositionSection[] = u"条目位置";

// sys.ini in the program's own folder when that folder already holds one, or when files can be
// made there and it is not the bin folder of an installed tree; otherwise quillar/sys.ini in the
// user's configuration folder ($XDG_CONFIG_HOME, by default ~/.config).
QString SettingsFilePath();
// Tests only: take `folder` as the program's folder; `writable`, when given, stands for the test
// of whether files can be made there. An empty folder restores the program's own.
void SetSettingsFolder(const QString& folder, std::optional<bool> writable = std::nullopt);

// The value of `key` in `section` of the INI file at `path`; empty when the file, the section or
// the key is missing. Section and key names match without regard to case or surrounding blanks;
// the value loses its surrounding blanks and one pair of enclosing quotes.
QString ReadProfileString(const QString& path, const QString& section, const QString& key);
// Sets `values` (key, value) in `section` of the INI file at `path` in one write, creating the
// file, section or keys as needed. The file is replaced whole only when everything is written.
// False when it cannot be written.
bool WriteProfileStrings(const QString& path, const QString& section,
                         const std::vector<std::pair<QString, QString>>& values);

// The row last selected in `itemFile`, kept in the INI file at `iniPath`; -1 when none is kept.
// For a table the id of that row is kept with it (`*id`, when given), so that a table edited
// since (rows added or moved) opens at the same item: "12 0013".
int ReadItemPosition(const QString& iniPath, const QString& itemFile, QString* id = nullptr);
bool WriteItemPosition(const QString& iniPath, const QString& itemFile, int row,
                       const QString& id = QString());
// Keeps the selected row for the item file of 编辑框_录音文本源路径 in sys.ini, when it moved.
void RememberItemPosition(App& app);

// Puts the two saved paths into their edit boxes (start-up).
void ReadSettings(App& app);
void ChooseSaveFolder(App& app);  // click on 按钮_设置保存路径
// Click on 按钮_选择录音文本: keeps the position in the file left, loads the chosen one at its
// kept position (item 0 for a file not used before).
void ChooseItemFile(App& app);
void SaveSettings(App& app);  // click on 按钮_保存当前配置

}  // namespace quillar
