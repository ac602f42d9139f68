#include "items/item_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <thread>

#include "items/item_list.h"
#include "items/item_table.h"
#include "items/recording_marks.h"
#include "items/text_encoding.h"
#include "items/xls_reader.h"
#include "items/xlsx_reader.h"
#include "kit/app.h"
#include "kit/item_rows.h"
#include "kit/main_form.h"
#include "kit/queued_calls.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "naming/recording_names.h"
#include "record/take_naming.h"

namespace quillar {

namespace {

using namespace Qt::StringLiterals;

bool isStrayCharacter(char16_t c) {
    if (c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v') {
        return false;
    }
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0xFFFD;
}

// Characters of `text` that no writer puts in a word list: control characters, replacement
// characters and surrogates without their pair. A pair (a character beyond the first plane, such
// as the rarer Chinese characters of dialect writing) is text like any other.
qsizetype strayCharacters(const QString& text) {
    qsizetype stray = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            ++i;
            continue;
        }
        stray += isStrayCharacter(c) || QChar::isSurrogate(c);
    }
    return stray;
}

void refuse(App& app, const QString& path) {
    app.ui.message(
        &app.form, Texts::tr("系统提示"),
        Texts::tr("无法载入录音文本：\n%1\n\n这个文件不是文本文件（含有空字节或大量无法识别的"
                  "字符），请选择每行一个条目的文本文件。当前的录音文本保持不变。")
            .arg(ElideMiddle(QDir::toNativeSeparators(path))),
        MessageIcon::Error);
}

void refuseTable(App& app, const QString& path, const QString& why) {
    app.ui.message(&app.form, Texts::tr("系统提示"),
                   Texts::tr("无法载入录音文本：\n%1\n\n%2\n\n当前的录音文本保持不变。")
                       .arg(ElideMiddle(QDir::toNativeSeparators(path)), why),
                   MessageIcon::Error);
}

ItemFileContent contentOfTable(TableContent table) {
    ItemFileContent content;
    content.refusal = std::move(table.refusal);
    if (content.refusal.isEmpty()) {
        content.items.reserve(qsizetype(table.table.rows.size()));
        for (const ItemEntry& e : table.table.rows) {
            content.items.append(e.item);
        }
        content.table = std::move(table.table);
    }
    return content;
}

// A workbook's first bytes tell its format, so one saved under the other's name still reads.
ItemFileContent spreadsheetContent(QFile& file, bool xlsxByName) {
    const QByteArray magic = file.read(4);
    file.close();
    const bool zip = magic == QByteArrayLiteral("PK\x03\x04");
    const bool compound = magic == QByteArrayLiteral("\xD0\xCF\x11\xE0");
    const bool xlsx = zip || (!compound && xlsxByName);
    TableRead read = xlsx ? ReadXlsxSheet(file.fileName()) : ReadXlsSheet(file.fileName());
    if (!read.refusal.isEmpty()) {
        return contentOfTable({{}, std::move(read.refusal)});
    }
    return contentOfTable(ItemTableOfRecords(std::move(read.records)));
}

// Marks worked out on the reader thread for the folder of the load's start.
struct ReadMarks {
    QString folder;
    std::vector<std::uint8_t> marks;
};

void finishLoad(App& app, std::shared_ptr<ReadMarks> read = {}) {
    app.state.item_file_loading = false;
    if (read && read->folder == app.form.编辑框_保存路径->text()) {
        SetItemMarks(app, std::move(read->marks));
    } else {
        RefreshItemMarks(app);
    }
}

