// The container of an .xls workbook, a compound file (a small file system of fixed-size
// sectors chained through an allocation table), checked against its own size before libfreexl
// walks it. Any thread.
#pragma once

#include <QString>

namespace quillar {

// True when `path` is a compound file whose header or directory claims more than the file
// holds: more allocation-table sectors than the file has, or a directory entry longer than the
// whole file. libfreexl follows such a stream sector by sector, one seek each, for as long as
// the entry claims: a 5 KB file claiming 3.7 GB takes it seconds. Chains that loop are walked
// no further than the file's own sectors. False for anything else, including a file that is no
// compound file at all: the library refuses those itself.
bool CompoundFileOverclaims(const QString& path);

}  // namespace quillar
