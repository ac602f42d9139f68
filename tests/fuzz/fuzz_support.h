// What every fuzz target shares: a fault is an abort (so that libFuzzer keeps the input), and a
// scratch folder of its own where an input becomes the file the program would read.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace quillar::fuzz {

// An invariant of the reader was broken by the input: libFuzzer saves it as a crash.
inline void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

inline QByteArray bytesOf(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// One per process, made at the first input and removed when the process ends normally.
inline const QTemporaryDir& scratch() {
    static const QTemporaryDir dir;
    check(dir.isValid(), "scratch folder");
    return dir;
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "scratch file opened");
    check(file.write(bytes) == bytes.size(), "scratch file written");
}

// Empties `folder` (made if missing), so that no input sees what an earlier one left.
inline QString freshFolder(const QString& folder) {
    QDir dir(folder);
    if (dir.exists()) {
        check(dir.removeRecursively(), "scratch folder emptied");
    }
    check(QDir().mkpath(folder), "scratch folder made");
    return folder;
}

}  // namespace quillar::fuzz
