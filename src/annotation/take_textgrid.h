// The TextGrid beside a take's WAV ("词.wav" -> "词.TextGrid"): its speech marked with the item
// (and the gloss of a table's item), written with the safety of the take itself: a temporary file
// beside it, flushed, then renamed into place. Any one thread at a time per file.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "quality/speech_interval.h"

namespace quillar::annotation {

// "<folder>/<stem>.TextGrid" beside "<folder>/<stem>.wav".
QString TextGridPathOf(const QString& wavPath);

// Writes the TextGrid of a take of `frames` frames at `rate` Hz whose speech is `speech` beside
// `wavPath`. False, with errno's value in `*error` when given, when it could not be written;
// nothing half-written is left at its place.
bool WriteTakeTextGrid(const QString& wavPath, std::uint64_t frames, std::uint32_t rate,
                       const quality::SpeechInterval& speech, const QString& itemText,
                       const std::optional<QString>& gloss, int* error = nullptr);

}  // namespace quillar::annotation
