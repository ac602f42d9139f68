// What a take's file says of itself: with a session set, its item, id, gloss and note, who spoke,
// where, when and on what, as bext and LIST/INFO chunks; without one, nothing, and the file keeps
// the plain header. One rule for saved, pending and recovered takes. Any thread.
#pragma once

#include <optional>

#include "record/wav_metadata.h"

namespace quillar {

struct TakeInfo;

std::optional<WavMetadata> TakeMetadataOf(const TakeInfo& info);

}  // namespace quillar
