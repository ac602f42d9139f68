#include "record/saving.h"

#include "app/app.h"

namespace quillar {

bool WriteRecordingFile(App&, const QString&) {
    return false;
}
void SaveRecordingAs(App&) {}

}  // namespace quillar
