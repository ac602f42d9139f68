#include "export/take_textgrids.h"

#include <QFileInfo>
#include <QHash>
#include <cstring>
#include <vector>

#include "annotation/take_textgrid.h"
#include "items/listed_folder.h"
#include "quality/wav_judgement.h"

namespace quillar {

bool WriteMissingTextGrids(const ExportSource& source, const ExportFolder& folder,
                           TakeTextGridsResult* result, QString* error,
                           const ExportProgress& progress) {
    *result = TakeTextGridsResult{};
    // The takes lie in the folder and in the subfolders the list's names use.
    ListedFolder listed;
    if (!ReadListedFolder(source.folder, source.list, source.nameTemplate, source.asciiNames,
                          &listed, error)) {
        return false;
    }
    const QStringList files = TakeFilesOf(listed, false);
    QHash<QString, const ExportItem*> byFile;
    for (const ExportItem& item : folder.items) {
        if (item.hasTake()) {
            byFile.insert(item.file, &item);
        }
    }
    const QHash<QString, QString> logged = LoggedItemsOf(listed);
    std::vector<std::uint8_t> scratch;
    const int total = static_cast<int>(files.size());
    for (int i = 0; i < total; ++i) {
        const QString& file = files[i];
        const QString path = listed.folder + u'/' + file;
        if (QFileInfo::exists(annotation::TextGridPathOf(path))) {
            ++result->present;
        } else {
            QString text;
            std::optional<QString> gloss;
            if (const ExportItem* item = byFile.value(file)) {
                text = item->text;
                if (folder.table) {
                    gloss = item->entry.gloss;
                }
            } else {
                text = logged.value(file, QFileInfo(file).completeBaseName());
            }
            const quality::WavJudgement wav =
                quality::JudgeWavFile(path, quality::Profile::None, scratch);
            if (wav.judgement.has(quality::kUnreadable)) {
                result->unreadable.append(file);
            } else {
                int code = 0;
                if (!annotation::WriteTakeTextGrid(path, wav.judgement.frames, wav.rate,
                                                   wav.judgement.speech, text, gloss, &code)) {
                    *error = QStringLiteral("cannot write the TextGrid of %1: %2")
                                 .arg(file, QString::fromLocal8Bit(std::strerror(code)));
                    return false;
                }
                ++result->written;
            }
        }
        if (progress) {
            progress(i + 1, total);
        }
    }
    return true;
}

}  // namespace quillar
