#include "items/recording_marks.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <algorithm>

#include "items/item_list.h"
#include "items/take_quality_line.h"
#include "kit/app.h"
#include "kit/item_marks.h"
#include "kit/item_rows.h"
#include "kit/main_form.h"
#include "kit/ui_texts.h"
#include "naming/recording_names.h"
#include "platform/file_io.h"
#include "record/recorder.h"
#include "record/take_log.h"
#include "record/take_naming.h"

namespace quillar {

namespace {

QStringList itemsOf(const QListWidget* list) {
    QStringList items;
    const int n = list->count();
    items.reserve(n);
    for (int i = 0; i < n; ++i) {
        items.append(list->item(i)->text());
    }
    return items;
}

void showCount(App& app) {
    const ItemMarks* marks = app.form.条目标记;
    const int recorded = marks->recordedCount();
    const int total = app.form.列表框_录音文本列表->count();
    // The plain count stays as it always read while nothing is skipped.
    app.form.标签_录音进度->setText(
        marks->skippedCount() == 0
            ? QStringLiteral("%1 / %2").arg(recorded).arg(total)
            : Texts::tr("%1 / %2，跳过 %3").arg(recorded).arg(total).arg(marks->skippedCount()));
}

// The SkipKeyOf of the row at `i` of a plain list's `items` or of `table`.
QString skipKeyOfRow(const QStringList& items, const ItemTable* table, qsizetype i) {
    if (table != nullptr && table->table) {
        const ItemEntry& e = table->rows[static_cast<std::size_t>(i)];
        return SkipKeyOf(e.id, e.item);
    }
    return SkipKeyOf(QString(), items[i]);
}

}  // namespace

QSet<QString> FileNamesIn(const QString& folder) {
    return platform::plainFileNamesIn(folder);
}

QStringList RecordingNamesOf(const QString& folder, const QStringList& items,
                             const ItemTable* table, const ListNaming& naming,
                             QString* listedFolder) {
    *listedFolder = CleanFolder(folder);
    if (listedFolder->isEmpty()) {
        return {};
    }
    // One look at the file system for the whole list.
    const NameRules rules = NameRulesOf(*listedFolder);
    QStringList names;
    const bool isTable = table != nullptr && table->table;
    if (!isTable && naming.tmpl.isItemAlone() && !naming.context.asciiOnly) {
        // The name a plain list's items always had, on the path a list of a million items takes.
        names.reserve(items.size());
        QHash<QString, int> seen;
        seen.reserve(items.size());
        for (const QString& item : items) {
            names.append(ItemFileName(item, ++seen[item], rules));
        }
        return names;
    }
    NamingContext context = naming.context;
    context.table = isTable;
    const qsizetype n = isTable ? static_cast<qsizetype>(table->rows.size()) : items.size();
    names.reserve(n);
    QHash<QString, int> seen;
    for (qsizetype i = 0; i < n; ++i) {
        ItemEntry plain;
        if (!isTable) {
            plain.item = items[i];
        }
        const ItemEntry& entry = isTable ? table->rows[static_cast<std::size_t>(i)] : plain;
        const int occurrence = isTable ? 1 : ++seen[entry.item];
        names.append(FitComposedName(ComposeName(naming.tmpl, entry, occurrence, context), rules));
    }
    return names;
}

QSet<QString> SubfoldersOf(const QStringList& names) {
    QSet<QString> subfolders;
    for (const QString& name : names) {
        if (const qsizetype slash = name.lastIndexOf(u'/'); slash > 0) {
            subfolders.insert(name.first(slash));
        }
    }
    return subfolders;
}

QSet<QString> FileNamesUnder(const QString& folder, const QStringList& names) {
    QSet<QString> files = FileNamesIn(folder);
    for (const QString& sub : SubfoldersOf(names)) {
        for (const QString& file : FileNamesIn(folder + u'/' + sub)) {
            files.insert(sub + u'/' + file);
        }
    }
    return files;
}

std::vector<std::uint8_t> MarksOf(const QStringList& names, const QSet<QString>& files,
                                  const QHash<QString, quality::Judgement>& judged) {
    std::vector<std::uint8_t> marks(static_cast<std::size_t>(names.size()), ItemMarks::kNone);
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (names[i].isEmpty() || !files.contains(names[i])) {
            continue;
        }
        const auto it = judged.constFind(names[i]);
        marks[static_cast<std::size_t>(i)] =
            it == judged.cend() ? ItemMarks::kRecorded : ItemMarks::markOf(it->verdict);
    }
    return marks;
}

