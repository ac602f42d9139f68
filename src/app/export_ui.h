// "导出" from the options dialog: the chosen exports of the auto-save folder run off the window
// thread, the same request quillar-export runs, with their progress and outcome in the dialog.
// GUI thread only.
#pragma once

#include <QString>

#include "kit/export_dialog.h"

class QWidget;

namespace quillar {

struct App;
struct ExportRequest;

// What the dialog proposes for `folder`: TextGrids for the takes without one, and the session,
// lexicon and deposit, when chosen, under the folder's "导出" subfolder, named by the folder.
ExportChoices DefaultExportChoices(const QString& folder);
// The request for `choices` over the folder and word list in place, named as the options name
// the takes; relative paths in the choices lie in the folder.
ExportRequest ExportRequestOf(const App& app, const ExportChoices& choices);
// Shows the dialog over `parent`; nothing while a take runs, as for the options themselves.
void OpenExportDialog(App& app, QWidget* parent);

}  // namespace quillar
