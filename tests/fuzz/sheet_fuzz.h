// The .xlsx and .xls targets share everything but the file's name: the bytes are read as the
// window reads a spreadsheet word list, and the records must make a table or one refusal.
#pragma once

#include "fuzz_support.h"
#include "items/item_table.h"

namespace quillar::fuzz {

inline void readSheet(const std::uint8_t* data, std::size_t size, const char* name,
                      TableRead (*reader)(const QString&)) {
    const QString path = scratch().filePath(QString::fromLatin1(name));
    writeFile(path, bytesOf(data, size));
    const TableRead read = reader(path);
    if (!read.refusal.isEmpty()) {
        check(read.records.empty(), "a refused sheet has no records");
    }
    qint64 cells = 0;
    for (const TableRecord& r : read.records) {
        check(r.line > 0, "rows counted from 1");
        cells += r.fields.size();
    }
    check(cells <= kMaxTableCells, "no more cells than a table may hold");
    // What the word list makes of the records, as after any sheet.
    const TableContent table = ItemTableOfRecords(read.records);
    if (!table.refusal.isEmpty()) {
        check(table.table.rows.empty(), "a refused table has no rows");
    }
}

}  // namespace quillar::fuzz
