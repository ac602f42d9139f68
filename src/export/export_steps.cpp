// The LIFT and deposit exports as RunExport calls them, kept apart from the command so that the
// exports themselves can change without it.
#include "export/deposit.h"
#include "export/export_command.h"
#include "export/lift_export.h"

namespace quillar {

ExportSteps LibraryExportSteps() {
    ExportSteps steps;
    steps.lift = [](const ExportFolder& folder, const ExportRequest& request, QString* report,
                    QString* error, const ExportProgress& progress) {
        LiftExportResult result;
        if (!ExportLift(folder, request.lift, &result, error, progress)) {
            return false;
        }
        *report += QStringLiteral("lexicon: %1 (%2 entries, their takes under audio/)\n")
                       .arg(request.lift)
                       .arg(result.entries);
        return true;
    };
    steps.deposit = [](const ExportFolder& folder, const ExportRequest& request, QString* report,
                       QString* error, const ExportProgress& progress) {
        DepositResult result;
        if (!ExportDeposit(folder, {request.deposit, request.collection}, &result, error,
                           progress)) {
            return false;
        }
        *report += QStringLiteral(
                       "deposit: %1 (%2 takes, %3 files, each read back by its "
                       "SHA-256)\n")
                       .arg(request.deposit)
                       .arg(result.copied)
                       .arg(result.files.size());
        return true;
    };
    return steps;
}

}  // namespace quillar