// Puts items [from, end) into the list, a slice per turn of the event loop; the item `row` is
// selected and shown as soon as it is in the list.
void addSlices(App& app, std::shared_ptr<const QStringList> items, qsizetype from, int row,
               std::uint64_t generation, std::shared_ptr<ReadMarks> marks) {
    if (generation != app.state.item_load_generation) {
        return;  // a later load took over
    }
    QListWidget* list = app.form.列表框_录音文本列表;
    const qsizetype end = std::min<qsizetype>(from + kItemSliceSize, items->size());
    {
        const QSignalBlocker quiet(list);
        list->addItems(items->mid(from, end - from));
    }
    if (row >= from && row < end) {
        {
            const QSignalBlocker quiet(list);
            list->setCurrentRow(row);
        }
        OnItemSelected(app);
    }
    if (end < items->size()) {
        QTimer::singleShot(
            0, list,
            [&app, items = std::move(items), end, row, generation, marks = std::move(marks)] {
                addSlices(app, items, end, row, generation, marks);
            });
        return;
    }
    finishLoad(app, std::move(marks));
}

// `marks` is set for a list read on a thread: only such a list is large enough to need slices.
void show(App& app, const QString& path, ItemFileContent content, int row, const QString& id,
          std::uint64_t generation, std::shared_ptr<ReadMarks> marks = {}) {
    if (generation != app.state.item_load_generation) {
        return;
    }
    if (content.notText) {
        app.state.item_file_loading = false;
        refuse(app, path);
        return;
    }
    if (!content.refusal.isEmpty()) {
        app.state.item_file_loading = false;
        refuseTable(app, path, content.refusal);
        return;
    }
    // Two items that would be saved to one file, or an item with no name, would lose takes:
    // the list is refused before any take is made by it.
    if (const QString clash =
            NamingProblemOf(app.state.options, content.items, &content.table, path,
                            app.state.session, app.form.编辑框_保存路径->text());
        !clash.isEmpty()) {
        app.state.item_file_loading = false;
        refuseTable(app, path, clash);
        return;
    }
    app.form.编辑框_录音文本源路径->setText(path);
    if (content.table.table && !id.isEmpty()) {
        // A table edited since it was left opens at the same item, wherever its row is now.
        const std::vector<ItemEntry>& rows = content.table.rows;
        const auto at = std::find_if(rows.cbegin(), rows.cend(),
                                     [&id](const ItemEntry& e) { return e.id == id; });
        if (at != rows.cend()) {
            row = static_cast<int>(at - rows.cbegin());
        }
    }
    if (content.table.table) {
        // The list shows "0001 多"; everything else asks the table for the row's fields.
        for (qsizetype i = 0; i < content.items.size(); ++i) {
            content.items[i] = ItemRowText(content.table.rows[static_cast<std::size_t>(i)]);
        }
        app.state.item_table = std::make_shared<const ItemTable>(std::move(content.table));
    } else {
        app.state.item_table.reset();
    }
    QListWidget* list = app.form.列表框_录音文本列表;
    const int count = static_cast<int>(content.items.size());
    const int selected = row > 0 && row < count ? row : 0;
    {
        // Filling the list would report a selection change per step; the first item is shown
        // once, below, whatever the list reports.
        const QSignalBlocker quiet(list);
        // Every row is one line of text: uniform sizes spare the view from measuring 100,000 rows.
        list->setUniformItemSizes(true);
        list->clear();
    }
    if (!marks || count <= kItemSliceSize) {
        {
            const QSignalBlocker quiet(list);
            list->addItems(content.items);
            list->setCurrentRow(selected);
        }
        OnItemSelected(app);
        // Until the marks are known no mark of the previous list stands beside the new one's.
        ClearItemMarks(app);
        // The first item shows now; the marks of a long list come from a folder listing and the
        // take log, so they follow once the window has painted.
        app.state.item_file_loading = true;
        QTimer::singleShot(0, list, [&app, generation] {
            if (generation == app.state.item_load_generation) {
                finishLoad(app);
            }
        });
        return;
    }
    ClearItemMarks(app);
    if (selected >= kItemSliceSize) {
        OnItemSelected(app);  // nothing selected yet: the item's text is empty until its slice
    }
    app.state.item_file_loading = true;
    addSlices(app, std::make_shared<const QStringList>(std::move(content.items)), 0, selected,
              generation, std::move(marks));
}

}  // namespace

