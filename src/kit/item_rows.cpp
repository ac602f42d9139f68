#include "kit/item_rows.h"

#include <QListWidget>

#include "kit/app.h"
#include "kit/main_form.h"

namespace quillar {

bool ListIsTable(const App& app) {
    return app.state.item_table != nullptr && app.state.item_table->table;
}

ItemEntry ItemEntryOfRow(const App& app, int row) {
    const QListWidget* list = app.form.列表框_录音文本列表;
    if (row < 0 || row >= list->count()) {
        return {};
    }
    if (ListIsTable(app)) {
        const std::vector<ItemEntry>& rows = app.state.item_table->rows;
        // The table and the list are filled together; a list still being filled in slices has
        // fewer rows than its table, never more.
        return static_cast<std::size_t>(row) < rows.size() ? rows[static_cast<std::size_t>(row)]
                                                           : ItemEntry{};
    }
    ItemEntry entry;
    entry.item = list->item(row)->text();
    return entry;
}

ItemEntry CurrentItemEntry(const App& app) {
    return ItemEntryOfRow(app, app.form.列表框_录音文本列表->currentRow());
}

QString ItemRowText(const ItemEntry& entry) {
    return entry.id.isEmpty() ? entry.item : entry.id + u' ' + entry.item;
}

int OccurrenceOfRow(const App& app, int row) {
    return ListIsTable(app) ? 1 : occurrenceOfRow(app.form.列表框_录音文本列表, row);
}

}  // namespace quillar
