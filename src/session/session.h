// The recording session: who speaks, where, who records, the consent and free notes. It lives in
// the auto-save folder as quillar-session.json, so the folder carries its own metadata; a project
// may write the file before the trip, so its keys are part of the interface. Plain data and file
// work, any thread.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace quillar {

inline constexpr char kSessionFileName[] = "quillar-session.json";

struct SessionSpeaker {
    QString code;  // "老男", "S01": {speaker} in names
    QString name;
    QString sex;
    std::optional<int> birthYear;
    QString role;
    QStringList languages;  // ISO 639-3 codes: "cmn", "wuu"
    bool operator==(const SessionSpeaker&) const = default;
};

struct SessionSite {
    QString code;
    QString place;
    std::optional<double> latitude;
    std::optional<double> longitude;
    bool operator==(const SessionSite&) const = default;
};

struct Session {
    SessionSpeaker speaker;
    SessionSite site;
    QString fieldworker;
    QString consent;  // "given", "not given", or the fieldworker's words about it
    QString notes;
    // The file's whole object as read, so that keys this program does not know survive a write.
    QJsonObject original;

    bool operator==(const Session& o) const {
        return speaker == o.speaker && site == o.site && fieldworker == o.fieldworker &&
               consent == o.consent && notes == o.notes;
    }
};

// What reading a session file gave: a session, or why none (a file that is not valid JSON or
// has a wrong type, with its line: "第 3 行：…"); neither for a missing file. Never half-read.
struct SessionRead {
    std::optional<Session> session;
    QString error;
};

// The session of the JSON text `json`.
SessionRead parseSession(const QByteArray& json);
// The session file at `path` (quillar-session.json in a folder).
SessionRead readSessionFile(const QString& path);
// `session` as indented UTF-8 JSON, the keys it came with and does not know kept as they were.
QByteArray sessionJson(const Session& session);
// Writes sessionJson to `path` through a temporary file renamed into place; false with the
// reason in `error` when it could not.
bool writeSessionFile(const QString& path, const Session& session, QString* error);

}  // namespace quillar
