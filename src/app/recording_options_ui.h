// Opening the dialog "录音选项" from its button or F6, only between takes, and keeping what the
// user chose: in sys.ini and in the program's options. GUI thread only.
#pragma once

#include <QString>

namespace quillar {

struct App;
struct RecordingOptions;

// Why `options` cannot name the items of the list in place (a template that does not parse, an
// item without a name, two items to one file), or empty.
QString NamingProblemOf(const App& app, const RecordingOptions& options);

// Shows the dialog through the dialog seam unless a take runs (then it does nothing: no window
// may take the keyboard from the item list during a take). OK stores the options; when sys.ini
// cannot be written they still hold until the program ends, and a warning says so.
void OpenRecordingOptions(App& app);

}  // namespace quillar
