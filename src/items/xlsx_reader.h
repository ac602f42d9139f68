// Reading the first sheet of an .xlsx workbook (a zip of XML parts) as the records of a table:
// each non-empty row with its cells at their columns, as the spreadsheet shows them. Any thread.
#pragma once

#include <QString>

#include "items/item_table.h"

namespace quillar {

// A workbook file, or an XML part of one once unpacked, larger than this is refused, whatever its
// headers claim: a word list's sheet is a few megabytes.
inline constexpr qint64 kMaxXlsxPartBytes = 64 * 1024 * 1024;

// The rows of the workbook's first sheet, in the workbook's order of sheets; line is the sheet's
// row number. Shared strings (rich text too, without phonetic runs), inline strings, numbers
// (NumberText), booleans (TRUE, FALSE) and the texts of formulas' results and errors. A file that
// is no workbook, damaged or cut short is refused with SpreadsheetUnreadableText.
TableRead ReadXlsxSheet(const QString& path);

}  // namespace quillar
