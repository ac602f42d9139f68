// Word lists that are tables: cutting delimited text into records (quotes, doubled quotes and line
// breaks inside quotes), telling a table's columns from its header or from its values, and turning
// the records of a text or a sheet into an ItemTable, or into one message saying why it cannot be
// a word list. Pure functions, callable from any thread.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "naming/item_entry.h"

namespace quillar {

// A table's cells, counted as rows times columns, beyond which it is refused rather than held in
// memory: a hostile file's one far cell or one line of separators must not make every row that
// wide.
inline constexpr qint64 kMaxTableCells = qint64{1} << 22;

// One record of a table as read: where it starts (1-based: a text file's line, a sheet's row) and
// its fields.
struct TableRecord {
    int line = 0;
    QStringList fields;
};

// What a reader of a table gives: its records, or why it has none.
struct TableRead {
    std::vector<TableRecord> records;
    QString refusal;  // empty unless the file cannot be read as a table; then in the interface's
                      // language, one or more sentences
};

// What an item file holds when it is a table: the table, or why it cannot be a word list.
struct TableContent {
    ItemTable table;
    QString refusal;
};

enum class ColumnRole { None, Id, Item, Note, Gloss, Prompt };

// The role a header name gives its column, case and blanks ignored ("Item", " 条 目 ").
ColumnRole RoleOfHeaderName(const QString& name);
// Whether `field` can be an id without a header saying so: digits, ASCII letters, '-', '_' and
// '.', at least one.
bool LooksLikeCode(const QString& field);

// The records of `text` with fields separated by `separator` (tab, comma or semicolon). A field
// that starts with a quote runs to the quote before the next separator or line end, with a doubled
// quote for a quote and line breaks kept; elsewhere a quote is text. Records end at LF or CR LF.
// An unclosed quote or more than kMaxTableCells fields are refused.
TableRead ParseDelimited(const QString& text, QChar separator);

// The table of `text` decoded from the file named `fileName`, or nullopt when it is a plain list:
// a table has a header line naming an item column (with the separator it uses), or a name ending
// in .csv or .tsv (then without such a header its columns are told by their values).
std::optional<TableContent> ReadTextTable(const QString& text, const QString& fileName);

// The table of a sheet's records: the first non-empty record is the header when it names an item
// column; otherwise the columns are told by their values. Wholly empty records are skipped; no
// item column, duplicate ids and ids without an item are refused.
TableContent ItemTableOfRecords(std::vector<TableRecord> records);

// The refusals readers of sheets share: a table beyond kMaxTableCells, and a file that cannot be
// read as a spreadsheet at all.
QString TableTooLargeText(qsizetype rows, qsizetype columns);
QString SpreadsheetUnreadableText();

// The text a spreadsheet shows for a number: a whole number as an integer ("1", never "1.0"),
// others as the shortest text that reads back as the same number.
QString NumberText(double value);

}  // namespace quillar
