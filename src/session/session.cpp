#include "session/session.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSaveFile>

namespace quillar {

namespace {

// The line of the character at `offset` of `json`, from 1.
int lineAt(const QByteArray& json, qsizetype offset) {
    return 1 + static_cast<int>(json.left(offset).count('\n'));
}

// The line of the first mention of `key` in `json`: QJsonDocument keeps no positions, and a
// fieldworker fixing a file by hand needs one.
int lineOfKey(const QByteArray& json, const QString& key) {
    const qsizetype at = json.indexOf(QByteArray("\"") + key.toUtf8() + "\"");
    return at < 0 ? 1 : lineAt(json, at);
}

struct Reader {
    const QByteArray& json;
    QString error;

    bool fail(const QString& key, const QString& what) {
        if (error.isEmpty()) {
            error = QStringLiteral("第 %1 行：%2").arg(lineOfKey(json, key)).arg(what);
        }
        return false;
    }
    QString text(const QJsonObject& o, const QString& key) {
        const QJsonValue v = o.value(key);
        if (v.isUndefined() || v.isNull()) {
            return QString();
        }
        if (!v.isString()) {
            fail(key, QStringLiteral("“%1”应是文字").arg(key));
            return QString();
        }
        return v.toString();
    }
    std::optional<double> number(const QJsonObject& o, const QString& key) {
        const QJsonValue v = o.value(key);
        if (v.isUndefined() || v.isNull()) {
            return std::nullopt;
        }
        if (!v.isDouble()) {
            fail(key, QStringLiteral("“%1”应是数字").arg(key));
            return std::nullopt;
        }
        return v.toDouble();
    }
    QJsonObject object(const QJsonObject& o, const QString& key) {
        const QJsonValue v = o.value(key);
        if (!v.isUndefined() && !v.isNull() && !v.isObject()) {
            fail(key, QStringLiteral("“%1”应是对象 {…}").arg(key));
        }
        return v.toObject();
    }
};

}  // namespace

SessionRead parseSession(const QByteArray& json) {
    SessionRead read;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        read.error = QStringLiteral("第 %1 行：%2")
                         .arg(lineAt(json, parseError.offset))
                         .arg(parseError.errorString());
        return read;
    }
    if (!doc.isObject()) {
        read.error = QStringLiteral("第 1 行：应是一个对象 {…}");
        return read;
    }
    Reader r{json, QString()};
    Session s;
    s.original = doc.object();
    const QJsonObject speaker = r.object(s.original, QStringLiteral("speaker"));
    s.speaker.code = r.text(speaker, QStringLiteral("code"));
    s.speaker.name = r.text(speaker, QStringLiteral("name"));
    s.speaker.sex = r.text(speaker, QStringLiteral("sex"));
    if (const auto year = r.number(speaker, QStringLiteral("birth_year"))) {
        s.speaker.birthYear = static_cast<int>(*year);
    }
    s.speaker.role = r.text(speaker, QStringLiteral("role"));
    const QJsonValue languages = speaker.value(QStringLiteral("languages"));
    if (languages.isArray()) {
        for (const QJsonValue& code : languages.toArray()) {
            if (!code.isString()) {
                r.fail(QStringLiteral("languages"), QStringLiteral("“languages”应是文字的列表"));
                break;
            }
            s.speaker.languages << code.toString();
        }
    } else if (!languages.isUndefined() && !languages.isNull()) {
        r.fail(QStringLiteral("languages"), QStringLiteral("“languages”应是文字的列表"));
    }
    const QJsonObject site = r.object(s.original, QStringLiteral("site"));
    s.site.code = r.text(site, QStringLiteral("code"));
    s.site.place = r.text(site, QStringLiteral("place"));
    s.site.latitude = r.number(site, QStringLiteral("latitude"));
    s.site.longitude = r.number(site, QStringLiteral("longitude"));
    s.fieldworker = r.text(s.original, QStringLiteral("fieldworker"));
    s.consent = r.text(s.original, QStringLiteral("consent"));
    s.notes = r.text(s.original, QStringLiteral("notes"));
    if (!r.error.isEmpty()) {
        read.error = r.error;
        return read;
    }
    read.session = std::move(s);
    return read;
}

SessionRead readSessionFile(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return {std::nullopt, file.errorString()};
    }
    return parseSession(file.readAll());
}

QByteArray sessionJson(const Session& session) {
    QJsonObject root = session.original;
    const auto put = [](QJsonObject& o, const QString& key, const QJsonValue& value) {
        if (value.isNull()) {
            o.remove(key);
        } else {
            o.insert(key, value);
        }
    };
    QJsonObject speaker = root.value(QStringLiteral("speaker")).toObject();
    put(speaker, QStringLiteral("code"), session.speaker.code);
    put(speaker, QStringLiteral("name"), session.speaker.name);
    put(speaker, QStringLiteral("sex"), session.speaker.sex);
    put(speaker, QStringLiteral("birth_year"),
        session.speaker.birthYear ? QJsonValue(*session.speaker.birthYear) : QJsonValue());
    put(speaker, QStringLiteral("role"), session.speaker.role);
    put(speaker, QStringLiteral("languages"),
        QJsonArray::fromStringList(session.speaker.languages));
    root.insert(QStringLiteral("speaker"), speaker);
    QJsonObject site = root.value(QStringLiteral("site")).toObject();
    put(site, QStringLiteral("code"), session.site.code);
    put(site, QStringLiteral("place"), session.site.place);
    put(site, QStringLiteral("latitude"),
        session.site.latitude ? QJsonValue(*session.site.latitude) : QJsonValue());
    put(site, QStringLiteral("longitude"),
        session.site.longitude ? QJsonValue(*session.site.longitude) : QJsonValue());
    root.insert(QStringLiteral("site"), site);
    put(root, QStringLiteral("fieldworker"), session.fieldworker);
    put(root, QStringLiteral("consent"), session.consent);
    put(root, QStringLiteral("notes"), session.notes);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

bool writeSessionFile(const QString& path, const Session& session, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(sessionJson(session)) < 0 ||
        !file.commit()) {
        if (error) {
            *error = file.errorString();
        }
        return false;
    }
    return true;
}

}  // namespace quillar
