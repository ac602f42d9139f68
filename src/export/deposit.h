// A deposit for an archive: the latest take of every item copied (never moved) into a folder
// under archive-safe names, with their TextGrids, a metadata sheet and the session's file, every
// copy read back and its SHA-256 compared before the deposit counts as made.
#pragma once

#include <QString>
#include <QStringList>

#include "export/export_folder.h"

namespace quillar {

struct DepositOptions {
    QString dir;         // created when missing
    QString collection;  // CODE in CODE-SPEAKER-ID.wav; empty: none
};

struct DepositResult {
    int copied = 0;     // takes copied
    QStringList files;  // every file written, relative to dir
};

// False, with the reason, when a file could not be written or read back whole, or a file of the
// deposit already stands in dir (nothing in dir is ever overwritten; the check comes before the
// first copy).
bool ExportDeposit(const ExportFolder& folder, const DepositOptions& options, DepositResult* result,
                   QString* error, const ExportProgress& progress = {});

// The archive-safe name of a take: "CODE-SPEAKER-ID.wav", each part reduced to A-Z 0-9 - _ in
// upper case (accented Latin letters by their base letter, other characters dropped), the
// extension lower-case; empty parts left out with their hyphen. ID is the table's id, or for a
// plain list the item's place in the list, four digits ("0007").
QString DepositName(const QString& collection, const QString& speaker, const QString& id);

}  // namespace quillar
