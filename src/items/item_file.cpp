#include "items/item_file.h"

#include "app/app.h"

namespace quillar {

void LoadItemFile(App&, const QString&) {}

}  // namespace quillar
