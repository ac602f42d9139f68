#include "kit/ui_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace quillar {

namespace {

// "zh_CN.UTF-8", "en_US", "de:en" -> "zh", "en", "de"; "C.UTF-8" -> "C".
QString languageOf(const QString& locale) {
    const QString first = locale.section(u':', 0, 0);
    qsizetype end = 0;
    while (end < first.size() && first[end] != u'_' && first[end] != u'.' && first[end] != u'@') {
        ++end;
    }
    return first.left(end);
}

bool namesNoLanguage(const QString& language) {
    return language.isEmpty() || language == u"C" || language == u"POSIX";
}

}  // namespace

UiLanguage ChooseUiLanguage(const QString& setting,
                            const std::function<QString(const char*)>& environment) {
    const QString chosen = setting.trimmed().toLower();
    if (chosen == u"zh") {
        return UiLanguage::Chinese;
    }
    if (chosen == u"en") {
        return UiLanguage::English;
    }
    // The locale of messages, as the C library finds it: the first of these that is set.
    QString locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = environment(name);
        if (!locale.isEmpty()) {
            break;
        }
    }
    // As in the C library, LANGUAGE's list of preferences counts only under a real locale.
    if (namesNoLanguage(languageOf(locale))) {
        return UiLanguage::Chinese;
    }
    const QString preferred = languageOf(environment("LANGUAGE"));
    const QString language = preferred.isEmpty() ? languageOf(locale) : preferred;
    if (namesNoLanguage(language) || language.compare(u"zh", Qt::CaseInsensitive) == 0) {
        return UiLanguage::Chinese;
    }
    return UiLanguage::English;
}

UiLanguage ChooseUiLanguage(const QString& setting) {
    return ChooseUiLanguage(setting, [](const char* name) { return qEnvironmentVariable(name); });
}

bool InstallUiLanguage(QCoreApplication& app, UiLanguage language) {
    if (language == UiLanguage::Chinese) {
        return true;
    }
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral(":/i18n/quillar_en.qm"))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

bool InstallQtLanguage(QCoreApplication& app, UiLanguage language) {
    if (language == UiLanguage::English) {
        return true;
    }
    // The program's texts are Simplified Chinese, whatever the desktop's region.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace quillar
