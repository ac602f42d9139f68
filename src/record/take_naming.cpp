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
