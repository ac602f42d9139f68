#include "items/text_encoding.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QStringEncoder>

namespace quillar {
namespace {

using namespace Qt::StringLiterals;

QByteArray bytes(const char* s, qsizetype n) {
    return QByteArray(s, n);
}

struct Utf8Case {
    const char* name;
    QByteArray data;
    bool expected;
};

TEST(LooksLikeUtf8, FirstLongSequenceDecides) {
    const Utf8Case cases[] = {
        {"empty", QByteArray(), false},
        {"ASCII only", "abc\r\n", false},
        {"two-byte only",
         "\xC5\x8B"
         "a\xC9\x9B",
         false},
        {"three-byte first", "a\xE4\xB8\xAD", true},
        {"two-byte then three-byte", "\xC3\xA9 \xE4\xB8\xAD", true},
        {"four-byte", "\xF0\x9F\x98\x80", true},
        {"rest ignored after the deciding sequence", "\xE4\xB8\xAD\xFF\xFE", true},
        {"broken two-byte before Chinese", "\xC3\x41\xE4\xB8\xAD", false},
        {"three-byte cut by the end", "ab\xE4\xB8", false},
        {"four-byte cut by the end", "\xF0\x9F\x98", false},
        {"lead byte last", "ab\xC3", false},
        {"stray continuation byte", "\x80\xE4\xB8\xAD", false},
        {"five-byte lead", "\xF8\x88\x80\x80\x80", false},
        {"GBK Chinese", "\xB0\xD6\xC2\xE8", false},
    };
    for (const Utf8Case& c : cases) {
        EXPECT_EQ(LooksLikeUtf8(c.data), c.expected) << c.name;
    }
}

TEST(LooksLikeUtf8, NeverReadsPastTheEnd) {
    // The bytes after the view's end would complete the sequence; they must not be looked at.
    const char storage[] = "\xE4\xB8\xAD";
    EXPECT_FALSE(LooksLikeUtf8(QByteArray::fromRawData(storage, 2)));
}

struct Utf16Case {
    const char* name;
    QByteArray data;
    int expected;
};

TEST(GuessUtf16, AcceptsOnlyTextWithNulBytesOnOneSide) {
    const Utf16Case cases[] = {
        {"Latin little-endian", bytes("a\0b\0\r\0\n\0", 8), kEncodingUtf16LE},
        {"Latin big-endian", bytes("\0a\0b\0\r\0\n", 8), kEncodingUtf16BE},
        {"Latin, one line, no break", bytes("a\0b\0c\0", 6), kEncodingUtf16LE},
        {"Chinese lines little-endian", bytes("\x38\x72\x38\x72\r\0\n\0\x00\x4E\r\0\n\0", 14),
         kEncodingUtf16LE},
        {"one, LF only, little-endian", bytes("\x00\x4E\n\0", 4), kEncodingUtf16LE},
        {"GBK without NUL", "\xB0\xD6\xC2\xE8\r\n\xC2\xBC\xD2\xF4\r\n", 0},
        {"ASCII without NUL", "abcd", 0},
        {"ASCII with a stray NUL", bytes("abc\0", 4), 0},
        {"odd length", bytes("a\0b\0c", 5), 0},
        {"NUL characters", bytes("a\0\0\0b\0\n\0", 8), 0},
        {"lone high surrogate", bytes("a\0\x00\xD8\n\0", 6), 0},
        {"control characters", bytes("\x01\0\x02\0\x03\0a\0", 8), 0},
        {"empty", QByteArray(), 0},
    };
    for (const Utf16Case& c : cases) {
        EXPECT_EQ(GuessUtf16(c.data), c.expected) << c.name;
    }
}

struct DecodeCase {
    const char* name;
    QByteArray data;
    int encodingClass;
    QString expected;
};

TEST(DecodeText, RemovesSignatureAndReplacesInvalidBytes) {
    const DecodeCase cases[] = {
        {"UTF-8 signature", "\xEF\xBB\xBF\xE7\x88\xB8", kEncodingUtf8, u"爸"_s},
        {"UTF-8 bad byte",
         "a\xFF"
         "b",
         kEncodingUtf8, u"a\uFFFDb"_s},
        {"UTF-8 cut at the end", "a\xE7\x88", kEncodingUtf8, u"a\uFFFD\uFFFD"_s},
        {"UTF-16LE signature", bytes("\xFF\xFE\x38\x72", 4), kEncodingUtf16LE, u"爸"_s},
        {"UTF-16BE signature", bytes("\xFE\xFF\x72\x38", 4), kEncodingUtf16BE, u"爸"_s},
        {"UTF-16 odd last byte", bytes("a\0b", 3), kEncodingUtf16LE, u"a\uFFFD"_s},
        {"UTF-16 lone surrogate",
         bytes("\x00\xD8"
               "a\0",
               4),
         kEncodingUtf16LE, u"\uFFFDa"_s},
        {"GB18030", "\xB0\xD6\xC2\xE8", kEncodingAnsi, u"爸妈"_s},
        {"GB18030 four-byte", "\x81\x30\x81\x30", kEncodingAnsi, u"\u0080"_s},
        {"GB18030 bad byte", "\xB0\xD6\xFF\xC2\xE8", kEncodingAnsi, u"爸\uFFFD妈"_s},
        {"GB18030 lead byte last", "\xB0\xD6\xC2", kEncodingAnsi, u"爸\uFFFD"_s},
    };
    for (const DecodeCase& c : cases) {
        EXPECT_EQ(DecodeText(c.data, c.encodingClass), c.expected) << c.name;
    }
}

TEST(Gb18030, RoundTripsEveryPlane) {
    const QString text = u"录音 ŋ ɛ 𠀀 é \u3000"_s;
    EXPECT_EQ(DecodeGb18030(EncodeGb18030(text)), text);
    EXPECT_EQ(EncodeGb18030(u"录音"_s), QByteArray("\xC2\xBC\xD2\xF4"));
}

}  // namespace
}  // namespace quillar

