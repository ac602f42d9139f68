#include "items/listed_folder.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "items/item_file.h"
#include "items/recording_marks.h"
#include "naming/recording_names.h"
#include "record/take_log.h"
#include "record/take_naming.h"
#include "record/take_replacement.h"

namespace quillar {

namespace {

QStringList wavFilesIn(const QString& folder, const QString& prefix) {
    QStringList files;
    for (const QString& name : FileNamesIn(folder)) {
        if (name.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive)) {
            files.append(prefix + name);
        }
    }
    return files;
}

}  // namespace

ItemEntry ListedFolder::entry(qsizetype i) const {
    if (isTable()) {
        return table->rows[static_cast<std::size_t>(i)];
    }
    ItemEntry e;
    e.item = items[i];
    return e;
}

bool ReadListedFolder(const QString& folder, const QString& list, const QString& nameTemplate,
                      bool asciiNames, ListedFolder* listed, QString* error) {
    *listed = ListedFolder{};
    const QFileInfo folderInfo(folder);
    if (!folderInfo.isDir() || !QDir(folder).isReadable()) {
        *error = QStringLiteral("cannot read the folder %1").arg(folder);
        return false;
    }
    listed->folder = folderInfo.absoluteFilePath();
    listed->list = list;
    if (!list.isEmpty()) {
        const QFileInfo listInfo(list);
        if (!listInfo.isFile() || !listInfo.isReadable()) {
            *error = QStringLiteral("cannot read the word list %1").arg(list);
            return false;
        }
        ItemFileContent content = ReadItemFileContent(list);
        if (content.notText) {
            *error = QStringLiteral("the word list %1 is not text").arg(list);
            return false;
        }
        if (!content.refusal.isEmpty()) {
            *error = QStringLiteral("the word list %1 cannot be read as a table: %2")
                         .arg(list, content.refusal);
            return false;
        }
        if (content.table.table) {
            listed->table = std::make_shared<const ItemTable>(std::move(content.table));
        }
        // A list of nothing (or only blank lines) would pass every folder: a wrong file, not a
        // finished survey.
        if (std::all_of(content.items.cbegin(), content.items.cend(), IsBlankItem)) {
            *error = QStringLiteral("the word list %1 holds no items").arg(list);
            return false;
        }
        listed->items = std::move(content.items);
    }
    listed->session = readSessionFile(listed->folder + u'/' + QLatin1String(kSessionFileName));
    if (!listed->items.isEmpty()) {
        // The list's names, as the window makes them: the folder's session gives {speaker}.
        const auto& session = listed->session.session;
        const ListNaming naming = ListNamingOf(nameTemplate, asciiNames, listed->isTable(), list,
                                               session ? session->speaker.code : QString());
        QString listedFolder;
        listed->names = RecordingNamesOf(listed->folder, listed->items, listed->table.get(), naming,
                                         &listedFolder);
        listed->subfolders = SubfoldersOf(listed->names);
    }
    return true;
}

QStringList TakeFilesOf(const ListedFolder& listed, bool earlier) {
    const QString& folder = listed.folder;
    QStringList files = wavFilesIn(folder, QString());
    for (const QString& sub : listed.subfolders) {
        files += wavFilesIn(folder + u'/' + sub, sub + u'/');
        if (earlier) {
            files += wavFilesIn(folder + u'/' + sub + u'/' + kEarlierTakesFolder,
                                sub + u'/' + kEarlierTakesFolder + u'/');
        }
    }
    if (earlier) {
        files += wavFilesIn(folder + u'/' + kEarlierTakesFolder, kEarlierTakesFolder + u'/');
    }
    std::sort(files.begin(), files.end());
    return files;
}

QHash<QString, QString> LoggedItemsOf(const ListedFolder& listed) {
    QHash<QString, QString> logged;
    ReadTakeLog(listed.folder, nullptr, &logged);
    for (const QString& sub : listed.subfolders) {
        QHash<QString, QString> there;
        ReadTakeLog(listed.folder + u'/' + sub, nullptr, &there);
        for (auto it = there.cbegin(); it != there.cend(); ++it) {
            logged.insert(sub + u'/' + it.key(), it.value());
        }
    }
    return logged;
}

QHash<qsizetype, QString> SkippedItemsOf(const ListedFolder& listed) {
    QHash<QString, LoggedSkips> skips;
    ReadTakeLog(listed.folder, nullptr, nullptr, &skips[QString()]);
    for (const QString& sub : listed.subfolders) {
        ReadTakeLog(listed.folder + u'/' + sub, nullptr, nullptr, &skips[sub]);
    }
    return SkippedRowsOf(listed.names, skips, [&listed](qsizetype i) {
        const ItemEntry e = listed.entry(i);
        return SkipKeyOf(listed.isTable() ? e.id : QString(), e.item);
    });
}

}  // namespace quillar
