#include "app/recording_options_file.h"

#include <utility>
#include <vector>

#include "app/settings.h"

namespace quillar {

namespace {

// The value when it is a whole number within [low, high], else `fallback`.
int readInt(const QString& path, const char16_t* key, int low, int high, int fallback) {
    const QString text =
        ReadProfileString(path, QString::fromUtf16(kOptionsSection), QString::fromUtf16(key));
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= low && value <= high ? value : fallback;
}

}  // namespace

RecordingOptions ReadRecordingOptions(const QString& iniPath, const RecordingOptions& defaults) {
    RecordingOptions o = defaults;
    o.preroll_ms = readInt(iniPath, kPrerollKey, 0, kMaxMarginMs, defaults.preroll_ms);
    o.postroll_ms = readInt(iniPath, kPostrollKey, 0, kMaxMarginMs, defaults.postroll_ms);
    const int channels = readInt(iniPath, kChannelsKey, 1, 2, defaults.channels);
    o.channels = channels;
    o.keep_input = readInt(iniPath, kKeepInputKey, 0, 1, defaults.keep_input ? 1 : 0) == 1;
    const QString language = ReadProfileString(iniPath, QString::fromUtf16(kOptionsSection),
                                               QString::fromUtf16(kLanguageKey))
                                 .toLower();
    if (language == u"zh" || language == u"en" || language == u"auto") {
        o.language = language;
    }
    // Read as it stands: a template the names cannot be made from is refused where it is used,
    // with the items named, rather than silently replaced here.
    o.name_template = ReadProfileString(iniPath, QString::fromUtf16(kOptionsSection),
                                        QString::fromUtf16(kNameTemplateKey))
                          .trimmed();
    o.ascii_names = readInt(iniPath, kAsciiNamesKey, 0, 1, defaults.ascii_names ? 1 : 0) == 1;
    o.annotations = readInt(iniPath, kAnnotationsKey, 0, 1, defaults.annotations ? 1 : 0) == 1;
    o.hands_free = readInt(iniPath, kHandsFreeKey, 0, 1, defaults.hands_free ? 1 : 0) == 1;
    o.sensitivity_db = readInt(iniPath, kHandsFreeSensitivityKey, kMinSensitivityDb,
                               kMaxSensitivityDb, defaults.sensitivity_db);
    o.silence_ms =
        readInt(iniPath, kHandsFreeSilenceKey, kMinSilenceMs, kMaxSilenceMs, defaults.silence_ms);
    return o;
}

bool WriteRecordingOptions(const QString& iniPath, const RecordingOptions& options) {
    const std::vector<std::pair<QString, QString>> values = {
        {QString::fromUtf16(kPrerollKey), QString::number(options.preroll_ms)},
        {QString::fromUtf16(kPostrollKey), QString::number(options.postroll_ms)},
        {QString::fromUtf16(kChannelsKey), QString::number(options.channels)},
        {QString::fromUtf16(kKeepInputKey),
         options.keep_input ? QStringLiteral("1") : QStringLiteral("0")},
        {QString::fromUtf16(kLanguageKey), options.language},
        {QString::fromUtf16(kNameTemplateKey), options.name_template},
        {QString::fromUtf16(kAsciiNamesKey),
         options.ascii_names ? QStringLiteral("1") : QStringLiteral("0")},
        {QString::fromUtf16(kAnnotationsKey),
         options.annotations ? QStringLiteral("1") : QStringLiteral("0")},
        {QString::fromUtf16(kHandsFreeKey),
         options.hands_free ? QStringLiteral("1") : QStringLiteral("0")},
        {QString::fromUtf16(kHandsFreeSensitivityKey), QString::number(options.sensitivity_db)},
        {QString::fromUtf16(kHandsFreeSilenceKey), QString::number(options.silence_ms)},
    };
    return WriteProfileStrings(iniPath, QString::fromUtf16(kOptionsSection), values);
}

}  // namespace quillar