namespace quillar {
namespace {

QByteArray encodeAs(const char* charset, const QString& text) {
    QStringEncoder encoder(charset);
    return encoder(text);
}

// Class 4 files: Big5 only when the detector names it and the bytes agree; GB18030 otherwise.
TEST(DecodeAnsi, Big5OnlyWhenTheDetectorAndTheBytesAgree) {
    const QString traditional =
        u"爸爸\r\n媽媽\r\n哥哥\r\n姊姊\r\n眼睛\r\n耳朵\r\n頭髮\r\n鼻子\r\n嘴巴\r\n牙齒\r\n"
        u"喝水\r\n吃飯\r\n睡覺\r\n走路\r\n說話\r\n聽見\r\n看見\r\n買東西\r\n賣東西\r\n"
        u"學校\r\n醫生\r\n電話\r\n颱風\r\n雞蛋\r\n豬肉\r\n魚\r\n鳥\r\n樹葉\r\n開門\r\n關門\r\n"_s;
    const QString simplified =
        u"爸爸\r\n妈妈\r\n哥哥\r\n姐姐\r\n眼睛\r\n耳朵\r\n头发\r\n鼻子\r\n嘴巴\r\n牙齿\r\n"
        u"喝水\r\n吃饭\r\n睡觉\r\n走路\r\n说话\r\n听见\r\n看见\r\n买东西\r\n卖东西\r\n"_s;
    QByteArray big5Broken = encodeAs("Big5", traditional);
    big5Broken.append("\x81\x30");  // a GBK lead byte no Big5 text holds
    const struct {
        const char* name;
        QByteArray data;
        QString expected;
    } cases[] = {
        {"Big5 word list", encodeAs("Big5", traditional), traditional},
        {"GBK word list", encodeAs("GB18030", simplified), simplified},
        {"short GBK list the detector misreads", encodeAs("GB18030", u"你好\r\n"_s), u"你好\r\n"_s},
        {"two GBK characters", encodeAs("GB18030", u"打"_s), u"打"_s},
        {"ASCII", "abc\r\n", u"abc\r\n"_s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeText(c.data, kEncodingAnsi), c.expected) << c.name;
        EXPECT_EQ(DetectTextEncodingOf(c.data), kEncodingAnsi) << c.name;  // the class stays 4
    }
    // Big5-looking with an invalid sequence stays GB18030: the Big5 bytes of 爸爸 / 媽媽 (AA A8,
    // B6 FD) read as GB18030 are two private-use characters and 洱, and the unfinished sequence at
    // the end (81 30) is a replacement character and the digit 0.
    const QString asGb = DecodeText(big5Broken, kEncodingAnsi);
    EXPECT_TRUE(asGb.startsWith(u"\uE007\uE007\r\n洱洱\r\n"_s)) << asGb.left(8).toStdString();
    EXPECT_TRUE(asGb.endsWith(u"\uFFFD0"_s));
    EXPECT_EQ(DetectTextEncodingOf(big5Broken), kEncodingAnsi);
}

TEST(DecodesAsBig5, RejectsInvalidAndUnfinishedSequences) {
    const QByteArray whole = encodeAs("Big5", u"媽媽"_s);
    EXPECT_TRUE(DecodesAsBig5(whole));
    EXPECT_FALSE(DecodesAsBig5(whole.first(whole.size() - 1)));
    EXPECT_FALSE(DecodesAsBig5(whole + "\x81\x40"));
}

}  // namespace
}  // namespace quillar
