#include "annotation/take_textgrid.h"

#include <QSaveFile>
#include <cerrno>

#include "annotation/textgrid.h"

namespace quillar::annotation {

QString TextGridPathOf(const QString& wavPath) {
    QString stem = wavPath;
    if (stem.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive)) {
        stem.chop(4);
    }
    return stem + QStringLiteral(".TextGrid");
}

bool WriteTakeTextGrid(const QString& wavPath, std::uint64_t frames, std::uint32_t rate,
                       const quality::SpeechInterval& speech, const QString& itemText,
                       const std::optional<QString>& gloss, int* error) {
    const double seconds = rate ? static_cast<double>(frames) / rate : 0.0;
    const QByteArray text =
        TextGridText(0.0, seconds,
                     TakeTiers(seconds, speech.found(), speech.beginSeconds(rate),
                               speech.endSeconds(rate), itemText, gloss));
    // Beside the take and renamed into place once flushed: a crash leaves the old file or none,
    // never a half-written one that Praat would refuse.
    errno = 0;
    QSaveFile file(TextGridPathOf(wavPath));
    const bool written =
        file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.commit();
    if (!written && error) {
        *error = errno != 0 ? errno : EIO;
    }
    return written;
}

}  // namespace quillar::annotation
