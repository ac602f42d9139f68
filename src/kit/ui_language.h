// The language of the interface: the "界面语言" recording option (`auto`, `zh`, `en`) and, for
// `auto`, the desktop's locale. Chinese stays the language of Chinese desktops and of machines
// with no language at all (C, POSIX, unset), so test machines see the texts as written. Called
// on the GUI thread before any widget is built.
#pragma once

#include <QString>
#include <functional>

class QCoreApplication;

namespace quillar {

enum class UiLanguage { Chinese, English };

// `environment(name)` is the value of an environment variable, empty when unset. An unknown
// setting counts as `auto`.
UiLanguage ChooseUiLanguage(const QString& setting,
                            const std::function<QString(const char*)>& environment);
// The same with the process's environment.
UiLanguage ChooseUiLanguage(const QString& setting);

// Installs the English translation on `app` for English; Chinese needs none. False when the
// built-in translation cannot be loaded (the program then shows its Chinese texts).
bool InstallUiLanguage(QCoreApplication& app, UiLanguage language);

// Installs Qt's own translation of its texts (Yes, No, Cancel, the file dialogs) into Chinese on
// `app` for Chinese, from the system's Qt translations (Debian's qt6-translations-l10n); English
// needs none, being Qt's own language. False when that translation cannot be loaded (Qt's
// dialogs then speak English).
bool InstallQtLanguage(QCoreApplication& app, UiLanguage language);

}  // namespace quillar
