#include "record/wav_metadata.h"

#include <QRandomGenerator>
#include <QTime>

#include "program_identity.h"
#include "record/wav_image.h"

namespace quillar {

namespace {

constexpr std::size_t kDateBytes = 10;
constexpr std::size_t kTimeBytes = 8;
constexpr std::size_t kUmidBytes = 64;
constexpr std::size_t kReservedBytes = 190;  // version 1's reserved room, all zero
constexpr std::size_t kChunkHeaderBytes = 8;

static_assert(kBextDescriptionBytes + kBextOriginatorBytes + kBextReferenceBytes + kDateBytes +
                      kTimeBytes + 8 + 2 + kUmidBytes + kReservedBytes ==
                  kBextFixedBytes,
              "bext's fixed fields add up to its fixed part");

void putU16(QByteArray& out, std::uint16_t v) {
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

void putU32(QByteArray& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

void putChunkHeader(QByteArray& out, const char (&tag)[5], std::size_t size) {
    out.append(tag, 4);
    putU32(out, static_cast<std::uint32_t>(size));
}

void padToEven(QByteArray& out) {
    if (out.size() % 2 != 0) {
        out.append('\0');
    }
}

// `text` in UTF-8, at most `width` bytes: a character that does not fit whole is left out with
// everything after it, so a reader never meets half a character.
QByteArray utf8Within(const QString& text, std::size_t width) {
    QByteArray bytes = text.toUtf8();
    auto n = static_cast<qsizetype>(width);
    if (bytes.size() <= n) {
        return bytes;
    }
    // bytes[n] is the first byte that does not fit; a continuation byte there means the
    // character it belongs to began earlier and goes too.
    while (n > 0 && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80) {
        --n;
    }
    bytes.truncate(n);
    return bytes;
}

// A fixed-width field: the text, then zeros to its width.
void putField(QByteArray& out, const QString& text, std::size_t width) {
    const QByteArray bytes = utf8Within(text, width);
    out.append(bytes);
    out.append(static_cast<qsizetype>(width) - bytes.size(), '\0');
}

void putInfo(QByteArray& list, const char (&tag)[5], const QString& text) {
    if (text.isEmpty()) {
        return;
    }
    // A zero-terminated string, as INFO readers expect; the size counts the terminator.
    QByteArray bytes = text.toUtf8();
    bytes.append('\0');
    putChunkHeader(list, tag, static_cast<std::size_t>(bytes.size()));
    list.append(bytes);
    padToEven(list);
}

QString joined(const QString& first, const QString& second, const QString& between) {
    if (first.isEmpty() || second.isEmpty()) {
        return first + second;
    }
    return first + between + second;
}

}  // namespace

QString makeOriginatorReference(const QDateTime& started, std::uint32_t unique) {
    return QStringLiteral("QLR%1-%2")
        .arg(started.toString(QStringLiteral("yyyyMMddhhmmsszzz")))
        .arg(unique, 8, 16, QLatin1Char('0'));
}

QString makeOriginatorReference(const QDateTime& started) {
    return makeOriginatorReference(started, QRandomGenerator::system()->generate());
}

QString codingHistoryOf(std::uint32_t rate, std::uint16_t bits, std::uint16_t channels,
                        const QString& device) {
    QString mode = channels == 1   ? QStringLiteral("mono")
                   : channels == 2 ? QStringLiteral("stereo")
                                   : QStringLiteral("multichannel");
    QString text = device;
    text.replace(u',', u';').replace(u'\r', u' ').replace(u'\n', u' ');
    return QStringLiteral("A=%1,F=%2,W=%3,M=%4,T=%5\r\n")
        .arg(bits == 32 ? QStringLiteral("IEEE-FLOAT") : QStringLiteral("PCM"))
        .arg(rate)
        .arg(bits)
        .arg(mode, text);
}

std::uint64_t timeReferenceOf(const QDateTime& started, std::uint32_t rate) {
    if (!started.isValid()) {
        return 0;
    }
    const auto ms = static_cast<std::uint64_t>(started.time().msecsSinceStartOfDay());
    return ms * rate / 1000;
}

WavMetadata wavMetadataOf(const WavMetadataFacts& f) {
    WavMetadata m;
    m.description = joined(f.id, f.item, QStringLiteral(" "));
    m.originatorReference =
        f.reference.isEmpty() ? makeOriginatorReference(f.started) : f.reference;
    if (f.started.isValid()) {
        m.originationDate = f.started.toString(QStringLiteral("yyyy-MM-dd"));
        m.originationTime = f.started.toString(QStringLiteral("hh:mm:ss"));
    }
    m.timeReference = timeReferenceOf(f.started, f.rate);
    m.codingHistory = codingHistoryOf(f.rate, f.bits, f.channels, f.device);
    m.title = f.item;
    m.artist = f.speaker;
    m.created = m.originationDate;
    m.software = QStringLiteral("Quillar ") + QLatin1String(kProgramVersion);
    m.comment = joined(f.gloss, f.note, QStringLiteral("; "));
    m.source = f.site;
    return m;
}

QByteArray wavMetadataChunks(const WavMetadata& m) {
    QByteArray out;
    const QByteArray history = m.codingHistory.toUtf8();
    putChunkHeader(out, "bext", kBextFixedBytes + static_cast<std::size_t>(history.size()));
    putField(out, m.description, kBextDescriptionBytes);
    putField(out, m.originator, kBextOriginatorBytes);
    putField(out, m.originatorReference, kBextReferenceBytes);
    putField(out, m.originationDate, kDateBytes);
    putField(out, m.originationTime, kTimeBytes);
    putU32(out, static_cast<std::uint32_t>(m.timeReference & 0xFFFFFFFFu));
    putU32(out, static_cast<std::uint32_t>(m.timeReference >> 32));
    putU16(out, kBextVersion);
    out.append(static_cast<qsizetype>(kUmidBytes + kReservedBytes), '\0');
    out.append(history);
    padToEven(out);

    QByteArray list("INFO");
    putInfo(list, "INAM", m.title);
    putInfo(list, "IART", m.artist);
    putInfo(list, "ICRD", m.created);
    putInfo(list, "ISFT", m.software);
    putInfo(list, "ICMT", m.comment);
    putInfo(list, "ISRF", m.source);
    if (list.size() > 4) {
        putChunkHeader(out, "LIST", static_cast<std::size_t>(list.size()));
        out.append(list);
    }
    return out;
}

QByteArray wavFileHeader(std::uint64_t dataLength, std::uint32_t rate, std::uint16_t bits,
                         std::uint16_t channels, QByteArrayView chunks) {
    const std::size_t plain = wavHeaderSize(bits);
    const std::uint64_t riffSize = plain - kChunkHeaderBytes + std::uint64_t(chunks.size()) +
                                   dataLength + wavPadBytes(dataLength);
    if (riffSize > 0xFFFFFFFFull || chunks.size() % 2 != 0) {
        return {};
    }
    const WavHeader header =
        wavHeaderBytes(static_cast<std::uint32_t>(dataLength), rate, bits, channels);
    const auto* bytes = reinterpret_cast<const char*>(header.data());
    // Everything before the "data" chunk's own 8 bytes, the chunks, then those 8 bytes.
    QByteArray out(bytes, static_cast<qsizetype>(plain - kChunkHeaderBytes));
    out.append(chunks);
    out.append(bytes + plain - kChunkHeaderBytes, kChunkHeaderBytes);
    const auto size = static_cast<std::uint32_t>(riffSize);
    for (int i = 0; i < 4; ++i) {
        out[4 + i] = static_cast<char>((size >> (8 * i)) & 0xFF);
    }
    return out;
}

}  // namespace quillar
