// Reading the first worksheet of an .xls workbook (the binary format before .xlsx) as the records
// of a table, through libfreexl. Any thread.
#pragma once

#include <QString>
#include <chrono>

#include "items/item_table.h"

namespace quillar {

inline constexpr std::chrono::milliseconds kXlsReadLimit{30000};

// The non-empty rows of the workbook's first worksheet; line is the sheet's row number. Whole
// numbers as integers, other numbers as NumberText, texts as they are, dates and times as
// "YYYY-MM-DD", "HH:MM:SS". A file that is no workbook, damaged or protected by a password is
// refused with SpreadsheetUnreadableText; one whose container claims more than the file holds
// (CompoundFileOverclaims) before the library sees it.
// The library reads in a child process (a damaged file can make it read out of bounds), given
// this long before the file is taken for damaged: a full sheet of 65536 rows is read in seconds.
TableRead ReadXlsSheet(const QString& path);

}  // namespace quillar
