// The LIFT and deposit exports as RunExport calls them, kept apart from the command so that the
// exports themselves can change without it.
#include "export/export_command.h"

namespace quillar {

ExportSteps LibraryExportSteps() {
    ExportSteps steps;
    steps.lift = [](const ExportFolder&, const ExportRequest& request, QString*, QString* error,
                    const ExportProgress&) {
        *error =
            QStringLiteral("cannot write %1: the LIFT export is not built in").arg(request.lift);
        return false;
    };
    steps.deposit = [](const ExportFolder&, const ExportRequest& request, QString*, QString* error,
                       const ExportProgress&) {
        *error = QStringLiteral("cannot deposit into %1: the deposit is not built in")
                     .arg(request.deposit);
        return false;
    };
    return steps;
}

}  // namespace quillar
