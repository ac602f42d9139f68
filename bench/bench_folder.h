// Where benchmarks that write files put them: $QUILLAR_BENCH_DIR, else the current folder, so a
// run can be pointed at the disk whose speed is the question.
#pragma once

#include <QDir>
#include <QString>
#include <QtGlobal>

namespace quillar::bench {

inline QString benchFolder() {
    const QByteArray env = qgetenv("QUILLAR_BENCH_DIR");
    return env.isEmpty() ? QDir::currentPath() : QString::fromLocal8Bit(env);
}

}  // namespace quillar::bench
