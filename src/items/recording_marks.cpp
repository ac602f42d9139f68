#include "items/recording_marks.h"

#include <dirent.h>

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
    QSet<QString> names;
    // readdir gives the type with the name: 50,000 files are listed without a stat each.
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (dir == nullptr) {
        return names;
    }
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_type == DT_REG || e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            names.insert(QFile::decodeName(e->d_name));
        }
    }
    ::closedir(dir);
    return names;
}

QStringList RecordingNamesOf(const QString& folder, const QStringList& items,
                             QString* listedFolder) {
    QStringList names;
    names.reserve(items.size());
    QHash<QString, int> seen;
    seen.reserve(items.size());
    listedFolder->clear();
    for (const QString& item : items) {
        const int occurrence = ++seen[item];
        const QString path = RecordingPathOf(folder, item, occurrence);
        if (path.isEmpty()) {
            return {};
        }
        if (listedFolder->isEmpty()) {
            *listedFolder = path.first(path.lastIndexOf(u'/'));
        }
        names.append(fileNameOf(path));
    }
    return names;
}

std::vector<std::uint8_t> MarksOf(const QStringList& names, const QSet<QString>& files,
                                  const QHash<QString, quality::Judgement>& judged) {
    std::vector<std::uint8_t> marks(static_cast<std::size_t>(names.size()), ItemMarks::kNone);
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (!files.contains(names[i])) {
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

void RefreshItemMarks(App& app) {
    QString folder;
    const QStringList names = RecordingNamesOf(app.form.编辑框_保存路径->text(),
                                               itemsOf(app.form.列表框_录音文本列表), &folder);
    std::vector<std::uint8_t> marks;
    ProgramState& s = app.state;
    s.logged_judgements.clear();
    s.logged_folder.clear();
    if (!folder.isEmpty()) {
        ReadTakeLog(folder, &s.logged_judgements, nullptr);
        s.logged_folder = QFileInfo(folder).absoluteFilePath();
        QHash<QString, quality::Judgement> judged = s.logged_judgements;
        // Takes of this session win over the log, which may have missed a line.
        const QString prefix = s.logged_folder + u'/';
        for (auto it = s.judged_takes.cbegin(); it != s.judged_takes.cend(); ++it) {
            if (it.key().startsWith(prefix) && !it.key().sliced(prefix.size()).contains(u'/')) {
                judged.insert(fileNameOf(it.key()), it.value());
            }
        }
        marks = MarksOf(names, FileNamesIn(folder), judged);
    }
    app.form.条目标记->setMarks(std::move(marks));
    showCount(app);
    ShowTakeQuality(app);
}

bool LatestJudgementOf(const App& app, const QString& path, quality::Judgement* judgement) {
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo info(path);
    const QString absolute = info.absoluteFilePath();
    const ProgramState& s = app.state;
    if (const auto it = s.judged_takes.constFind(absolute); it != s.judged_takes.cend()) {
        *judgement = *it;
        return true;
    }
    if (s.logged_folder.isEmpty() || info.absolutePath() != s.logged_folder) {
        return false;
    }
    const auto it = s.logged_judgements.constFind(info.fileName());
    if (it == s.logged_judgements.cend()) {
        return false;
    }
    *judgement = *it;
    return true;
}

void MarkSelectedItemRecorded(App& app, const QString& path, bool clipped) {
    const quality::Judgement& j = app.state.take_judgement;
    std::uint8_t mark = clipped ? ItemMarks::kRecorded | ItemMarks::kRedo : ItemMarks::kRecorded;
    if (j.frames > 0) {
        app.state.judged_takes.insert(QFileInfo(path).absoluteFilePath(), j);
        mark = ItemMarks::markOf(j.verdict);
    }
    const int row = app.form.列表框_录音文本列表->currentRow();
    if (row >= 0) {
        app.form.条目标记->setMark(row, mark);
    }
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
