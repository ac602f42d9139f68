// The recording session of the auto-save folder: the dialog "录音场次" opened from its button or
// F7 between takes, and the folder's quillar-session.json read when the folder is set. GUI
// thread only.
#pragma once

namespace quillar {

struct App;

// Shows the session (or an empty one) through the dialog seam unless a take runs (then it does
// nothing: no window may take the keyboard from the item list during a take). OK keeps the
// session in the program and writes it to <auto-save folder>/quillar-session.json; without a
// folder, or when the file cannot be written, a warning says so after the dialog and the session
// still holds until the folder changes or the program ends.
void OpenSessionDialog(App& app);

// Reads the auto-save folder's quillar-session.json into app.state.session: none when the folder
// is not set or has no such file. A file that cannot be read is reported, with its line, and
// leaves no session.
void LoadFolderSession(App& app);

}  // namespace quillar
