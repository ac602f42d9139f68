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

}  // namespace quillar
