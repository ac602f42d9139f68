// What the exports' tests and benchmarks read: a folder, its word list and the template its
// names follow.
#pragma once

#include <QString>

#include "export/export_folder.h"

namespace quillar::test {

inline ExportSource SourceOf(const QString& folder, const QString& list = {},
                             const QString& nameTemplate = {}) {
    ExportSource s;
    s.folder = folder;
    s.list = list;
    s.nameTemplate = nameTemplate;
    return s;
}

}  // namespace quillar::test
