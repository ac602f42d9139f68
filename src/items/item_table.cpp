#include "items/item_table.h"

#include <QHash>
#include <QLocale>
#include <algorithm>
#include <cmath>

#include "kit/ui_texts.h"

namespace quillar {

namespace {

using namespace Qt::StringLiterals;

// Header names by role, compared case-folded and without blanks.
struct RoleName {
    const char16_t* name;
    ColumnRole role;
};
constexpr RoleName kRoleNames[] = {
    {u"编号", ColumnRole::Id},       {u"序号", ColumnRole::Id},
    {u"id", ColumnRole::Id},         {u"cid", ColumnRole::Id},
    {u"code", ColumnRole::Id},       {u"no", ColumnRole::Id},
    {u"条目", ColumnRole::Item},     {u"词目", ColumnRole::Item},
    {u"字", ColumnRole::Item},       {u"词", ColumnRole::Item},
    {u"句子", ColumnRole::Item},     {u"item", ColumnRole::Item},
    {u"word", ColumnRole::Item},     {u"text", ColumnRole::Item},
    {u"注释", ColumnRole::Note},     {u"说明", ColumnRole::Note},
    {u"memo", ColumnRole::Note},     {u"note", ColumnRole::Note},
    {u"释义", ColumnRole::Gloss},    {u"普通话", ColumnRole::Gloss},
    {u"英文", ColumnRole::Gloss},    {u"gloss", ColumnRole::Gloss},
    {u"en_name", ColumnRole::Gloss}, {u"english", ColumnRole::Gloss},
    {u"meaning", ColumnRole::Gloss}, {u"提示音", ColumnRole::Prompt},
    {u"prompt", ColumnRole::Prompt},
};

bool isBlank(QStringView text) {
    for (const QChar c : text) {
        if (!c.isSpace()) {
            return false;
        }
    }
    return true;
}

// Where each role's column is (-1: none), and how many columns a header name gave a role.
struct Columns {
    int id = -1;
    int item = -1;
    int note = -1;
    int gloss = -1;
    int prompt = -1;
    int named = 0;

