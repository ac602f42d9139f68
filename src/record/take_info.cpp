#include "record/take_info.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>

#include "audio/wav_layout.h"

namespace quillar {

bool TakeInfo::hasUsableFormat() const {
    // A rate no reader plays would make a recovered take that no tool opens: such a TakeInfo
    // is as good as lost, and the journal's own header is asked instead.
    return rate > 0 && rate <= audio::kMaxWavRate && channels > 0 && channels <= 8 &&
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
    QJsonObject o{
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
    const TakeLabels& l = info.labels;
    if (!l.id.isEmpty()) {
        o.insert(QStringLiteral("id"), l.id);
    }
    if (!l.note.isEmpty()) {
        o.insert(QStringLiteral("note"), l.note);
    }
    if (!l.gloss.isEmpty()) {
        o.insert(QStringLiteral("gloss"), l.gloss);
    }
    if (!l.nameTemplate.isEmpty()) {
        o.insert(QStringLiteral("template"), l.nameTemplate);
        o.insert(QStringLiteral("ascii"), l.asciiNames);
        o.insert(QStringLiteral("table"), l.table);
    }
    if (!l.list.isEmpty()) {
        o.insert(QStringLiteral("list"), l.list);
    }
    if (l.annotate) {
        o.insert(QStringLiteral("annotate"), true);
    }
    if (l.session) {
        o.insert(QStringLiteral("session"),
                 QJsonDocument::fromJson(sessionJson(*l.session)).object());
    }
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
    TakeLabels& l = info.labels;
    l.id = o.value(QStringLiteral("id")).toString();
    l.note = o.value(QStringLiteral("note")).toString();
    l.gloss = o.value(QStringLiteral("gloss")).toString();
    l.nameTemplate = o.value(QStringLiteral("template")).toString();
    l.asciiNames = o.value(QStringLiteral("ascii")).toBool(false);
    l.table = o.value(QStringLiteral("table")).toBool(false);
    l.list = o.value(QStringLiteral("list")).toString();
    // A journal of a run before the option was there has none: no TextGrid, as then.
    l.annotate = o.value(QStringLiteral("annotate")).toBool(false);
    if (const QJsonValue session = o.value(QStringLiteral("session")); session.isObject()) {
        // A session that no longer reads is dropped, never half-kept; the take still recovers.
        l.session = parseSession(QJsonDocument(session.toObject()).toJson()).session;
    }
    return info;
}

}  // namespace quillar
