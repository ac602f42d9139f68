// A small reader of Praat's long TextGrid text for tests: each tier's intervals by name, so that
// a test can say where a take's item lies without trusting the writer's own reader.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <vector>

namespace quillar::test {

struct ReadInterval {
    double xmin = 0.0;
    double xmax = 0.0;
    QString text;
};

struct ReadTextGrid {
    bool ok = false;  // the file was there, a TextGrid, every tier with its intervals
    double xmin = 0.0;
    double xmax = 0.0;
    QStringList tierNames;  // in file order
    QMap<QString, std::vector<ReadInterval>> tiers;

    // The one interval of `tier` with text, or an empty one (xmax 0) when not exactly one has.
    ReadInterval labelled(const QString& tier) const {
        ReadInterval found;
        int n = 0;
        for (const ReadInterval& i : tiers.value(tier)) {
            if (!i.text.isEmpty()) {
                found = i;
                ++n;
            }
        }
        return n == 1 ? found : ReadInterval{};
    }
};

inline ReadTextGrid ReadTextGridFile(const QString& path) {
    ReadTextGrid grid;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return grid;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    if (lines.size() < 2 || !lines[0].contains(QStringLiteral("\"ooTextFile\"")) ||
        !lines[1].contains(QStringLiteral("\"TextGrid\""))) {
        return grid;
    }
    static const QRegularExpression pair(QStringLiteral(R"(^\s*(\w+) = (.*?)\s*$)"));
    static const QRegularExpression intervalStart(QStringLiteral(R"(^\s*intervals \[\d+\]:)"));
    QString tier;
    bool inInterval = false;
    bool header = true;
    for (const QString& line : lines) {
        if (intervalStart.match(line).hasMatch()) {
            grid.tiers[tier].push_back({});
            inInterval = true;
            continue;
        }
        const QRegularExpressionMatch m = pair.match(line);
        if (!m.hasMatch()) {
            continue;
        }
        const QString key = m.captured(1);
        QString value = m.captured(2);
        if (key == u"name") {
            tier = value.mid(1, value.size() - 2)
                       .replace(QStringLiteral("\"\""), QStringLiteral("\""));
            grid.tierNames << tier;
            grid.tiers[tier];
            inInterval = false;
            header = false;
        } else if (header && key == u"xmin") {
            grid.xmin = value.toDouble();
        } else if (header && key == u"xmax") {
            grid.xmax = value.toDouble();
        } else if (inInterval && key == u"xmin") {
            grid.tiers[tier].back().xmin = value.toDouble();
        } else if (inInterval && key == u"xmax") {
            grid.tiers[tier].back().xmax = value.toDouble();
        } else if (inInterval && key == u"text") {
            grid.tiers[tier].back().text =
                value.mid(1, value.size() - 2)
                    .replace(QStringLiteral("\"\""), QStringLiteral("\""));
        }
    }
    grid.ok = !grid.tierNames.isEmpty();
    for (const auto& intervals : grid.tiers) {
        grid.ok = grid.ok && !intervals.empty();
    }
    return grid;
}

}  // namespace quillar::test
