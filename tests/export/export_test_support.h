// Folders of real takes for the exports' tests, and what programs we did not write say of the
// files the exports make.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include "export/export_folder.h"

namespace quillar::test {

inline void PutFile(const QString& path, const QByteArray& bytes) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

inline QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every file under `dir`, hidden ones too, by its path there, with its bytes.
inline QMap<QString, QByteArray> Snapshot(const QString& dir) {
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(dir).relativeFilePath(path), FileBytes(path));
    }
    return files;
}

struct ProgramRun {
    int code = -1;
    QString out;  // standard output
    QString err;
};

inline ProgramRun RunProgram(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit) {
        return {-1, {}, program + QStringLiteral(": ") + p.errorString()};
    }
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// The SHA-256 that coreutils' sha256sum gives the file.
inline QString Sha256Sum(const QString& path) {
    const ProgramRun r = RunProgram(QStringLiteral("sha256sum"), {path});
    return r.code == 0 ? r.out.section(u' ', 0, 0) : QStringLiteral("sha256sum failed: ") + r.err;
}

}  // namespace quillar::test
