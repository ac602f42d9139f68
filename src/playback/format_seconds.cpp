#include "playback/format_seconds.h"

namespace quillar {

QString FormatSeconds(std::int32_t seconds) {
    if (seconds <= 0) {
        return QStringLiteral("00:00:00");
    }
    const auto two = [](std::int32_t v) { return QString::number(v).rightJustified(2, u'0'); };
    return two(seconds / 3600) + u':' + two(seconds % 3600 / 60) + u':' + two(seconds % 60);
}

}  // namespace quillar
