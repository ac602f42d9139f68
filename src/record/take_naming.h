// How the takes of the loaded list are named now, and the file a take is saved to: one place
// for the window's lookup, the save, the journal's pending and recovered takes and the marks, so
// that what is saved is always found again. GUI thread apart from TakeFileOf (any thread).
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

#include "naming/name_template.h"

namespace quillar {

struct App;
struct RecordingOptions;
struct Session;
struct TakeLabels;

// The list's naming as the options, the list and the session have it now.
struct ListNaming {
    NameTemplate tmpl;
    NamingContext context;
};

// The template of the options ("文件名模板"), or the list's own default when none is set or the
// one set cannot compose names (`*problem` then says why; the default is used meanwhile).
ListNaming ListNamingNow(const App& app, QString* problem = nullptr);
// The same for options, a list and a session that are not (yet) the window's: what a change
// would make of the names.
ListNaming ListNamingOf(const QString& templateText, bool asciiNames, bool table,
                        const QString& itemFilePath, const QString& speaker,
                        QString* problem = nullptr);

// Why the options' "文件名模板" and "文件名仅ASCII" cannot name every item of a list in the
// auto-save folder `folderText`: a template that does not parse, an item without a name, two
// items to one file (CheckNameTemplate); empty when they can. The list is `table` when it is one,
// else the plain list of `items`, which under the described name never clashes (its homographs
// are numbered).
QString NamingProblemOf(const RecordingOptions& options, const QStringList& items,
                        const ItemTable* table, const QString& itemFilePath,
                        const std::optional<Session>& session, const QString& folderText);

// Puts the naming of this moment into a new take's labels, so that it is saved by the name it
// was begun under whatever changes meanwhile.
void LabelTakeNaming(const App& app, TakeLabels& labels);

// The file a take of `item` (its `occurrence`-th in a plain list) with `labels`, begun at
// `started`, is saved to in `folder`: by the template it was begun under, or, for a take that
// had none (a journal of an older run), by its item's own name. Empty without a folder. Any
// thread.
QString TakeFileOf(const QString& folder, const QString& item, int occurrence,
                   const TakeLabels& labels, const QDateTime& started);

}  // namespace quillar
