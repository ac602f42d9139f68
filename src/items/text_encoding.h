// Deciding how an item file is encoded, and turning its bytes (or sys.ini's) into text. Every
// decoder here replaces an invalid byte sequence with U+FFFD and goes on, so one bad byte never
// costs the lines after it. Pure functions, callable from any thread.
#pragma once

#include <QByteArray>
#include <QString>

namespace quillar {

// Encoding classes of an item file.
inline constexpr int kEncodingUtf8 = 1;
inline constexpr int kEncodingUtf16LE = 2;
inline constexpr int kEncodingUtf16BE = 3;
inline constexpr int kEncodingAnsi = 4;  // GB18030 (and so GBK and GB2312)

// The class of the file at `path`; an unreadable or empty file is kEncodingAnsi.
int DetectTextEncoding(const QString& path);
// The class of `bytes`: signature first, then the UTF-16 test, then LooksLikeUtf8.
int DetectTextEncodingOf(const QByteArray& bytes);
// The first three- or four-byte sequence decides; ASCII and two-byte sequences alone do not.
// Never reads past the end of `bytes`.
bool LooksLikeUtf8(const QByteArray& bytes);
// Statistical test for UTF-16 text without a signature: kEncodingUtf16LE, kEncodingUtf16BE, or
// 0 when the data does not look like UTF-16. Data without a NUL byte is never UTF-16.
int GuessUtf16(const QByteArray& bytes);

// `bytes` as text in the given class; a leading signature of that class is removed.
QString DecodeText(const QByteArray& bytes, int encodingClass);
QString DecodeGb18030(const QByteArray& bytes);
// A file of class 4: Big5 when the charset detector names Big5 and every byte decodes as Big5
// (lists from Taiwan and Hong Kong), else GB18030.
QString DecodeAnsi(const QByteArray& bytes);
// The detector's name for the charset of `bytes`, upper case ("BIG5", "GB18030", ...); empty when
// it has no answer.
QByteArray DetectCharsetName(const QByteArray& bytes);
// Whether `bytes` are Big5 from first to last byte, without an invalid or unfinished sequence.
bool DecodesAsBig5(const QByteArray& bytes);
QByteArray EncodeGb18030(const QString& text);

}  // namespace quillar
