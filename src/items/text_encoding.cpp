#include "items/text_encoding.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <memory>

#include <uchardet.h>

namespace quillar {

namespace {

using Flag = QStringConverter::Flag;
// Stateless: an incomplete sequence at the end becomes U+FFFD instead of vanishing.
// ConvertInitialBom: the caller removes the one signature it expects; anything after it is text.
constexpr auto kDecodeFlags = Flag::Stateless | Flag::ConvertInitialBom;

const char* const kGb18030 = "GB18030";

bool isContinuation(const unsigned char* p, qsizetype n, qsizetype i) {
    return i < n && (p[i] & 0xC0) == 0x80;
}

bool startsWith(const QByteArray& bytes, const char* prefix, qsizetype len) {
    return bytes.size() >= len && std::equal(prefix, prefix + len, bytes.constData());
}

// How `bytes` reads as UTF-16 of one byte order. Text has no NUL character, no broken surrogate
// pair, no noncharacter U+FFFE/U+FFFF and few control characters; and it either has line breaks
// or is mostly Latin (zero high bytes), since a stray NUL alone must not make binary or GBK data
// pass.
struct Utf16Reading {
    bool plausible = false;
    qsizetype lineBreaks = 0;
    qsizetype zeroHighBytes = 0;
};

Utf16Reading readAsUtf16(const QByteArray& bytes, bool bigEndian) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype units = bytes.size() / 2;
    Utf16Reading r;
    qsizetype controls = 0;
    bool pendingHigh = false;
    for (qsizetype u = 0; u < units; ++u) {
        const unsigned lo = p[2 * u + (bigEndian ? 1 : 0)];
        const unsigned hi = p[2 * u + (bigEndian ? 0 : 1)];
        const char16_t c = static_cast<char16_t>(hi << 8 | lo);
        if (pendingHigh != QChar::isLowSurrogate(c) || c == 0 || c == 0xFFFE || c == 0xFFFF) {
            return r;
        }
        pendingHigh = QChar::isHighSurrogate(c);
        r.zeroHighBytes += hi == 0;
        if (c == u'\n' || c == u'\r') {
            ++r.lineBreaks;
        } else if (c < 0x20 && c != u'\t') {
            ++controls;
        }
    }
    r.plausible = !pendingHigh && controls * 50 <= units &&
                  (r.lineBreaks > 0 || r.zeroHighBytes * 4 >= units * 3);
    return r;
}

bool readsBetter(const Utf16Reading& a, const Utf16Reading& b) {
    if (!a.plausible) {
        return false;
    }
    if (!b.plausible) {
        return true;
    }
    return a.lineBreaks != b.lineBreaks ? a.lineBreaks > b.lineBreaks
                                        : a.zeroHighBytes > b.zeroHighBytes;
}

void replaceLoneSurrogates(QString& text) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            text[i] = QChar::ReplacementCharacter;
        }
    }
}

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes) {
    QStringDecoder decoder(encoding, kDecodeFlags);
    QString text = decoder(bytes);
    replaceLoneSurrogates(text);
    return text;
}

}  // namespace

bool LooksLikeUtf8(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned c = p[i];
        if (c < 0x80) {
            ++i;
        } else if ((c & 0xE0) == 0xC0) {
            if (!isContinuation(p, n, i + 1)) {
                return false;
            }
            i += 2;
        } else if ((c & 0xF0) == 0xE0) {
            return isContinuation(p, n, i + 1) && isContinuation(p, n, i + 2);
        } else if ((c & 0xF8) == 0xF0) {
            return isContinuation(p, n, i + 1) && isContinuation(p, n, i + 2) &&
                   isContinuation(p, n, i + 3);
        } else {
            return false;
        }
    }
    return false;
}

int GuessUtf16(const QByteArray& bytes) {
    const qsizetype n = bytes.size();
    // UTF-16 text is whole 16-bit units; an odd length is something else.
    if (n < 2 || n % 2 != 0 || !bytes.contains('\0')) {
        return 0;
    }
    // Both byte orders are tried: the right one turns CR and LF into line breaks and Latin letters
    // into units with a zero high byte; the wrong one turns them into rare letters.
    const Utf16Reading le = readAsUtf16(bytes, false);
    const Utf16Reading be = readAsUtf16(bytes, true);
    if (readsBetter(le, be)) {
        return kEncodingUtf16LE;
    }
    if (readsBetter(be, le)) {
        return kEncodingUtf16BE;
    }
    return 0;
}

