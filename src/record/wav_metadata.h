// What a take's WAV file says about itself when a session is set: a broadcast-wave "bext" chunk
// (the item, who made the file, when the take began and what recorded it) and a "LIST"/"INFO"
// chunk (item, speaker, date, program, gloss and note, site), both between "fmt " (and "fact")
// and "data", so every reader still finds the samples right after the header. Every text is
// UTF-8. Plain data and byte work, any thread; no widgets.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace quillar {

struct TakeInfo;

struct WavMetadata {
    // "bext": fixed-width fields, each cut at a whole UTF-8 character when the text is longer.
    QString description;                             // 256 bytes: the item's id and text
    QString originator = QStringLiteral("Quillar");  // 32 bytes
    QString originatorReference;                     // 32 bytes, ASCII: makeOriginatorReference
    QString originationDate;                         // 10 bytes: "yyyy-MM-dd" of the take's start
    QString originationTime;                         // 8 bytes: "hh:mm:ss" of the take's start
    std::uint64_t timeReference = 0;  // the take's first frame, in samples since local midnight
    QString codingHistory;            // codingHistoryOf; the rest of the chunk, any length
    // "LIST"/"INFO": a field left empty is left out of the file.
    QString title;     // INAM: the item
    QString artist;    // IART: the speaker's code
    QString created;   // ICRD: "yyyy-MM-dd"
    QString software;  // ISFT: "Quillar <version>"
    QString comment;   // ICMT: the gloss and the note
    QString source;    // ISRF: the site

    bool operator==(const WavMetadata&) const = default;
};

// Which metadata a take gets, from what its journal knows; nothing for a plain file. The
// writers that work from a journal take one of these.
using WavMetadataOf = std::function<std::optional<WavMetadata>(const TakeInfo&)>;

// Fixed sizes of the chunks' parts, bytes.
inline constexpr std::size_t kBextFixedBytes = 602;  // everything before CodingHistory
inline constexpr std::size_t kBextDescriptionBytes = 256;
inline constexpr std::size_t kBextOriginatorBytes = 32;
inline constexpr std::size_t kBextReferenceBytes = 32;
// bext version 1: version 2's loudness fields are measurements Quillar does not make.
inline constexpr std::uint16_t kBextVersion = 1;

// A reference no other take shares: "QLR", the start to the millisecond as yyyyMMddhhmmsszzz,
// "-" and `unique` as 8 lowercase hex digits, 29 ASCII characters in all
// ("QLR20261209100000123-0000002a"). Two takes of one millisecond differ in `unique`.
QString makeOriginatorReference(const QDateTime& started, std::uint32_t unique);
// The same with a random `unique`.
QString makeOriginatorReference(const QDateTime& started);

// The coding history line of a take recorded from `device`:
// "A=PCM,F=44100,W=16,M=mono,T=<device>\r\n". The broadcast-wave coding names have none for
// floating point, and a reader must not take float samples for integers, so 32-bit float takes
// say "A=IEEE-FLOAT". M is mono, stereo or, beyond two channels, multichannel. Commas in the
// device's name, which would start a new field, become semicolons; line breaks become spaces.
QString codingHistoryOf(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels,
                        const QString& device);

// Samples since local midnight at `rate` Hz to the take's first frame, which began at `started`.
std::uint64_t timeReferenceOf(const QDateTime& started, std::uint32_t rate);

// What a take's metadata is made of.
struct WavMetadataFacts {
    QString id;    // the item's id in a table; empty in a plain list
    QString item;  // the item's text
    QString gloss;
    QString note;
    QString speaker;    // the session speaker's code
    QString site;       // the session's site, as the caller names it
    QString device;     // capture device
    QDateTime started;  // local time of the take's first frame
    std::uint32_t rate = 0;
    std::uint16_t bits = 0;  // 8, 16, 24 or 32 (float)
    std::uint16_t channels = 0;
    QString reference;  // its originator reference; empty: a new one from `started`
};

// The metadata of one take: description "<id> <item>" (the item alone without an id), comment
// "<gloss>; <note>" (either alone when the other is empty), software "Quillar <version>".
WavMetadata wavMetadataOf(const WavMetadataFacts& facts);

// The chunks' bytes, "bext" then "LIST"/"INFO" (left out when every INFO field is empty), each
// of even size: an odd-sized chunk or INFO entry is followed by its pad byte.
QByteArray wavMetadataChunks(const WavMetadata& metadata);

// A whole file header: "RIFF", "fmt " (and "fact" for float) as wavHeaderBytes writes them, then
// `chunks` (even-sized, from wavMetadataChunks), then the "data" chunk's header. The RIFF size
// counts the pad byte after an odd `dataLength`. Empty when the file would be too large for
// RIFF's 32-bit sizes; the caller then writes the plain header. With empty `chunks` it is
// wavHeaderBytes' header.
QByteArray wavFileHeader(std::uint64_t dataLength, std::uint32_t rate, std::uint16_t bits,
                         std::uint16_t channels, QByteArrayView chunks);

}  // namespace quillar
