#include "items/xlsx_reader.h"

#include <quazip.h>
#include <quazipfile.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QXmlStreamReader>
#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "kit/ui_texts.h"

namespace quillar {

namespace {

using namespace Qt::StringLiterals;

// The largest sheet a spreadsheet program makes: XFD1048576.
constexpr int kMaxColumns = 16384;
constexpr int kMaxRows = 1048576;

enum class Part { Read, Missing, Unreadable, TooLarge };

// The unpacked bytes of the part `name`, read up to kMaxXlsxPartBytes: the sizes in the zip's
// headers are never trusted.
Part readPart(QuaZip& zip, const QStringList& names, const QString& name, QByteArray* bytes) {
    bytes->clear();
    if (!names.contains(name, Qt::CaseInsensitive)) {
        return Part::Missing;
    }
    if (!zip.setCurrentFile(name, QuaZip::csInsensitive)) {
        return Part::Unreadable;
    }
    QuaZipFile file(&zip);
    if (!file.open(QIODevice::ReadOnly)) {
        return Part::Unreadable;
    }
    char chunk[64 * 1024];
    for (;;) {
        const qint64 n = file.read(chunk, sizeof chunk);
        if (n < 0 || file.getZipError() != 0) {
            return Part::Unreadable;
        }
        if (n == 0) {
            break;
        }
        if (bytes->size() + n > kMaxXlsxPartBytes) {
            return Part::TooLarge;
        }
        bytes->append(chunk, n);
    }
    file.close();  // the checksum is compared here
    return file.getZipError() == 0 ? Part::Read : Part::Unreadable;
}

// The text of a string item (<si> or <is>) up to its end tag: plain <t>, or the <t> of its runs;
// the phonetic guide (<rPh>) of East Asian text is not part of the text shown.
QString richText(QXmlStreamReader& xml) {
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
            case QXmlStreamReader::StartElement:
                if (xml.name() == u"t") {
                    text += xml.readElementText();
                } else if (xml.name() == u"rPh") {
                    xml.skipCurrentElement();
                } else {
                    ++depth;
                }
                break;
            case QXmlStreamReader::EndElement:
                --depth;
                break;
            default:
                break;
        }
    }
    return text;
}

QStringList sharedStrings(const QByteArray& part, bool* ok) {
    QStringList strings;
    QXmlStreamReader xml(part);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"si") {
            strings.append(richText(xml));
        }
    }
    *ok = !xml.hasError();
    return strings;
}

// The relationship id of the workbook's first sheet; empty when there is none.
QString firstSheetId(const QByteArray& workbook) {
    QXmlStreamReader xml(workbook);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"sheet") {
            // r:id, in whichever namespace the workbook's variant of the format uses
            for (const QXmlStreamAttribute& a : xml.attributes()) {
                if (a.name() == u"id" && !a.namespaceUri().isEmpty()) {
                    return a.value().toString();
                }
            }
            return {};
        }
    }
    return {};
}

// A relationship's target as a part name: relative to xl/, or from the root with a leading '/'.
QString partName(const QString& target) {
    const QString name =
        target.startsWith(u'/') ? target.mid(1) : QDir::cleanPath(u"xl/"_s + target);
    return name.startsWith(u"../"_s) ? QString() : name;
}

// The parts of the first sheet and of the shared strings, from the workbook's relationships.
void sheetParts(const QByteArray& rels, const QString& sheetId, QString* sheet, QString* strings) {
    QXmlStreamReader xml(rels);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"Relationship") {
            continue;
        }
        const QXmlStreamAttributes a = xml.attributes();
        const QString target = partName(a.value(u"Target"_s).toString());
        if (a.value(u"Id"_s) == sheetId) {
            *sheet = target;
        } else if (a.value(u"Type"_s).endsWith(u"/sharedStrings")) {
            *strings = target;
        }
    }
}

// The column of a cell reference ("C7" is 2); -1 when it is not one.
int columnOf(QStringView ref) {
    int column = 0;
    qsizetype i = 0;
    for (; i < ref.size() && i < 4; ++i) {
        const char16_t c = ref[i].unicode();
        if (c >= u'A' && c <= u'Z') {
            column = column * 26 + (c - u'A' + 1);
        } else if (c >= u'a' && c <= u'z') {
            column = column * 26 + (c - u'a' + 1);
        } else {
            break;
        }
    }
    if (i == 0 || column > kMaxColumns) {
        return -1;
    }
    return column - 1;
}

// What a cell shows, by its type; `ok` is false for a shared string that is not there.
QString cellText(QStringView type, const QString& value, const QString& inlineText,
                 const QStringList& strings, bool* ok) {
    if (type == u"s") {
        bool number = false;
        const int index = value.toInt(&number);
        if (!number || index < 0 || index >= strings.size()) {
            *ok = false;
            return {};
        }
        return strings[index];
    }
    if (type == u"inlineStr") {
        return inlineText;
    }
    if (type == u"b") {
        return value.trimmed() == u"1" ? u"TRUE"_s : u"FALSE"_s;
    }
    if (type.isEmpty() || type == u"n") {
        bool number = false;
        const double d = value.toDouble(&number);
        return number ? NumberText(d) : value;
    }
    return value;  // str (a formula's text), e (an error such as #N/A), d (an ISO date)
}

class SheetReader {
  public:
    SheetReader(const QByteArray& part, const QStringList& strings)
        : m_xml(part), m_strings(strings) {}

