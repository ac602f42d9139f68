#include "record/size_texts.h"
#include "kit/ui_texts.h"

namespace quillar {

QString FormatHms(std::int32_t seconds) {
    if (seconds < 0) {
        return QStringLiteral("00:00:00");
    }
    const std::int32_t n = seconds % 86400;
    return QStringLiteral("%1:%2:%3")
        .arg(n / 3600, 2, 10, QLatin1Char('0'))
        .arg(n % 3600 / 60, 2, 10, QLatin1Char('0'))
        .arg(n % 60, 2, 10, QLatin1Char('0'));
}

QString FormatByteSize(std::uint64_t bytes) {
    if (bytes < 1024) {
        return Texts::tr("%1 字节").arg(bytes);
    }
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
    std::uint64_t unit = 1024;
    for (int u = 0;; ++u, unit *= 1024) {
        const std::uint64_t whole = bytes / unit;
        const std::uint64_t rest = bytes % unit;
        // Each step below keeps three significant digits and truncates the rest; scaling the
        // remainder alone keeps the arithmetic exact and free of overflow for any 64-bit count.
        if (whole < 10) {
            const std::uint64_t hundredths =
                static_cast<std::uint64_t>(static_cast<unsigned __int128>(rest) * 100 / unit);
            return QStringLiteral("%1.%2 %3")
                .arg(whole)
                .arg(hundredths, 2, 10, QLatin1Char('0'))
                .arg(QLatin1String(kUnits[u]));
        }
        if (whole < 100) {
            const std::uint64_t tenths =
                static_cast<std::uint64_t>(static_cast<unsigned __int128>(rest) * 10 / unit);
            return QStringLiteral("%1.%2 %3").arg(whole).arg(tenths).arg(QLatin1String(kUnits[u]));
        }
        if (whole < 1000 || u == 5) {
            return QStringLiteral("%1 %2").arg(whole).arg(QLatin1String(kUnits[u]));
        }
    }
}

}  // namespace quillar
