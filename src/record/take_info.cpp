#include "record/take_info.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>

namespace quillar {

bool TakeInfo::hasUsableFormat() const {
    return rate > 0 && channels > 0 && channels <= 8 &&
           (bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

QString JournalFolder() {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    // A relative value is to be ignored, as every program reading the variable does.
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + QStringLiteral("/.local/state");
    }
    return base + QStringLiteral("/quillar");
}

bool writeTakeInfo(const QString& path, const TakeInfo& info) {
    const QJsonObject o{
        {QStringLiteral("item"), info.item},
        {QStringLiteral("folder"), info.folder},
        {QStringLiteral("rate"), static_cast<qint64>(info.rate)},
        {QStringLiteral("bits"), info.bits},
        {QStringLiteral("channels"), info.channels},
        {QStringLiteral("device"), info.device},
        {QStringLiteral("started"), info.started.toString(Qt::ISODateWithMs)},
        {QStringLiteral("occurrence"), info.occurrence},
        {QStringLiteral("pending"), info.pending},
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const QByteArray bytes = QJsonDocument(o).toJson(QJsonDocument::Indented);
    return file.write(bytes) == bytes.size() && file.commit();
}

std::optional<TakeInfo> readTakeInfo(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (!doc.isObject()) {
        return std::nullopt;
    }
    const QJsonObject o = doc.object();
    TakeInfo info;
    info.item = o.value(QStringLiteral("item")).toString();
    info.folder = o.value(QStringLiteral("folder")).toString();
    info.rate = static_cast<std::uint32_t>(o.value(QStringLiteral("rate")).toInteger());
    info.bits = static_cast<std::uint16_t>(o.value(QStringLiteral("bits")).toInt());
    info.channels = static_cast<std::uint16_t>(o.value(QStringLiteral("channels")).toInt());
    info.device = o.value(QStringLiteral("device")).toString();
    info.started =
        QDateTime::fromString(o.value(QStringLiteral("started")).toString(), Qt::ISODate);
    info.occurrence = std::max(1, o.value(QStringLiteral("occurrence")).toInt(1));
    info.pending = o.value(QStringLiteral("pending")).toBool(false);
    return info;
}

}  // namespace quillar
