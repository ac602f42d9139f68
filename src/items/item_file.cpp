#include "items/item_file.h"

#include <QFile>
#include <QListWidget>
#include <QSignalBlocker>
#include <QTimer>

#include "items/item_list.h"
#include "items/recording_marks.h"
#include "items/text_encoding.h"
#include "kit/app.h"
#include "kit/main_form.h"

namespace quillar {

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

QStringList ReadItemFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    return SplitItemLines(DecodeText(bytes, DetectTextEncodingOf(bytes)));
}

void LoadItemFile(App& app, const QString& path, int row) {
    const QStringList items = ReadItemFile(path);
    QListWidget* list = app.form.列表框_录音文本列表;
    {
        // Filling the list would report a selection change per step; the first item is shown
        // once, below, whatever the list reports.
        const QSignalBlocker quiet(list);
        // Every row is one line of text: uniform sizes spare the view from measuring 100,000 rows.
        list->setUniformItemSizes(true);
        list->clear();
        list->addItems(items);
        list->setCurrentRow(row > 0 && row < items.size() ? row : 0);
    }
    OnItemSelected(app);
    // The first item shows now; the marks of a long list come from a folder listing and the take
    // log, so they follow once the window has painted. Until then no mark of the previous list
    // stands beside the new one's items.
    ClearItemMarks(app);
    QTimer::singleShot(0, list, [&app] { RefreshItemMarks(app); });
}

}  // namespace quillar
