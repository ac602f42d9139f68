// Any bytes as what a crash left in the state folder: a take's journal and the TakeInfo beside it.
// An input is a 2-byte little-endian length N, N bytes of the TakeInfo file, then the journal.
// The state folder is then recovered as at start-up, and its pending takes saved, as the window
// does. Every file written must be a WAV the player reads, holding no more than the journal did,
// inside the folders it was given.
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>

#include "audio/wav_layout.h"
#include "fuzz_support.h"
#include "record/pending_takes.h"
#include "record/take_journal.h"
#include "record/take_metadata.h"
#include "record/take_recovery.h"

using namespace quillar;
using fuzz::check;

namespace {

// The take's own folder is the input's, except that it must not send files out of the scratch
// folder onto the machine that runs the fuzzer.
QByteArray confined(const QByteArray& takeInfo, const QString& folder) {
    QJsonParseError error;
    QJsonDocument doc = QJsonDocument::fromJson(takeInfo, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        return takeInfo;
    }
    QJsonObject o = doc.object();
    if (o.contains(QStringLiteral("folder"))) {
        o[QStringLiteral("folder")] = folder;
    }
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

void checkWritten(const QString& path, const QString& root, std::uint64_t journalBytes) {
    check(QFileInfo(path).canonicalFilePath().startsWith(root + u'/'), "written inside its folder");
    QFile file(path);
    check(file.open(QIODevice::ReadOnly), "written file opens");
    const QByteArray bytes = file.readAll();
    audio::WavLayout layout;
    check(audio::parseWavLayout(bytes.constData(), std::uint64_t(bytes.size()), &layout),
          "written file plays");
    check(layout.dataBytes <= journalBytes, "no more audio than the journal held");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    const std::size_t infoBytes = std::min<std::size_t>(data[0] | (data[1] << 8), size - 2);
    const QString root = QFileInfo(fuzz::scratch().path()).canonicalFilePath();
    const QString state = fuzz::freshFolder(root + QStringLiteral("/state"));
    const QString takes = fuzz::freshFolder(root + QStringLiteral("/takes"));
    const QString home = fuzz::freshFolder(root + QStringLiteral("/home"));
    const QString journal = state + QStringLiteral("/take-20261210-101500-4242-1.wav");
    const QByteArray wav = fuzz::bytesOf(data + 2 + infoBytes, size - 2 - infoBytes);
    fuzz::writeFile(journal, wav);
    fuzz::writeFile(takeInfoPathOf(journal), confined(fuzz::bytesOf(data + 2, infoBytes), takes));
    const auto journalBytes = std::uint64_t(wav.size());

    const RecoveryOutcome outcome = recoverJournals(state, {home}, &TakeMetadataOf);
    for (const RecoveredTake& take : outcome.recovered) {
        checkWritten(take.path, root, journalBytes);
        check(take.dataBytes <= journalBytes, "recovered no more than the journal");
    }
    {
        PendingTakes pending;
        pending.claimLeftOver(state);
        for (const SavedPendingTake& saved :
             pending.saveWhatCan(home, 0, true, state, &TakeMetadataOf)) {
            checkWritten(saved.path, root, journalBytes);
        }
    }
    // Nothing may have gone anywhere else: every file under the root is one of the three folders'.
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        check(path.startsWith(state + u'/') || path.startsWith(takes + u'/') ||
                  path.startsWith(home + u'/'),
              "files only in the given folders");
    }
    return 0;
}