int DetectTextEncodingOf(const QByteArray& bytes) {
    const qsizetype n = bytes.size();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    bool checkSignatures = true;
    if (n > 2 && p[0] == 0xEF && p[1] == 0xBB) {
        if (p[2] == 0xBF) {
            return kEncodingUtf8;
        }
        checkSignatures = false;
    }
    if (checkSignatures && n >= 2) {
        if (p[0] == 0xFF && p[1] == 0xFE) {
            return kEncodingUtf16LE;
        }
        if (p[0] == 0xFE && p[1] == 0xFF) {
            return kEncodingUtf16BE;
        }
    }
    if (const int utf16 = GuessUtf16(bytes); utf16 != 0) {
        return utf16;
    }
    return LooksLikeUtf8(bytes) ? kEncodingUtf8 : kEncodingAnsi;
}

int DetectTextEncoding(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return kEncodingAnsi;
    }
    return DetectTextEncodingOf(file.readAll());
}

QString DecodeText(const QByteArray& bytes, int encodingClass) {
    QByteArrayView view(bytes);
    switch (encodingClass) {
        case kEncodingUtf8:
            if (startsWith(bytes, "\xEF\xBB\xBF", 3)) {
                view = view.sliced(3);
            }
            return decodeWith(QStringConverter::Utf8, view);
        case kEncodingUtf16LE:
            if (startsWith(bytes, "\xFF\xFE", 2)) {
                view = view.sliced(2);
            }
            return decodeWith(QStringConverter::Utf16LE, view);
        case kEncodingUtf16BE:
            if (startsWith(bytes, "\xFE\xFF", 2)) {
                view = view.sliced(2);
            }
            return decodeWith(QStringConverter::Utf16BE, view);
        default:
            return DecodeAnsi(bytes);
    }
}

QByteArray DetectCharsetName(const QByteArray& bytes) {
    const std::unique_ptr<std::remove_pointer_t<uchardet_t>, decltype(&uchardet_delete)> detector(
        uchardet_new(), &uchardet_delete);
    if (!detector || uchardet_handle_data(detector.get(), bytes.constData(),
                                          static_cast<size_t>(bytes.size())) != 0) {
        return QByteArray();
    }
    uchardet_data_end(detector.get());
    const char* name = uchardet_get_charset(detector.get());
    return name != nullptr ? QByteArray(name).toUpper() : QByteArray();
}

bool DecodesAsBig5(const QByteArray& bytes) {
    QStringDecoder decoder("Big5");
    if (!decoder.isValid()) {
        return false;
    }
    QString text = decoder(bytes);
    // A trailing half character is an invalid sequence too, though the decoder waits for more: a
    // line feed, never part of a sequence, flushes it out.
    const QString flushed = decoder(QByteArrayView("\n", 1));
    if (decoder.hasError() || flushed != u"\n") {
        return false;
    }
    // The codec maps the user-defined rows (lead bytes 81..A0, FA..FE) into the private use
    // area: no standard Big5 text holds them, GBK text read as Big5 does.
    return std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c == QChar::ReplacementCharacter || (c.unicode() >= 0xE000 && c.unicode() <= 0xF8FF);
    });
}

QString DecodeAnsi(const QByteArray& bytes) {
    // The detector only gets a say for Big5, and only when the bytes agree: on short GBK lists it
    // names whatever code page it likes best, and none of those may ever win over GB18030.
    if (DetectCharsetName(bytes) == "BIG5" && DecodesAsBig5(bytes)) {
        QStringDecoder decoder("Big5", kDecodeFlags);
        return decoder(bytes);
    }
    return DecodeGb18030(bytes);
}

QString DecodeGb18030(const QByteArray& bytes) {
    QStringDecoder decoder(kGb18030, kDecodeFlags);
    if (!decoder.isValid()) {
        // A Qt built without ICU has no GB18030; the locale's encoding is the best guess left.
        decoder = QStringDecoder(QStringConverter::System, kDecodeFlags);
    }
    // The GB18030 decoder keeps an incomplete sequence at the very end to itself even when told
    // to be stateless. A line feed is never part of a multi-byte sequence, so one appended here
    // flushes such a tail out as U+FFFD and is then taken off again.
    QByteArray flushed = bytes;
    flushed.append('\n');
    QString text = decoder(flushed);
    text.chop(1);
    return text;
}

QByteArray EncodeGb18030(const QString& text) {
    QStringEncoder encoder(kGb18030);
    if (!encoder.isValid()) {
        encoder = QStringEncoder(QStringConverter::System);
    }
    return encoder(text);
}

}  // namespace quillar
