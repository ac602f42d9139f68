// Praat's TextGrid in its long text format, UTF-8: interval tiers, each covering the whole span
// with no gap. Plain data to bytes; any thread.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace quillar::annotation {

struct Interval {
    double start = 0.0;  // seconds
    double end = 0.0;
    QString text;
    bool operator==(const Interval&) const = default;
};

struct IntervalTier {
    QString name;
    std::vector<Interval> intervals;  // in time order, not overlapping
    bool operator==(const IntervalTier&) const = default;
};

// The TextGrid of `tiers` over [xmin, xmax]: every tier's gaps (and the stretches before its first
// and after its last interval) filled with empty intervals, so that Praat reads it.
QByteArray TextGridText(double xmin, double xmax, const std::vector<IntervalTier>& tiers);

// The tiers of one take of `seconds`: tier "item" holding `itemText` over the speech
// [speechBegin, speechEnd) with empty intervals before and after, and, when `gloss` is given (a
// table's take), tier "gloss" with the same boundaries. Without speech (`hasSpeech` false) the
// item lies over the whole take, so that no take loses its label.
std::vector<IntervalTier> TakeTiers(double seconds, bool hasSpeech, double speechBegin,
                                    double speechEnd, const QString& itemText,
                                    const std::optional<QString>& gloss);

}  // namespace quillar::annotation
