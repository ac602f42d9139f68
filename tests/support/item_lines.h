// A word list for a test: `lines` written as UTF-8 to items.txt in `dir` and loaded into the
// item list, as choosing that file would.
#pragma once

#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include "items/item_file.h"
#include "kit/app.h"

namespace quillar::test {

inline void LoadItemLines(App& app, const QTemporaryDir& dir, const QString& lines) {
    const QString path = dir.filePath(QStringLiteral("items.txt"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(lines.toUtf8());
    f.close();
    LoadItemFile(app, path);
}

}  // namespace quillar::test
