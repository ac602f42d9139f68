// Which language the interface takes: the recording option, else the desktop's locale, with
// Chinese for Chinese desktops and for machines with no language at all.
#include <gtest/gtest.h>

#include <QHash>

#include "kit/ui_language.h"

namespace quillar::test {
namespace {

struct Case {
    const char* setting;
    QHash<QString, QString> environment;
    UiLanguage expected;
};

TEST(UiLanguage, SettingThenLocaleDecide) {
    using enum UiLanguage;
    const Case cases[] = {
        // The option wins over any locale; an unknown value counts as auto.
        {"zh", {{"LANG", "en_US.UTF-8"}}, Chinese},
        {"en", {{"LANG", "zh_CN.UTF-8"}}, English},
        {" EN ", {}, English},
        {"fr", {{"LANG", "zh_CN.UTF-8"}}, Chinese},
        // No language at all: the texts as written.
        {"auto", {}, Chinese},
        {"auto", {{"LANG", "C"}}, Chinese},
        {"auto", {{"LANG", "C.UTF-8"}}, Chinese},
        {"auto", {{"LANG", "POSIX"}}, Chinese},
        {"", {{"LANG", "POSIX"}, {"LANGUAGE", "en"}}, Chinese},  // as the C library ignores it
        // Chinese desktops, any region or script.
        {"auto", {{"LANG", "zh_CN.UTF-8"}}, Chinese},
        {"auto", {{"LANG", "zh_TW.Big5"}}, Chinese},
        {"auto", {{"LANG", "zh"}}, Chinese},
        // Any other language.
        {"auto", {{"LANG", "en_US.UTF-8"}}, English},
        {"auto", {{"LANG", "de_DE@euro"}}, English},
        // The order the C library looks in: LC_ALL, LC_MESSAGES, LANG; LANGUAGE's first choice.
        {"auto", {{"LC_ALL", "en_GB.UTF-8"}, {"LANG", "zh_CN.UTF-8"}}, English},
        {"auto", {{"LC_ALL", "C"}, {"LANG", "en_US.UTF-8"}}, Chinese},
        {"auto", {{"LC_MESSAGES", "zh_CN.UTF-8"}, {"LANG", "en_US.UTF-8"}}, Chinese},
        {"auto", {{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "zh_CN:en"}}, Chinese},
        {"auto", {{"LANG", "zh_CN.UTF-8"}, {"LANGUAGE", "fr:zh"}}, English},
    };
    for (const Case& c : cases) {
        const auto env = [&](const char* name) { return c.environment.value(name); };
        EXPECT_EQ(ChooseUiLanguage(c.setting, env), c.expected)
            << "setting \"" << c.setting << "\", environment "
            << QStringList(c.environment.keys()).join(u',').toStdString()
            << " LANG=" << c.environment.value("LANG").toStdString();
    }
}

}  // namespace
}  // namespace quillar::test