    bool isRoleColumn(int i) const {
        return i == id || i == item || i == note || i == gloss || i == prompt;
    }
};

Columns columnsOfHeader(const QStringList& header) {
    Columns c;
    for (int i = 0; i < header.size(); ++i) {
        int* slot = nullptr;
        switch (RoleOfHeaderName(header[i])) {
            case ColumnRole::Id:
                slot = &c.id;
                break;
            case ColumnRole::Item:
                slot = &c.item;
                break;
            case ColumnRole::Note:
                slot = &c.note;
                break;
            case ColumnRole::Gloss:
                slot = &c.gloss;
                break;
            case ColumnRole::Prompt:
                slot = &c.prompt;
                break;
            case ColumnRole::None:
                break;
        }
        if (slot) {
            ++c.named;
            if (*slot < 0) {
                *slot = i;
            }
        }
    }
    return c;
}

QString noItemColumn() {
    QStringList names;
    for (const RoleName& r : kRoleNames) {
        if (r.role == ColumnRole::Item) {
            names << QString::fromUtf16(r.name);
        }
    }
    return Texts::
        tr("这个表格没有条目列：表头里没有一列的名字是 %1 之一。请把要录音的那一列的表头改成其中"
           "一个名字。")
            .arg(names.join(Texts::tr("、")));
}

bool wholeEmpty(const QStringList& fields) {
    for (const QString& f : fields) {
        if (!isBlank(f)) {
            return false;
        }
    }
    return true;
}

// At most this many rows or ids are named in a message; the rest are counted.
constexpr int kListedInMessage = 10;

QString lineNumbers(const QList<int>& lines) {
    QStringList numbers;
    for (qsizetype i = 0; i < lines.size() && i < kListedInMessage; ++i) {
        numbers << QString::number(lines[i]);
    }
    if (lines.size() > kListedInMessage) {
        numbers << u"…"_s;
    }
    return numbers.join(Texts::tr("、"));
}

// Duplicate ids and ids without an item, as one message; empty when there is neither.
QString problemsOf(const std::vector<ItemEntry>& rows, const std::vector<int>& lines) {
    QHash<QString, qsizetype> groupOf;
    std::vector<std::pair<QString, QList<int>>> groups;
    QStringList missing;
    qsizetype missingCount = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const ItemEntry& e = rows[r];
        if (isBlank(e.id)) {
            continue;
        }
        auto it = groupOf.constFind(e.id);
        if (it == groupOf.cend()) {
            it = groupOf.insert(e.id, qsizetype(groups.size()));
            groups.push_back({e.id, {}});
        }
        groups[std::size_t(*it)].second.append(lines[r]);
        if (isBlank(e.item)) {
            if (++missingCount <= kListedInMessage) {
                missing << Texts::tr("第 %1 行（编号 %2）").arg(QString::number(lines[r]), e.id);
            }
        }
    }
    QStringList duplicates;
    qsizetype duplicateCount = 0;
    for (const auto& [id, at] : groups) {
        if (at.size() > 1 && ++duplicateCount <= kListedInMessage) {
            duplicates << Texts::tr("编号 %1：第 %2 行").arg(id, lineNumbers(at));
        }
    }
    QStringList parts;
    if (duplicateCount > 0) {
        QString part = Texts::tr("表格里有重复的编号，每个编号只能用于一个条目：") + u'\n' +
                       duplicates.join(u'\n');
        if (duplicateCount > kListedInMessage) {
            part += u'\n' + Texts::tr("……还有 %1 个重复的编号。")
                                .arg(QString::number(duplicateCount - kListedInMessage));
        }
        parts << part;
    }
    if (missingCount > 0) {
        QString part = Texts::tr("以下各行有编号，却没有条目：") + u'\n' + missing.join(u'\n');
        if (missingCount > kListedInMessage) {
            part +=
                u'\n' +
                Texts::tr("……还有 %1 行。").arg(QString::number(missingCount - kListedInMessage));
        }
        parts << part;
    }
    return parts.join(u"\n\n"_s);
}

// The table of `records` (wholly empty ones already dropped) whose columns are `columns`; the
// header, if any, is records[0] and names the columns not given a role.
TableContent tableOf(std::vector<TableRecord>& records, const Columns& columns, bool header) {
    TableContent content;
    qsizetype width = 0;
    for (const TableRecord& r : records) {
        width = std::max(width, r.fields.size());
    }
    if (width * qsizetype(records.size()) > kMaxTableCells) {
        content.refusal = TableTooLargeText(qsizetype(records.size()), width);
        return content;
    }
    ItemTable& table = content.table;
    table.table = true;
    const QStringList headerNames = header ? records.front().fields : QStringList();
    std::vector<int> extra;
    const int firstExtra = header ? 0 : std::max({columns.id, columns.item, columns.gloss}) + 1;
    for (int i = firstExtra; i < width; ++i) {
        if (!columns.isRoleColumn(i)) {
            extra.push_back(i);
            table.extraColumns << (i < headerNames.size() ? headerNames[i] : u"列%1"_s.arg(i + 1));
        }
    }
    const std::size_t first = header ? 1 : 0;
    table.rows.reserve(records.size() - first);
    std::vector<int> lines;
    lines.reserve(records.size() - first);
    for (std::size_t r = first; r < records.size(); ++r) {
        const QStringList& f = records[r].fields;
        ItemEntry e;
        e.id = f.value(columns.id);
        e.item = f.value(columns.item);
        e.note = f.value(columns.note);
        e.gloss = f.value(columns.gloss);
        e.prompt = f.value(columns.prompt).trimmed();
        e.extra.reserve(qsizetype(extra.size()));
        for (const int i : extra) {
            e.extra << f.value(i);
        }
        table.rows.push_back(std::move(e));
        lines.push_back(records[r].line);
    }
    content.refusal = problemsOf(table.rows, lines);
    if (!content.refusal.isEmpty()) {
        content.table = {};
    }
    return content;
}

// Headerless: an id column first when every record starts with a code, then item and gloss.
TableContent headerlessTableOf(std::vector<TableRecord>& records) {
    bool ids = !records.empty();
    bool wide = false;
    for (const TableRecord& r : records) {
        wide = wide || r.fields.size() > 1;
        ids = ids && LooksLikeCode(r.fields.value(0));
    }
    Columns c;
    c.id = ids && wide ? 0 : -1;
    c.item = c.id + 1;
    c.gloss = c.item + 1;
    return tableOf(records, c, false);
}

void dropEmpty(std::vector<TableRecord>& records) {
    std::erase_if(records, [](const TableRecord& r) { return wholeEmpty(r.fields); });
}

// Cuts delimited text into records, one at a time, from a given offset.
class DelimitedParser {
  public:
    DelimitedParser(QStringView text, QChar separator, qsizetype from, int line)
        : m_text(text), m_sep(separator), m_pos(from), m_line(line) {}

