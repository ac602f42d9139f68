#include "items/recording_marks.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "items/item_list.h"
#include "kit/app.h"
#include "kit/item_marks.h"
#include "kit/main_form.h"
#include "platform/file_io.h"
#include "record/recording_names.h"
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
                                  const QHash<QString, bool>& clipped) {
    std::vector<std::uint8_t> marks(static_cast<std::size_t>(names.size()), ItemMarks::kNone);
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (!names[i].isEmpty() && files.contains(names[i])) {
            marks[static_cast<std::size_t>(i)] = clipped.value(names[i], false)
                                                     ? ItemMarks::kRecorded | ItemMarks::kClipped
                                                     : ItemMarks::kRecorded;
        }
    }
    return marks;
}

void ClearItemMarks(App& app) {
    app.form.条目标记->setMarks({});
    showCount(app);
}

std::vector<std::uint8_t> ComputeItemMarks(const QString& folderText, const QStringList& items,
                                           const QHash<QString, bool>& sessionClipped) {
    QString folder;
    const QStringList names = RecordingNamesOf(folderText, items, &folder);
    if (folder.isEmpty()) {
        return {};
    }
    QHash<QString, bool> clipped = ClippedTakesOf(folder);
    // Takes of this session win over the log, which may have missed a line.
    const QString prefix = QFileInfo(folder).absoluteFilePath() + u'/';
    for (auto it = sessionClipped.cbegin(); it != sessionClipped.cend(); ++it) {
        if (it.key().startsWith(prefix) && !it.key().sliced(prefix.size()).contains(u'/')) {
            clipped.insert(fileNameOf(it.key()), it.value());
        }
    }
    return MarksOf(names, FileNamesIn(folder), clipped);
}

void SetItemMarks(App& app, std::vector<std::uint8_t> marks) {
    app.form.条目标记->setMarks(std::move(marks));
    showCount(app);
}

void RefreshItemMarks(App& app) {
    const QString folder = app.form.编辑框_保存路径->text();
    // Without a folder no item has a recording: the texts of a long list are not even read.
    SetItemMarks(app, CleanFolder(folder).isEmpty()
                          ? std::vector<std::uint8_t>{}
                          : ComputeItemMarks(folder, itemsOf(app.form.列表框_录音文本列表),
                                             app.state.clipped_takes));
}

void MarkTakeRecorded(App& app, int row, const QString& item, const QString& path, bool clipped) {
    app.state.clipped_takes.insert(QFileInfo(path).absoluteFilePath(), clipped);
    const QListWidgetItem* at = app.form.列表框_录音文本列表->item(row);
    if (at == nullptr || at->text() != item) {
        RefreshItemMarks(app);
        return;
    }
    app.form.条目标记->setMark(
        row, clipped ? ItemMarks::kRecorded | ItemMarks::kClipped : ItemMarks::kRecorded);
    showCount(app);
}

int NextUnrecordedRow(App& app, int from, bool backwards) {
    const ItemMarks* marks = app.form.条目标记;
    const int n = app.form.列表框_录音文本列表->count();
    if (n == 0) {
        return -1;
    }
    const int step = backwards ? n - 1 : 1;
    int row = from < 0 ? (backwards ? 0 : n - 1) : from;
    for (int i = 0; i < n; ++i) {
        row = (row + step) % n;
        if ((marks->mark(row) & ItemMarks::kRecorded) == 0) {
            return row;
        }
    }
    return -1;
}

void SelectNextUnrecorded(App& app, bool backwards) {
    QListWidget* list = app.form.列表框_录音文本列表;
    const int row = NextUnrecordedRow(app, list->currentRow(), backwards);
    if (row >= 0 && row != list->currentRow()) {
        list->setCurrentRow(row);
    }
}

}  // namespace quillar
