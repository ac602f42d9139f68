#include "export/lift_export.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <vector>

#include "annotation/lift.h"
#include "export/verified_copy.h"
#include "naming/recording_names.h"
#include "platform/file_io.h"

namespace quillar {

namespace {

const QString kMediaFolder = QStringLiteral("audio");

// Names Windows keeps for its devices whatever the extension: "CON.wav" cannot be made there.
bool deviceName(const QString& stem) {
    static const QSet<QString> kNames = [] {
        QSet<QString> names = {QStringLiteral("CON"), QStringLiteral("PRN"), QStringLiteral("AUX"),
                               QStringLiteral("NUL")};
        for (int i = 1; i <= 9; ++i) {
            names.insert(QStringLiteral("COM%1").arg(i));
            names.insert(QStringLiteral("LPT%1").arg(i));
        }
        return names;
    }();
    return kNames.contains(stem.section(u'.', 0, 0).trimmed().toUpper());
}

// The name of a take's copy under audio/: its path in the folder with "/" as "-", so that takes
// of one item name in several subfolders stay apart, cut and cleaned to what FAT, exFAT and NTFS
// take as well as any Unix file system (the copy goes wherever the lexicon is carried), and
// unique even where case does not count. `used` holds the case-folded names given so far.
QString mediaName(const QString& file, QSet<QString>* used) {
    const QFileInfo info(file);
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix().toLower();
    QString stem = file.left(file.size() - suffix.size());
    stem.replace(u'/', u'-');
    if (deviceName(stem)) {
        stem.prepend(u'_');
    }
    const NameRules everywhere{.nameMax = 255, .restricted = true};
    QString name = FitFileName(stem, suffix, everywhere, file);
    for (int n = 2; used->contains(name.toCaseFolded()); ++n) {
        name = FitFileName(stem + QStringLiteral(" (%1)").arg(n), suffix, everywhere,
                           file + QString::number(n));
    }
    used->insert(name.toCaseFolded());
    return name;
}

struct LiftMedia {
    QString source;         // absolute
    QString target;         // absolute, under audio/
    QString sha256;         // the source's
    bool standing = false;  // the same bytes already lie at target
};

// Writes the lexicon through a temporary file beside it, read back before it replaces an
// earlier lexicon of the same name.
bool writeLexicon(const QByteArray& text, const QString& path, QString* error) {
    const QString temp = QFileInfo(path).path() +
                         QStringLiteral("/.quillar-lift-%1.part").arg(platform::processId());
    platform::removeFile(temp);  // a leftover of a run that stopped: only ever ours
    if (!WriteVerified(text, temp, error)) {
        return false;
    }
    if (!platform::renameReplacing(temp, path)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, qt_error_string(errno));
        platform::removeFile(temp);
        return false;
    }
    platform::syncFolder(QFileInfo(path).path());
    return true;
}

}  // namespace

bool ExportLift(const ExportFolder& folder, const QString& liftPath, LiftExportResult* result,
                QString* error, const ExportProgress& progress) {
    *result = LiftExportResult{};
    error->clear();
    if (liftPath.isEmpty()) {
        *error = QStringLiteral("no LIFT file given");
        return false;
    }
    const QString base = QFileInfo(liftPath).absolutePath();
    const QString mediaFolder = base + u'/' + kMediaFolder;

    annotation::LiftLexicon lexicon;
    lexicon.formLanguage = folder.session && !folder.session->speaker.languages.isEmpty()
                               ? folder.session->speaker.languages.first()
                               : QStringLiteral("und");
    lexicon.produced = QDateTime::currentDateTimeUtc();
    std::vector<LiftMedia> media;
    QSet<QString> names;
    QSet<QString> ids;
    for (const ExportItem& item : folder.items) {
        if (!item.hasTake()) {
            continue;
        }
        const QString name = mediaName(item.file, &names);
        // A plain list's homographs share their text: the later ones are told apart as their
        // files are.
        const QString id =
            folder.table && !item.entry.id.isEmpty() ? item.entry.id : item.entry.item;
        QString uniqueId = id;
        for (int n = 2; ids.contains(uniqueId); ++n) {
            uniqueId = QStringLiteral("%1 (%2)").arg(id).arg(n);
        }
        ids.insert(uniqueId);
        lexicon.entries.push_back({.id = uniqueId,
                                   .form = item.entry.item,
                                   .gloss = item.entry.gloss,
                                   .note = item.entry.note,
                                   .mediaHref = kMediaFolder + u'/' + name});
        LiftMedia m;
        m.source = folder.folder + u'/' + item.file;
        m.target = mediaFolder + u'/' + name;
        media.push_back(std::move(m));
    }

    if (!QDir().mkpath(mediaFolder)) {
        *error = QStringLiteral("cannot make the folder %1").arg(mediaFolder);
        return false;
    }
    // A copy from an earlier export of the same takes is kept; anything else at a copy's place
    // stops the export before the first copy.
    QStringList others;
    for (LiftMedia& m : media) {
        m.sha256 = FileSha256(m.source);
        if (m.sha256.isEmpty()) {
            *error = QStringLiteral("cannot read %1").arg(m.source);
            return false;
        }
        if (platform::pathInfo(m.target).exists) {
            m.standing = platform::pathInfo(m.target).isFile && FileSha256(m.target) == m.sha256;
            if (!m.standing) {
                others.append(QDir(base).relativeFilePath(m.target));
            }
        }
    }
    if (!others.isEmpty()) {
        *error = QStringLiteral(
                     "%1 already hold other files than the takes; they are never "
                     "replaced, so nothing was copied")
                     .arg(others.join(QStringLiteral(", ")));
        return false;
    }

    PlacedFiles placed;
    const int total = static_cast<int>(media.size());
    if (progress) {
        progress(0, total);
    }
    for (std::size_t i = 0; i < media.size(); ++i) {
        const LiftMedia& m = media[i];
        if (!m.standing) {
            if (!CopyVerified(m.source, m.target, m.sha256, error)) {
                return false;
            }
            placed.add(m.target);
        }
        if (progress) {
            progress(static_cast<int>(i) + 1, total);
        }
    }
    if (!writeLexicon(annotation::LiftText(lexicon), liftPath, error)) {
        return false;
    }
    placed.keep();
    result->entries = static_cast<int>(lexicon.entries.size());
    return true;
}

}  // namespace quillar
