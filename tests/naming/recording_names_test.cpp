// The rule that turns an item into a file name, where the file system's limits make it differ
// from "<item>.wav": names too long, characters a FAT or NTFS stick refuses, hidden and empty
// names; and the texts for logs and messages.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "naming/recording_names.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

qsizetype bytesOf(const QString& s) {
    return s.toUtf8().size();
}

// n Chinese characters, three bytes each in UTF-8.
QString chinese(int n) {
    QString s;
    for (int i = 0; i < n; ++i) {
        s += QChar(char16_t(0x4E00 + i % 500));
    }
    return s;
}

TEST(RecordingNames, ANameThatFitsIsLeftAsItIs) {
    const NameRules ext4;
    // 83 characters: 249 bytes + ".wav" = 253, under 255.
    EXPECT_EQ(ItemFileName(chinese(83), 1, ext4), chinese(83) + u".wav"_s);
    // 251 ASCII bytes + ".wav" is exactly 255.
    const QString atLimit(251, u'a');
    EXPECT_EQ(ItemFileName(atLimit, 1, ext4), atLimit + u".wav"_s);
}

TEST(RecordingNames, ANameOverTheLimitKeepsWholeCharactersAndAHash) {
    const NameRules ext4;
    const QRegularExpression hashed(u"^(.*)~([0-9a-f]{8})\\.wav$"_s);
    const struct {
        const char* name;
        QString item;
        int occurrence;
    } cases[] = {
        {"one byte over", QString(252, u'a'), 1},
        {"86 Chinese characters", chinese(86), 1},
        {"a long sentence", chinese(300), 1},
        {"a homograph whose suffix takes it over", chinese(83), 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = ItemFileName(c.item, c.occurrence, ext4);
        EXPECT_LE(bytesOf(name), 255);
        const QRegularExpressionMatch m = hashed.match(name);
        ASSERT_TRUE(m.hasMatch()) << name.toStdString();
        EXPECT_TRUE(c.item.startsWith(m.captured(1)));  // whole characters, never half of one
        EXPECT_GT(bytesOf(name), 255 - 3);              // as long as the limit allows
        EXPECT_EQ(ItemFileName(c.item, c.occurrence, ext4), name);  // stable
    }
    // Two items that share the start, and two homographs, never share a file.
    EXPECT_NE(ItemFileName(chinese(300), 1, ext4), ItemFileName(chinese(301), 1, ext4));
    EXPECT_NE(ItemFileName(chinese(300), 1, ext4), ItemFileName(chinese(300), 2, ext4));
    // A smaller limit is honoured too.
    NameRules small;
    small.nameMax = 40;
    EXPECT_LE(bytesOf(ItemFileName(chinese(40), 1, small)), 40);
}

TEST(RecordingNames, FatAndNtfsSticksGetNamesTheyAccept) {
    NameRules fat;
    fat.restricted = true;
    const NameRules ext4;
    const struct {
        const char* name;
        QString item;
        QString onFat;
        QString elsewhere;
    } cases[] = {
        {"question", u"why?"_s, u"why_.wav"_s, u"why?.wav"_s},
        {"every refused character", u"a\"*:<>?\\|b"_s, u"a________b.wav"_s, u"a\"*:<>?\\|b.wav"_s},
        {"trailing dot and blank", u"etc. "_s, u"etc.wav"_s, u"etc. .wav"_s},
        {"plain", u"太阳"_s, u"太阳.wav"_s, u"太阳.wav"_s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ItemFileName(c.item, 1, fat), c.onFat) << c.name;
        EXPECT_EQ(ItemFileName(c.item, 1, ext4), c.elsewhere) << c.name;
    }
    for (const unsigned long type : {0x4d44ul, 0x2011BAB0ul, 0x5346544eul, 0x65735546ul}) {
        EXPECT_TRUE(IsRestrictedFileSystem(type)) << type;
    }
    for (const unsigned long type : {0xEF53ul, 0x01021994ul, 0x9123683Eul}) {  // ext4, tmpfs, btrfs
        EXPECT_FALSE(IsRestrictedFileSystem(type)) << type;
    }
}

TEST(RecordingNames, TakesOfItemsWithoutTextAreUntitled) {
    const QDateTime started(QDate(2026, 12, 9), QTime(14, 30, 12));
    EXPECT_EQ(TakeFilePath(u"/rec"_s, QString(), 1, started), u"/rec/未命名-20261209-143012.wav"_s);
    EXPECT_EQ(TakeFilePath(u"/rec"_s, u" \t"_s, 1, started), u"/rec/未命名-20261209-143012.wav"_s);
    EXPECT_EQ(TakeFilePath(u"/rec"_s, u"太阳"_s, 2, started), u"/rec/太阳 (2).wav"_s);
    EXPECT_EQ(TakeFilePath(QString(), u"太阳"_s, 1, started), QString());
}

TEST(RecordingNames, TextsForLogsAndMessages) {
    EXPECT_EQ(PrintableText(u"a\u0000b\nc\u007f"_s), u"a\u2400b\u240Ac\u2421"_s);
    const QString longText = QString(5000, u'x') + u"END"_s;
    const QString elided = ElideMiddle(longText);
    EXPECT_EQ(elided.size(), 200);
    EXPECT_TRUE(elided.endsWith(u"END"_s));
    EXPECT_TRUE(elided.contains(u'…'));
    EXPECT_EQ(ElideMiddle(u"short"_s), u"short"_s);
}

}  // namespace
}  // namespace quillar::test
