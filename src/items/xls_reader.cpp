#include "items/xls_reader.h"

#include <freexl.h>

#include <QDataStream>
#include <QFile>
#include <algorithm>
#include <memory>
#include <optional>

#include "items/compound_file.h"
#include "platform/child_process.h"

namespace quillar {

namespace {

struct CloseWorkbook {
    void operator()(const void* handle) const { freexl_close(handle); }
};
using Workbook = std::unique_ptr<const void, CloseWorkbook>;

// What a cell the library gave shows; empty for an empty cell.
QString cellText(const FreeXL_CellValue& cell) {
    switch (cell.type) {
        case FREEXL_CELL_INT:
            return QString::number(cell.value.int_value);
        case FREEXL_CELL_DOUBLE:
            return NumberText(cell.value.double_value);
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME:
            return cell.value.text_value ? QString::fromUtf8(cell.value.text_value) : QString();
        default:
            return {};
    }
}

// The most rows and columns a sheet of this format holds.
constexpr unsigned int kXlsMaxRows = 65536;
constexpr unsigned short kXlsMaxColumns = 256;

// The reading itself, through the library.
TableRead readWithLibrary(const QString& path) {
    const TableRead unreadable{{}, SpreadsheetUnreadableText()};
    const void* opened = nullptr;
    // The handle is closed even when opening fails: the library may have allocated it.
    const int result = freexl_open(QFile::encodeName(path).constData(), &opened);
    const Workbook workbook(opened);
    if (result != FREEXL_OK || !opened) {
        return unreadable;
    }
    const void* handle = workbook.get();
    unsigned int info = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &info) != FREEXL_OK ||
        info == FREEXL_BIFF_OBFUSCATED) {
        return unreadable;
    }
    unsigned int sheets = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK) {
        return unreadable;
    }
    TableRead out;
    if (sheets == 0) {
        return out;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(handle, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK) {
        return unreadable;
    }
    // The library takes the dimensions from the file as they stand: a damaged one claims millions
    // of rows. Within the format's limits every cell is asked for: 16.7 million, nearly all empty,
    // for a sheet with one stray value in its far corner. Only rows with a value are kept.
    if (rows > kXlsMaxRows || columns > kXlsMaxColumns) {
        return unreadable;
    }
    qint64 laidOut = 0;
    FreeXL_CellValue cell;
    for (unsigned int r = 0; r < rows; ++r) {
        QStringList fields;
        for (unsigned short c = 0; c < columns; ++c) {
            if (freexl_get_cell_value(handle, r, c, &cell) != FREEXL_OK ||
                cell.type == FREEXL_CELL_NULL) {
                continue;
            }
            QString text = cellText(cell);
            if (!text.isEmpty()) {
                fields.resize(c + 1);
                fields[c] = std::move(text);
            }
        }
        if (fields.isEmpty()) {
            continue;
        }
        laidOut += fields.size();
        if (laidOut > kMaxTableCells) {
            return {{}, TableTooLargeText(qsizetype(rows), columns)};
        }
        out.records.push_back({int(r) + 1, std::move(fields)});
    }
    return out;
}

QByteArray bytesOf(const TableRead& read) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << read.refusal << quint32(read.records.size());
    for (const TableRecord& r : read.records) {
        out << qint32(r.line) << r.fields;
    }
    return bytes;
}

std::optional<TableRead> tableReadOf(const QByteArray& bytes) {
    QDataStream in(bytes);
    TableRead read;
    quint32 count = 0;
    in >> read.refusal >> count;
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        qint32 line = 0;
        QStringList fields;
        in >> line >> fields;
        read.records.push_back({line, std::move(fields)});
    }
    if (in.status() != QDataStream::Ok || !in.atEnd()) {
        return std::nullopt;
    }
    return read;
}

}  // namespace

TableRead ReadXlsSheet(const QString& path) {
    if (CompoundFileOverclaims(path)) {
        return {{}, SpreadsheetUnreadableText()};
    }
    // libfreexl reads past its own buffers on some damaged workbooks: it reads in a child
    // process, where that can cost nothing but the child.
    const std::optional<QByteArray> bytes = platform::RunInChildProcess(
        [&path] { return bytesOf(readWithLibrary(path)); }, kXlsReadLimit);
    std::optional<TableRead> read = bytes ? tableReadOf(*bytes) : std::nullopt;
    if (!read) {
        return {{}, SpreadsheetUnreadableText()};
    }
    return std::move(*read);
}

}  // namespace quillar
