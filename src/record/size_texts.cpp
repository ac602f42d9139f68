#include "record/size_texts.h"

namespace quillar {

QString FormatHms(std::int32_t) {
    return "00:00:00";
}
QString FormatByteSize(std::uint64_t) {
    return "0 字节";
}

}  // namespace quillar
