// Deciding how an item file is encoded and decoding it to text.
#pragma once

#include <QByteArray>
#include <QString>

namespace quillar {

// 1 UTF-8, 2 UTF-16 little-endian, 3 UTF-16 big-endian, 4 ANSI (GB18030).
int DetectTextEncoding(const QString& path);
// The first three- or four-byte sequence decides; ASCII and two-byte sequences alone do not.
bool LooksLikeUtf8(const QByteArray& bytes);

}  // namespace quillar
