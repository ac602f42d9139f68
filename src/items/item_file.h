// Loading the item file into the item list.
#pragma once

#include <QString>

namespace quillar {

struct App;

// Replaces the item list with the lines of the file at `path`, selects the first item and shows it.
void LoadItemFile(App& app, const QString& path);

}  // namespace quillar
