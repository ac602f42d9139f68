// Praat, a reader we did not write, as the tests' judge of TextGrids and WAVs: a script run with
// `praat --run`, and the intervals of a TextGrid's tier as Praat reads them.
#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <vector>

namespace quillar::test {

// What `script` prints through Praat's Info window; empty with `*error` set when Praat failed.
inline QString RunPraat(const QString& script, QString* error) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.praat"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(script.toUtf8()) < 0) {
        *error = QStringLiteral("cannot write the script");
        return QString();
    }
    file.close();
    QProcess praat;
    praat.start(QStringLiteral("praat"), {QStringLiteral("--run"), path});
    if (!praat.waitForFinished(60000) || praat.exitCode() != 0) {
        *error = QStringLiteral("praat: ") + QString::fromUtf8(praat.readAllStandardError());
        return QString();
    }
    error->clear();
    return QString::fromUtf8(praat.readAllStandardOutput());
}

struct PraatInterval {
    double start = 0.0;
    double end = 0.0;
    QString text;
};

// The intervals of tier `tier` (from 1) of the TextGrid at `path`, as Praat reads them.
inline std::vector<PraatInterval> PraatIntervals(const QString& path, int tier, QString* error) {
    const QString script = QStringLiteral(
                               "tg = Read from file: \"%1\"\n"
                               "n = Get number of intervals: %2\n"
                               "for i to n\n"
                               "  t0 = Get start time of interval: %2, i\n"
                               "  t1 = Get end time of interval: %2, i\n"
                               "  t$ = Get label of interval: %2, i\n"
                               "  appendInfoLine: fixed$(t0, 6), tab$, fixed$(t1, 6), tab$, t$\n"
                               "endfor\n")
                               .arg(QString(path).replace(u'"', QStringLiteral("\"\"")))
                               .arg(tier);
    std::vector<PraatInterval> out;
    for (const QString& line : RunPraat(script, error).split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(u'\t');
        if (f.size() == 3) {
            out.push_back({f[0].toDouble(), f[1].toDouble(), f[2]});
        }
    }
    return out;
}

}  // namespace quillar::test