    // The next record into `record`; false at the end of the text or at an unclosed quote
    // (then unclosed() is true).
    bool next(TableRecord* record) {
        if (m_pos >= m_text.size()) {
            return false;
        }
        record->line = m_line;
        record->fields.clear();
        for (;;) {
            QString field;
            if (m_pos < m_text.size() && m_text[m_pos] == u'"') {
                if (!readQuoted(&field)) {
                    m_unclosed = true;
                    m_unclosedLine = record->line;
                    return false;
                }
            }
            const qsizetype end = fieldEnd();
            qsizetype stop = end;
            if (end < m_text.size() && stop > m_pos && m_text[stop - 1] == u'\r') {
                --stop;  // the CR of a CR LF; a CR elsewhere is text
            }
            if (field.isNull()) {
                field = m_text.sliced(m_pos, stop - m_pos).toString();
            } else {
                field += m_text.sliced(m_pos, stop - m_pos);  // text after a closing quote
            }
            record->fields.append(std::move(field));
            if (end >= m_text.size()) {
                m_pos = end;
                return true;
            }
            m_pos = end + 1;
            if (m_text[end] == u'\n') {
                ++m_line;
                return true;
            }
        }
    }

    bool unclosed() const { return m_unclosed; }
    int unclosedLine() const { return m_unclosedLine; }

  private:
    qsizetype fieldEnd() const {
        const qsizetype n = m_text.size();
        const char16_t sep = m_sep.unicode();
        const QChar* data = m_text.data();
        for (qsizetype i = m_pos; i < n; ++i) {
            const char16_t c = data[i].unicode();
            if (c == sep || c == u'\n') {
                return i;
            }
        }
        return n;
    }

    // From the opening quote to just past the closing one; line breaks inside count as lines.
    bool readQuoted(QString* field) {
        *field = u""_s;
        qsizetype pos = m_pos + 1;
        for (;;) {
            const qsizetype quote = m_text.indexOf(u'"', pos);
            if (quote < 0) {
                return false;
            }
            const QStringView part = m_text.sliced(pos, quote - pos);
            m_line += int(part.count(u'\n'));
            field->append(part);
            if (quote + 1 < m_text.size() && m_text[quote + 1] == u'"') {
                field->append(u'"');
                pos = quote + 2;
                continue;
            }
            m_pos = quote + 1;
            return true;
        }
    }

    QStringView m_text;
    QChar m_sep;
    qsizetype m_pos;
    int m_line;
    bool m_unclosed = false;
    int m_unclosedLine = 0;
};

TableRead parseFrom(QStringView text, QChar separator, qsizetype from, int line) {
    TableRead read;
    DelimitedParser parser(text, separator, from, line);
    TableRecord record;
    qsizetype cells = 0;
    while (parser.next(&record)) {
        cells += record.fields.size();
        if (cells > kMaxTableCells) {
            read.records.clear();
            read.refusal = TableTooLargeText(qsizetype(record.line), record.fields.size());
            return read;
        }
        read.records.push_back(std::move(record));
    }
    if (parser.unclosed()) {
        read.records.clear();
        read.refusal = Texts::tr("第 %1 行开始的引号直到文件末尾都没有结束，请检查这一行的引号。")
                           .arg(QString::number(parser.unclosedLine()));
    }
    return read;
}

TableContent contentOf(TableRead read, bool header) {
    if (!read.refusal.isEmpty()) {
        return {{}, read.refusal};
    }
    dropEmpty(read.records);
    if (!header || read.records.empty()) {
        return headerlessTableOf(read.records);
    }
    return tableOf(read.records, columnsOfHeader(read.records.front().fields), true);
}

}  // namespace

