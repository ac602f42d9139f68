#include "annotation/textgrid.h"

#include <algorithm>
#include <charconv>

namespace quillar::annotation {

namespace {

// The shortest text that reads back as the same double, as Praat writes its times.
QByteArray number(double v) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v == 0.0 ? 0.0 : v);
    return QByteArray(buffer, static_cast<qsizetype>(result.ptr - buffer));
}

// A text in Praat's quotes: a quote is written twice.
QByteArray quoted(const QString& text) {
    QByteArray out = text.toUtf8();
    out.replace('"', "\"\"");
    return '"' + out + '"';
}

// The tier's intervals with every stretch of [xmin, xmax] they leave open filled by an empty one.
std::vector<Interval> covering(double xmin, double xmax, const std::vector<Interval>& given) {
    std::vector<Interval> out;
    double at = xmin;
    for (const Interval& i : given) {
        const double start = std::clamp(i.start, at, xmax);
        const double end = std::clamp(i.end, start, xmax);
        if (end <= start) {
            continue;  // nothing left of it inside the span, or behind the one before
        }
        if (start > at) {
            out.push_back({at, start, QString()});
        }
        out.push_back({start, end, i.text});
        at = end;
    }
    if (at < xmax || out.empty()) {
        out.push_back({at, xmax, QString()});
    }
    return out;
}

}  // namespace

QByteArray TextGridText(double xmin, double xmax, const std::vector<IntervalTier>& tiers) {
    xmax = std::max(xmin, xmax);
    QByteArray out;
    out += "File type = \"ooTextFile\"\nObject class = \"TextGrid\"\n\n";
    out += "xmin = " + number(xmin) + " \nxmax = " + number(xmax) + " \n";
    out += "tiers? <exists> \nsize = " + QByteArray::number(tiers.size()) + " \nitem []: \n";
    for (std::size_t t = 0; t < tiers.size(); ++t) {
        const std::vector<Interval> intervals = covering(xmin, xmax, tiers[t].intervals);
        out += "    item [" + QByteArray::number(t + 1) + "]:\n";
        out += "        class = \"IntervalTier\" \n";
        out += "        name = " + quoted(tiers[t].name) + " \n";
        out += "        xmin = " + number(xmin) + " \n        xmax = " + number(xmax) + " \n";
        out += "        intervals: size = " + QByteArray::number(intervals.size()) + " \n";
        for (std::size_t i = 0; i < intervals.size(); ++i) {
            out += "        intervals [" + QByteArray::number(i + 1) + "]:\n";
            out += "            xmin = " + number(intervals[i].start) + " \n";
            out += "            xmax = " + number(intervals[i].end) + " \n";
            out += "            text = " + quoted(intervals[i].text) + " \n";
        }
    }
    return out;
}

std::vector<IntervalTier> TakeTiers(double seconds, bool hasSpeech, double speechBegin,
                                    double speechEnd, const QString& itemText,
                                    const std::optional<QString>& gloss) {
    seconds = std::max(0.0, seconds);
    double begin = 0.0;
    double end = seconds;
    if (hasSpeech) {
        begin = std::clamp(speechBegin, 0.0, seconds);
        end = std::clamp(speechEnd, begin, seconds);
    }
    if (end <= begin) {  // a take too short to hold anything still says what it was
        begin = 0.0;
        end = seconds;
    }
    std::vector<IntervalTier> tiers{{QStringLiteral("item"), {{begin, end, itemText}}}};
    if (gloss) {
        tiers.push_back({QStringLiteral("gloss"), {{begin, end, *gloss}}});
    }
    return tiers;
}

}  // namespace quillar::annotation