    TableRead read() {
        TableRead out;
        while (!m_xml.atEnd() && m_ok && m_refusal.isEmpty()) {
            if (m_xml.readNext() == QXmlStreamReader::StartElement && m_xml.name() == u"row") {
                readRow(&out);
            }
        }
        if (!m_refusal.isEmpty()) {
            return {{}, m_refusal};
        }
        if (!m_ok || m_xml.hasError()) {
            return {{}, SpreadsheetUnreadableText()};
        }
        return out;
    }

  private:
    void readRow(TableRead* out) {
        const QStringView r = m_xml.attributes().value(u"r"_s);
        int row = m_lastRow + 1;
        if (!r.isEmpty()) {
            bool number = false;
            row = r.toInt(&number);
            m_ok = number;
        }
        if (row < 1 || row > kMaxRows) {
            m_ok = false;
        }
        m_lastRow = row;
        m_cells.clear();
        int column = -1;
        while (m_ok && !m_xml.atEnd()) {
            const QXmlStreamReader::TokenType token = m_xml.readNext();
            if (token == QXmlStreamReader::EndElement) {
                break;  // of the row: every element inside it is read to its end below
            }
            if (token != QXmlStreamReader::StartElement) {
                continue;
            }
            if (m_xml.name() != u"c") {
                m_xml.skipCurrentElement();
                continue;
            }
            const QXmlStreamAttributes a = m_xml.attributes();
            const QStringView ref = a.value(u"r"_s);
            column = ref.isEmpty() ? column + 1 : columnOf(ref);
            if (column < 0 || column >= kMaxColumns) {
                m_ok = false;
                return;
            }
            readCell(column, a.value(u"t"_s).toString());
        }
        if (!m_ok || m_cells.empty()) {
            return;
        }
        int width = 0;
        for (const auto& cell : m_cells) {
            width = std::max(width, cell.first + 1);
        }
        // Only cells with a value widen a row, and a row is as wide as its last one: a far empty
        // cell costs nothing, and many far values are refused before they are laid out.
        m_laidOut += width;
        if (m_laidOut > kMaxTableCells) {
            m_refusal = TableTooLargeText(qsizetype(out->records.size() + 1), width);
            return;
        }
        TableRecord record;
        record.line = row;
        record.fields.resize(width);
        for (auto& [at, text] : m_cells) {
            record.fields[at] = std::move(text);
        }
        out->records.push_back(std::move(record));
    }

    void readCell(int column, const QString& type) {
        QString value;
        QString inlineText;
        while (!m_xml.atEnd()) {
            const QXmlStreamReader::TokenType token = m_xml.readNext();
            if (token == QXmlStreamReader::EndElement) {
                break;  // of the cell
            }
            if (token != QXmlStreamReader::StartElement) {
                continue;
            }
            if (m_xml.name() == u"v") {
                value = m_xml.readElementText();
            } else if (m_xml.name() == u"is") {
                inlineText = richText(m_xml);
            } else {
                m_xml.skipCurrentElement();  // a formula, extensions
            }
        }
        QString text = cellText(type, value, inlineText, m_strings, &m_ok);
        if (!text.isEmpty()) {
            m_cells.emplace_back(column, std::move(text));
        }
    }

    QXmlStreamReader m_xml;
    const QStringList& m_strings;
    std::vector<std::pair<int, QString>> m_cells;  // of the row being read, with a value
    int m_lastRow = 0;
    qint64 m_laidOut = 0;  // fields of the rows so far
    bool m_ok = true;
    QString m_refusal;
};

}  // namespace

TableRead ReadXlsxSheet(const QString& path) {
    const TableRead unreadable{{}, SpreadsheetUnreadableText()};
    const TableRead tooLarge{{}, Texts::tr("这个电子表格太大，超出了录音文本能容纳的范围。")};
    // The workbook is unpacked from memory. A damaged central directory can send the unzipping
    // back to the same places hundreds of thousands of times, and from the file each time is a
    // system call: seconds for a file of two kilobytes.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return unreadable;
    }
    if (file.size() > kMaxXlsxPartBytes) {
        return tooLarge;
    }
    QByteArray packed = file.readAll();
    file.close();
    QBuffer buffer(&packed);
    QuaZip zip(&buffer);
    if (!zip.open(QuaZip::mdUnzip)) {
        return unreadable;
    }
    const QStringList names = zip.getFileNameList();
    QByteArray part;
    const auto failed = [&](Part p) -> std::optional<TableRead> {
        if (p == Part::TooLarge) {
            return tooLarge;
        }
        if (p != Part::Read) {
            return unreadable;
        }
        return std::nullopt;
    };
    if (auto f = failed(readPart(zip, names, u"xl/workbook.xml"_s, &part))) {
        return *f;
    }
    const QString sheetId = firstSheetId(part);
    QString sheetName = u"xl/worksheets/sheet1.xml"_s;
    QString stringsName = u"xl/sharedStrings.xml"_s;
    const Part rels = readPart(zip, names, u"xl/_rels/workbook.xml.rels"_s, &part);
    if (rels == Part::Read && !sheetId.isEmpty()) {
        sheetParts(part, sheetId, &sheetName, &stringsName);
    } else if (rels != Part::Missing) {
        if (auto f = failed(rels)) {
            return *f;
        }
    }
    if (sheetName.isEmpty()) {
        return unreadable;
    }
    QStringList strings;
    const Part s = stringsName.isEmpty() ? Part::Missing : readPart(zip, names, stringsName, &part);
    if (s == Part::Read) {
        bool ok = false;
        strings = sharedStrings(part, &ok);
        if (!ok) {
            return unreadable;
        }
    } else if (s != Part::Missing) {
        return *failed(s);
    }
    if (auto f = failed(readPart(zip, names, sheetName, &part))) {
        return *f;
    }
    return SheetReader(part, strings).read();
}

}  // namespace quillar
