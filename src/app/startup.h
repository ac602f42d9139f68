// Bringing the program up and taking it down. GUI thread only.
#pragma once

#include <QStringList>

namespace quillar {

struct App;

// The main window exists: lists the capture devices, opens the output, prepares the spectrum
// board, restores the saved paths and loads the item file they name, at the item selected when
// it was last left.
void OnMainWindowCreated(App& app);
// Asks the engine for the recording devices on the device worker, then fills 组合框1 with them
// (ShowRecordingDevices). GUI thread.
void ListRecordingDevices(App& app);
// Fills 组合框1 with `names` (system default first), keeping the device chosen before when it is
// still there; a list that has not changed leaves the box and the kept input alone. GUI thread.
void ShowRecordingDevices(App& app, const QStringList& names);
// The window is asked to close: true to let it. While a recording runs, or a take exists only in
// memory, the user is asked first, as closing would throw it away; a yes drops its journal.
bool ConfirmClose(App& app);
// The main window is closing: keeps the selected item's position, frees the capture device, the
// output and every stream.
void OnMainWindowDestroyed(App& app);

}  // namespace quillar