QHash<qsizetype, QString> SkippedRowsOf(const QStringList& names,
                                        const QHash<QString, LoggedSkips>& logs,
                                        const std::function<QString(qsizetype)>& keyOf) {
    QHash<qsizetype, QString> skipped;
    if (std::all_of(logs.cbegin(), logs.cend(), [](const LoggedSkips& l) { return l.empty(); })) {
        return skipped;  // the usual case: a list of a million items is not even looked at
    }
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QString& name = names[i];
        if (name.isEmpty()) {
            continue;
        }
        const qsizetype slash = name.lastIndexOf(u'/');
        const auto log = logs.constFind(slash < 0 ? QString() : name.first(slash));
        QString reason;
        if (log != logs.cend() && !log->empty() &&
            log->skipped(keyOf(i), name.sliced(slash + 1), &reason)) {
            skipped.insert(i, reason);
        }
    }
    return skipped;
}

void ClearItemMarks(App& app) {
    app.form.条目标记->setMarks({});
    showCount(app);
}

std::vector<std::uint8_t> ComputeItemMarks(
    const QString& folderText, const QStringList& items, const ItemTable* table,
    const ListNaming& naming, const QHash<QString, quality::Judgement>& sessionJudged) {
    QString folder;
    const QStringList names = RecordingNamesOf(folderText, items, table, naming, &folder);
    if (folder.isEmpty()) {
        return {};
    }
    // The take log lies in the folder each take was written to: one per subfolder names use.
    QHash<QString, quality::Judgement> judged;
    QHash<QString, LoggedSkips> skips;
    ReadTakeLog(folder, &judged, nullptr, &skips[QString()]);
    for (const QString& sub : SubfoldersOf(names)) {
        QHash<QString, quality::Judgement> there;
        ReadTakeLog(folder + u'/' + sub, &there, nullptr, &skips[sub]);
        for (auto it = there.cbegin(); it != there.cend(); ++it) {
            judged.insert(sub + u'/' + it.key(), it.value());
        }
    }
    // Takes of this session win over the log, which may have missed a line.
    const QString prefix = QFileInfo(folder).absoluteFilePath() + u'/';
    for (auto it = sessionJudged.cbegin(); it != sessionJudged.cend(); ++it) {
        if (it.key().startsWith(prefix)) {
            judged.insert(it.key().sliced(prefix.size()), it.value());
        }
    }
    std::vector<std::uint8_t> marks = MarksOf(names, FileNamesUnder(folder, names), judged);
    const QHash<qsizetype, QString> skipped =
        SkippedRowsOf(names, skips, [&](qsizetype i) { return skipKeyOfRow(items, table, i); });
    for (auto it = skipped.cbegin(); it != skipped.cend(); ++it) {
        marks[static_cast<std::size_t>(it.key())] = ItemMarks::kSkipped;
    }
    return marks;
}

void SetItemMarks(App& app, std::vector<std::uint8_t> marks) {
    app.form.条目标记->setMarks(std::move(marks));
    showCount(app);
    // The log may have changed under us: it is read again when a line is next shown.
    app.state.logged_folder.clear();
    app.state.logged_judgements.clear();
    ShowTakeQuality(app);
}

