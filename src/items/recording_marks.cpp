#include "items/recording_marks.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "items/item_list.h"
#include "items/take_quality_line.h"
#include "kit/app.h"
#include "kit/item_marks.h"
#include "kit/main_form.h"
#include "naming/recording_names.h"
#include "platform/file_io.h"
#include "record/recorder.h"
#include "record/take_log.h"

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
    app.form.标签_录音进度->setText(QStringLiteral("%1 / %2")
                                        .arg(marks->recordedCount())
                                        .arg(app.form.列表框_录音文本列表->count()));
}

QString fileNameOf(const QString& path) {
    return path.sliced(path.lastIndexOf(u'/') + 1);
}

}  // namespace

QSet<QString> FileNamesIn(const QString& folder) {
    return platform::plainFileNamesIn(folder);
}

QStringList RecordingNamesOf(const QString& folder, const QStringList& items,
                             QString* listedFolder) {
    *listedFolder = CleanFolder(folder);
    if (listedFolder->isEmpty()) {
        return {};
    }
    // One look at the file system for the whole list.
    const NameRules rules = NameRulesOf(*listedFolder);
    QStringList names;
    names.reserve(items.size());
    QHash<QString, int> seen;
    seen.reserve(items.size());
    for (const QString& item : items) {
        names.append(ItemFileName(item, ++seen[item], rules));
    }
    return names;
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

void ClearItemMarks(App& app) {
    app.form.条目标记->setMarks({});
    showCount(app);
}

std::vector<std::uint8_t> ComputeItemMarks(
    const QString& folderText, const QStringList& items,
    const QHash<QString, quality::Judgement>& sessionJudged) {
    QString folder;
    const QStringList names = RecordingNamesOf(folderText, items, &folder);
    if (folder.isEmpty()) {
        return {};
    }
    QHash<QString, quality::Judgement> judged;
    ReadTakeLog(folder, &judged, nullptr);
    // Takes of this session win over the log, which may have missed a line.
    const QString prefix = QFileInfo(folder).absoluteFilePath() + u'/';
    for (auto it = sessionJudged.cbegin(); it != sessionJudged.cend(); ++it) {
        if (it.key().startsWith(prefix) && !it.key().sliced(prefix.size()).contains(u'/')) {
            judged.insert(fileNameOf(it.key()), it.value());
        }
    }
    return MarksOf(names, FileNamesIn(folder), judged);
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
    const QListWidgetItem* at = app.form.列表框_录音文本列表->item(row);
    if (at == nullptr || at->text() != item) {
        RefreshItemMarks(app);
        return;
    }
    app.form.条目标记->setMark(row, mark);
    showCount(app);
    ShowTakeQuality(app);
}

namespace {

// The row after `from` (before it when `backwards`) whose mark `wanted` accepts, wrapping at
// the ends, `from` itself last; -1 when there is none.
template <class Wanted>
int nextRowWhere(App& app, int from, bool backwards, Wanted&& wanted) {
    const ItemMarks* marks = app.form.条目标记;
    const int n = app.form.列表框_录音文本列表->count();
    if (n == 0) {
        return -1;
    }
    const int step = backwards ? n - 1 : 1;
    int row = from < 0 ? (backwards ? 0 : n - 1) : from;
    for (int i = 0; i < n; ++i) {
        row = (row + step) % n;
        if (wanted(marks->mark(row))) {
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

int NextUnrecordedRow(App& app, int from, bool backwards) {
    return nextRowWhere(app, from, backwards,
                        [](std::uint8_t m) { return (m & ItemMarks::kRecorded) == 0; });
}

void SelectNextUnrecorded(App& app, bool backwards) {
    selectRow(app, NextUnrecordedRow(app, app.form.列表框_录音文本列表->currentRow(), backwards));
}

int NextRedoRow(App& app, int from, bool backwards) {
    return nextRowWhere(app, from, backwards,
                        [](std::uint8_t m) { return (m & ItemMarks::kRedo) != 0; });
}

void SelectNextRedo(App& app, bool backwards) {
    selectRow(app, NextRedoRow(app, app.form.列表框_录音文本列表->currentRow(), backwards));
}

}  // namespace quillar
