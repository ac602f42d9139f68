#include "playback/format_seconds.h"

namespace quillar {

QString FormatSeconds(std::int32_t) {
    return "00:00:00";
}

}  // namespace quillar
