#include "record/take_naming.h"

#include <QLineEdit>

#include "kit/app.h"
#include "kit/item_rows.h"
#include "kit/main_form.h"
#include "record/take_info.h"

namespace quillar {

ListNaming ListNamingOf(const QString& templateText, bool asciiNames, bool table,
                        const QString& itemFilePath, const QString& speaker, QString* problem) {
    ListNaming naming;
    naming.context.speaker = speaker;
    naming.context.list = ListNameOf(itemFilePath);
    naming.context.table = table;
    naming.context.asciiOnly = asciiNames;
    const QString wanted = templateText.trimmed();
    QString error;
    std::optional<NameTemplate> tmpl;
    if (!wanted.isEmpty()) {
        tmpl = ParseNameTemplate(wanted, &error);
    }
    if (!tmpl) {
        tmpl = ParseNameTemplate(DefaultNameTemplate(table));
    }
    if (problem != nullptr) {
        *problem = error;
    }
    naming.tmpl = *tmpl;
    return naming;
}

ListNaming ListNamingNow(const App& app, QString* problem) {
    const RecordingOptions& o = app.state.options;
    return ListNamingOf(o.name_template, o.ascii_names, ListIsTable(app),
                        app.form.编辑框_录音文本源路径->text(),
                        app.state.session ? app.state.session->speaker.code : QString(), problem);
}

QString NamingProblemOf(const RecordingOptions& options, const QStringList& items,
                        const ItemTable* table, const QString& itemFilePath,
                        const std::optional<Session>& session, const QString& folderText) {
    QString problem;
    if (!options.name_template.isEmpty() && !ParseNameTemplate(options.name_template, &problem)) {
        return problem;
    }
    const bool isTable = table != nullptr && table->table;
    if (!isTable && options.name_template.isEmpty()) {
        return QString();
    }
    const ListNaming naming =
        ListNamingOf(options.name_template, options.ascii_names, isTable, itemFilePath,
                     session ? session->speaker.code : QString());
    ItemTable plain;
    if (!isTable) {
        plain.rows.reserve(static_cast<std::size_t>(items.size()));
        for (const QString& item : items) {
            ItemEntry entry;
            entry.item = item;
            plain.rows.push_back(std::move(entry));
        }
    }
    return CheckNameTemplate(naming.tmpl, isTable ? *table : plain, naming.context,
                             NameRulesOf(CleanFolder(folderText)));
}

void LabelTakeNaming(const App& app, TakeLabels& labels) {
    const ListNaming naming = ListNamingNow(app);
    labels.nameTemplate = naming.tmpl.text;
    labels.asciiNames = naming.context.asciiOnly;
    labels.table = naming.context.table;
}

QString TakeFileOf(const QString& folder, const QString& item, int occurrence,
                   const TakeLabels& labels, const QDateTime& started) {
    std::optional<NameTemplate> tmpl;
    if (!labels.nameTemplate.isEmpty()) {
        tmpl = ParseNameTemplate(labels.nameTemplate);
    }
    if (!tmpl) {
        // No template (or one a later version wrote that this one cannot read): the name the
        // item always had, so the take still lands where its item is looked for.
        return TakeFilePath(folder, item, occurrence, started);
    }
    NamingContext context;
    context.speaker = labels.session ? labels.session->speaker.code : QString();
    context.list = ListNameOf(labels.list);
    context.table = labels.table;
    context.asciiOnly = labels.asciiNames;
    ItemEntry entry;
    entry.id = labels.id;
    entry.item = item;
    entry.note = labels.note;
    entry.gloss = labels.gloss;
    return TemplateTakePath(folder, *tmpl, entry, occurrence, context, started);
}

}  // namespace quillar
