// Whole seconds as the time ruler's "hh:mm:ss" labels (hours not limited).
#pragma once

#include <QString>
#include <cstdint>

namespace quillar {

QString FormatSeconds(std::int32_t seconds);

}  // namespace quillar
