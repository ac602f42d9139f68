#include "record/take_annotation.h"

#include <QFileInfo>
#include <cerrno>
#include <optional>
#include <vector>

#include "annotation/take_textgrid.h"
#include "kit/item_rows.h"
#include "platform/file_io.h"
#include "quality/wav_judgement.h"
#include "record/take_info.h"

namespace quillar {

QString TakeItemText(const QString& item, const TakeLabels& labels) {
    ItemEntry entry;
    entry.id = labels.id;
    entry.item = item;
    return ItemRowText(entry);
}

bool AnnotateSavedTake(const QString& wavPath, const TakeInfo& info,
                       const quality::Judgement* judgement, int* error) {
    if (!info.labels.annotate) {
        return true;
    }
    quality::SpeechInterval speech;
    std::uint64_t frames = 0;
    std::uint32_t rate = info.rate;
    if (judgement != nullptr && judgement->frames > 0 && rate > 0) {
        speech = judgement->speech;
        frames = judgement->frames;
    } else {
        // Judged where it lies: a pending or recovered take's own audio, as the file holds it.
        std::vector<std::uint8_t> scratch;
        const quality::WavJudgement judged =
            quality::JudgeWavFile(wavPath, quality::Profile::None, scratch);
        speech = judged.judgement.speech;
        frames = judged.judgement.frames;
        rate = judged.rate;
    }
    if (frames == 0 || rate == 0) {
        if (error != nullptr) {
            *error = EINVAL;  // no audio that could be read: nothing to mark
        }
        return false;
    }
    // A plain list's take has no gloss tier, even when a gloss came with it.
    const std::optional<QString> gloss =
        info.labels.table ? std::optional<QString>(info.labels.gloss) : std::nullopt;
    return annotation::WriteTakeTextGrid(wavPath, frames, rate, speech,
                                         TakeItemText(info.item, info.labels), gloss, error);
}

bool KeepEarlierTakeAnnotation(const QString& path, const QString& replaced) {
    if (replaced.isEmpty()) {
        return true;
    }
    const QString from = annotation::TextGridPathOf(path);
    if (!QFileInfo::exists(from)) {
        return true;
    }
    // The earlier take's name is new in its folder, so its TextGrid's is too: nothing is
    // overwritten, and a failure leaves it where it was.
    if (!platform::renameNoReplace(from, annotation::TextGridPathOf(replaced))) {
        return false;
    }
    platform::syncFolder(QFileInfo(replaced).absolutePath());
    platform::syncFolder(QFileInfo(path).absolutePath());
    return true;
}

}  // namespace quillar
