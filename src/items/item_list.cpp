#include "items/item_list.h"

#include "app/app.h"

namespace quillar {

QString RecordingPathOf(const QString& folder, const QString& item) {
    return folder + "/" + item + ".wav";
}
QString RecordingPathOf(App&) {
    return QString();
}
void OnItemSelected(App&) {}
void OnItemListKeyDown(App&, int, int) {}

}  // namespace quillar
