// An ELAN annotation document (EAF 3.0): one linked media file by relative URL, time slots in
// ms, and alignable annotations on top-level tiers. Plain data to UTF-8 XML; any thread.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <vector>

namespace quillar::annotation {

struct EafAnnotation {
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    QString value;
    bool operator==(const EafAnnotation&) const = default;
};

struct EafTier {
    QString id;                              // "item", "gloss"
    std::vector<EafAnnotation> annotations;  // in time order
};

struct EafDocument {
    QString mediaRelativeUrl;  // "./session.wav": the media beside the .eaf
    QString mediaUrl;          // absolute "file:///…" URL of the media; empty: the relative one
    QString mimeType = QStringLiteral("audio/x-wav");
    QString author;  // the fieldworker, may be empty
    QDateTime date;  // when written
    std::vector<EafTier> tiers;
};

QByteArray EafText(const EafDocument& document);

}  // namespace quillar::annotation
