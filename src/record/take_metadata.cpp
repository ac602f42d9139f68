#include "record/take_metadata.h"

#include "record/take_info.h"

namespace quillar {

std::optional<WavMetadata> TakeMetadataOf(const TakeInfo& info) {
    if (!info.labels.session) {
        return std::nullopt;
    }
    const Session& session = *info.labels.session;
    WavMetadataFacts facts;
    facts.id = info.labels.id;
    facts.item = info.item;
    facts.gloss = info.labels.gloss;
    facts.note = info.labels.note;
    facts.speaker = session.speaker.code;
    // The site's code is what an archive's sheet joins on; its name follows for a reader.
    facts.site = (session.site.code + u' ' + session.site.place).trimmed();
    facts.device = info.device;
    facts.started = info.started;
    facts.rate = info.rate;
    facts.bits = info.bits;
    facts.channels = info.channels;
    return wavMetadataOf(facts);
}

}  // namespace quillar