ColumnRole RoleOfHeaderName(const QString& name) {
    QString key;
    key.reserve(name.size());
    for (const QChar c : name) {
        if (!c.isSpace()) {
            key += c;
        }
    }
    key = key.toCaseFolded();
    for (const RoleName& r : kRoleNames) {
        if (key == QStringView(r.name)) {
            return r.role;
        }
    }
    return ColumnRole::None;
}

bool LooksLikeCode(const QString& field) {
    if (field.isEmpty()) {
        return false;
    }
    for (const QChar c : field) {
        const char16_t u = c.unicode();
        const bool code = (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'z') ||
                          (u >= u'A' && u <= u'Z') || u == u'-' || u == u'_' || u == u'.';
        if (!code) {
            return false;
        }
    }
    return true;
}

TableRead ParseDelimited(const QString& text, QChar separator) {
    return parseFrom(text, separator, 0, 1);
}

std::optional<TableContent> ReadTextTable(const QString& text, const QString& fileName) {
    const bool tsv = fileName.endsWith(u".tsv"_s, Qt::CaseInsensitive);
    const bool csv = fileName.endsWith(u".csv"_s, Qt::CaseInsensitive);
    // The header is the first line with anything on it.
    qsizetype start = 0;
    int line = 1;
    QStringView first;
    while (start < text.size()) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0) {
            end = text.size();
        }
        first = QStringView(text).sliced(start, end - start);
        if (!isBlank(first)) {
            break;
        }
        first = {};
        start = end + 1;
        ++line;
    }
    const QChar candidates[3] = {csv ? u',' : u'\t', csv ? u';' : u',', csv ? u'\t' : u';'};
    bool namedWithoutItem = false;
    for (const QChar sep : candidates) {
        // A plain list's first line names columns only when it has them; a .csv or .tsv may
        // name its one column.
        const bool oneColumn = (csv || tsv) && sep == candidates[0];
        if (!first.contains(sep) && !oneColumn) {
            continue;
        }
        DelimitedParser parser(text, sep, start, line);
        TableRecord header;
        if (!parser.next(&header)) {
            continue;
        }
        const Columns c = columnsOfHeader(header.fields);
        if (c.item >= 0 && (header.fields.size() > 1 || csv || tsv)) {
            return contentOf(parseFrom(text, sep, 0, 1), true);
        }
        namedWithoutItem = namedWithoutItem || c.named >= 2;
    }
    if (namedWithoutItem) {
        return TableContent{{}, noItemColumn()};
    }
    if (!csv && !tsv) {
        return std::nullopt;
    }
    const QChar sep = tsv ? u'\t' : (first.contains(u';') && !first.contains(u',') ? u';' : u',');
    return contentOf(parseFrom(text, sep, 0, 1), false);
}

TableContent ItemTableOfRecords(std::vector<TableRecord> records) {
    dropEmpty(records);
    if (records.empty()) {
        TableContent content;
        content.table.table = true;
        return content;
    }
    const Columns c = columnsOfHeader(records.front().fields);
    if (c.item >= 0) {
        return tableOf(records, c, true);
    }
    if (c.named >= 2) {
        return {{}, noItemColumn()};
    }
    return headerlessTableOf(records);
}

QString TableTooLargeText(qsizetype rows, qsizetype columns) {
    return Texts::tr("这个表格太大（%1 行，%2 列），超出了录音文本能容纳的范围。")
        .arg(QString::number(rows), QString::number(columns));
}

QString SpreadsheetUnreadableText() {
    return Texts::tr("这个电子表格文件已损坏或无法读取（也可能设了密码），读不出其中的条目。");
}

QString NumberText(double value) {
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e21) {
        return value == 0 ? u"0"_s : QString::number(value, 'f', 0);
    }
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

}  // namespace quillar
