#include "export/export_folder.h"

#include <QFileInfo>
#include <QSet>

#include "items/listed_folder.h"
#include "kit/item_rows.h"

namespace quillar {

bool ReadExportFolder(const ExportSource& source, ExportFolder* folder, QString* error) {
    *folder = ExportFolder{};
    ListedFolder listed;
    if (!ReadListedFolder(source.folder, source.list, source.nameTemplate, source.asciiNames,
                          &listed, error)) {
        return false;
    }
    if (!listed.session.error.isEmpty()) {
        *error =
            QStringLiteral("the session file %1 is not valid: %2")
                .arg(listed.folder + u'/' + QLatin1String(kSessionFileName), listed.session.error);
        return false;
    }
    folder->folder = listed.folder;
    folder->list = source.list;
    folder->table = listed.isTable();
    folder->session = listed.session.session;
    const QStringList files = TakeFilesOf(listed, false);
    if (listed.items.isEmpty()) {
        // Without a list the takes are the items, named by the take log where it knows them.
        const QHash<QString, QString> logged = LoggedItemsOf(listed);
        for (const QString& f : files) {
            ExportItem item;
            const auto it = logged.constFind(f);
            item.entry.item = it != logged.cend() ? *it : QFileInfo(f).completeBaseName();
            item.text = item.entry.item;
            item.file = f;
            folder->items.push_back(std::move(item));
        }
        return true;
    }
    const QSet<QString> present(files.cbegin(), files.cend());
    for (qsizetype i = 0; i < listed.names.size(); ++i) {
        if (listed.names[i].isEmpty()) {
            continue;  // a blank line names no take
        }
        ExportItem item;
        item.entry = listed.entry(i);
        item.text = ItemRowText(item.entry);
        if (present.contains(listed.names[i])) {
            item.file = listed.names[i];
        }
        folder->items.push_back(std::move(item));
    }
    return true;
}

}  // namespace quillar
