// The items with a take as a LIFT lexicon at `liftPath`, each take copied (never moved) under
// "audio/" beside it and checked by reading back.
#pragma once

#include <QString>

#include "export/export_folder.h"

namespace quillar {

struct LiftExportResult {
    int entries = 0;  // items written (those with a take)
};

// False, with the reason, when anything could not be written or a copy did not read back as its
// take; a file already at a copy's place that is not the same take is never overwritten.
bool ExportLift(const ExportFolder& folder, const QString& liftPath, LiftExportResult* result,
                QString* error, const ExportProgress& progress = {});

}  // namespace quillar