bool LatestJudgementOf(App& app, const QString& path, quality::Judgement* judgement) {
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo info(path);
    const QString absolute = info.absoluteFilePath();
    ProgramState& s = app.state;
    if (const auto it = s.judged_takes.constFind(absolute); it != s.judged_takes.cend()) {
        *judgement = *it;
        return true;
    }
    // The log of the shown file's folder, read once until the marks are set again.
    if (s.logged_folder != info.absolutePath()) {
        s.logged_folder = info.absolutePath();
        s.logged_judgements.clear();
        ReadTakeLog(s.logged_folder, &s.logged_judgements, nullptr);
    }
    const auto it = s.logged_judgements.constFind(info.fileName());
    if (it == s.logged_judgements.cend()) {
        return false;
    }
    *judgement = *it;
    return true;
}

void RefreshItemMarks(App& app) {
    const QString folder = app.form.编辑框_保存路径->text();
    // Without a folder no item has a recording: the texts of a long list are not even read.
    SetItemMarks(app, CleanFolder(folder).isEmpty()
                          ? std::vector<std::uint8_t>{}
                          : ComputeItemMarks(folder, itemsOf(app.form.列表框_录音文本列表),
                                             app.state.item_table.get(), ListNamingNow(app),
                                             app.state.judged_takes));
}

void MarkTakeRecorded(App& app, int row, const QString& item, const QString& path,
                      const TakeCheck& check) {
    const quality::Judgement& j = check.judgement();
    std::uint8_t mark =
        check.clipped() ? ItemMarks::kRecorded | ItemMarks::kRedo : ItemMarks::kRecorded;
    if (j.frames > 0) {
        app.state.judged_takes.insert(QFileInfo(path).absoluteFilePath(), j);
        mark = ItemMarks::markOf(j.verdict);
    }
    if (row < 0 || row >= app.form.列表框_录音文本列表->count() ||
        ItemEntryOfRow(app, row).item != item) {
        RefreshItemMarks(app);
        return;
    }
    app.form.条目标记->setMark(row, mark);
    showCount(app);
    ShowTakeQuality(app);
}

namespace {

// The row after `from` (before it when `backwards`) that `wanted` accepts, wrapping at the ends,
// `from` itself last; -1 when there is none.
template <class Wanted>
int nextRowWhere(App& app, int from, bool backwards, Wanted&& wanted) {
    const int n = app.form.列表框_录音文本列表->count();
    if (n == 0) {
        return -1;
    }
    const int step = backwards ? n - 1 : 1;
    int row = from < 0 ? (backwards ? 0 : n - 1) : from;
    for (int i = 0; i < n; ++i) {
        row = (row + step) % n;
        if (wanted(row)) {
            return row;
        }
    }
    return -1;
}

void selectRow(App& app, int row) {
    QListWidget* list = app.form.列表框_录音文本列表;
    if (row >= 0 && row != list->currentRow()) {
        list->setCurrentRow(row);
    }
}

}  // namespace

bool ItemSkipped(const App& app, int row) {
    return (app.form.条目标记->mark(row) & ItemMarks::kSkipped) != 0;
}

void MarkItemSkipped(App& app, int row) {
    app.form.条目标记->setMark(row, ItemMarks::kSkipped);
    showCount(app);
}

int NextUnrecordedRow(App& app, int from, bool backwards) {
    return nextRowWhere(app, from, backwards, [&app](int row) {
        return (app.form.条目标记->mark(row) & ItemMarks::kRecorded) == 0 && !ItemSkipped(app, row);
    });
}

void SelectNextUnrecorded(App& app, bool backwards) {
    selectRow(app, NextUnrecordedRow(app, app.form.列表框_录音文本列表->currentRow(), backwards));
}

int NextRedoRow(App& app, int from, bool backwards) {
    return nextRowWhere(app, from, backwards, [&app](int row) {
        return (app.form.条目标记->mark(row) & ItemMarks::kRedo) != 0;
    });
}

void SelectNextRedo(App& app, bool backwards) {
    selectRow(app, NextRedoRow(app, app.form.列表框_录音文本列表->currentRow(), backwards));
}

}  // namespace quillar