QStringList SplitItemLines(const QString& text) {
    QStringList items;
    qsizetype start = 0;
    const qsizetype n = text.size();
    while (start < n) {
        qsizetype end = text.indexOf(u'\n', start);
        if (end < 0) {
            end = n;
        }
        // A CR belongs to the line break only right before the LF; elsewhere it is item text.
        qsizetype stop = end;
        if (end < n && stop > start && text.at(stop - 1) == u'\r') {
            --stop;
        }
        if (stop > start) {
            items.append(text.sliced(start, stop - start));
        }
        start = end + 1;
    }
    return items;
}

bool LooksLikeText(const QByteArray& bytes, int encodingClass, const QString& text) {
    const bool wide = encodingClass == kEncodingUtf16LE || encodingClass == kEncodingUtf16BE;
    if (!wide && bytes.contains('\0')) {
        return false;
    }
    const qsizetype stray = strayCharacters(text);
    // A few bad bytes are a damaged word list; a fiftieth of the text is no word list at all.
    return stray < 4 || stray * 50 <= text.size();
}

ItemFileContent ReadItemFileContent(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const bool xlsx = path.endsWith(u".xlsx"_s, Qt::CaseInsensitive);
    if (xlsx || path.endsWith(u".xls"_s, Qt::CaseInsensitive)) {
        return spreadsheetContent(file, xlsx);
    }
    const QByteArray bytes = file.readAll();
    const int encoding = DetectTextEncodingOf(bytes);
    const QString text = DecodeText(bytes, encoding);
    ItemFileContent content;
    if (!LooksLikeText(bytes, encoding, text)) {
        content.notText = true;
        return content;
    }
    if (std::optional<TableContent> table = ReadTextTable(text, path)) {
        return contentOfTable(std::move(*table));
    }
    // A plain list is its lines: no row of fields beside each, which a list of a million items
    // would pay for in memory and time and nothing reads.
    content.items = SplitItemLines(text);
    return content;
}

QStringList ReadItemFile(const QString& path) {
    return ReadItemFileContent(path).items;
}

void LoadItemFile(App& app, const QString& path, int row, const QString& id) {
    const std::uint64_t generation = ++app.state.item_load_generation;
    if (QFileInfo(path).size() <= kItemFileReadInPlaceBytes) {
        show(app, path, ReadItemFileContent(path), row, id, generation);
        return;
    }
    // Reading and decoding tens of megabytes takes seconds: on a thread of its own, while the
    // list in place stays usable. The form as context drops the result once the window is gone;
    // the thread is joined before the program's state goes.
    app.state.item_file_loading = true;
    app.state.item_reader.reset();  // the previous reader, if any, is joined first
    // The marks of a million items take seconds too: worked out there as well, for the folder of
    // now, and used if the folder is still the same when the list is in place.
    auto marks = std::make_shared<ReadMarks>();
    marks->folder = app.form.编辑框_保存路径->text();
    // The naming of now, but for whether the list is a table, which only its reading tells.
    const RecordingOptions& options = app.state.options;
    const QString speaker = app.state.session ? app.state.session->speaker.code : QString();
    app.state.item_reader = std::shared_ptr<std::thread>(
        new std::thread([&app, path, row, id, generation, marks, judged = app.state.judged_takes,
                         templateText = options.name_template, ascii = options.ascii_names,
                         speaker] {
            ItemFileContent content = ReadItemFileContent(path);
            if (!content.notText && !CleanFolder(marks->folder).isEmpty()) {
                const ListNaming naming = ListNamingOf(templateText, ascii, false, path, speaker);
                marks->marks =
                    ComputeItemMarks(marks->folder, content.items, nullptr, naming, judged);
            }
            app.form.queuedCalls->post(
                [&app, path, row, id, generation, marks, content = std::move(content)]() mutable {
                    show(app, path, std::move(content), row, id, generation, marks);
                });
        }),
        [](std::thread* t) {
            t->join();
            delete t;
        });
}

bool ItemFileLoading(const App& app) {
    return app.state.item_file_loading;
}

}  // namespace quillar
