#include "record/take_replacement.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "items/item_list.h"
#include "naming/recording_names.h"
#include "record_test_support.h"

namespace quillar {
namespace {

using namespace Qt::StringLiterals;

using test::readAll;
using test::writeAll;

const QDateTime kWhen(QDate(2026, 12, 9), QTime(1, 15, 30));

// n Chinese characters, three bytes each in UTF-8: an item long enough to meet the name limit.
QString chinese(int n) {
    QString s;
    for (int i = 0; i < n; ++i) {
        s += QChar(char16_t(0x4E00 + i % 500));
    }
    return s;
}

class ReplaceTakeFile : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(writeAll(target(), oldTake));
    }
    QString target() const { return dir.filePath("词.wav"); }
    QString earlier() const { return dir.filePath(kEarlierTakesFolder); }
    QStringList earlierTakes() const { return QDir(earlier()).entryList(QDir::Files); }
    // Everything in the item's folder except the earlier-takes folder, hidden files included.
    QStringList beside() const {
        QStringList all =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        all.removeAll(kEarlierTakesFolder);
        return all;
    }
    SaveResult save(const QByteArray& take, const StepCheck& check = {}) {
        return replaceTakeFile(target(), take.constData(), static_cast<std::size_t>(take.size()),
                               kWhen, check);
    }

    QTemporaryDir dir;
    const QByteArray oldTake = QByteArray("RIFF the first take, which cannot be made again");
    const QByteArray newTake = QByteArray(70000, 'n');
};

TEST_F(ReplaceTakeFile, RefusedStepLeavesTheOldTakeUnderTheItemsNameAndNothingElse) {
    for (const TakeStep refused :
         {TakeStep::WriteTemporary, TakeStep::MoveEarlier, TakeStep::PlaceNew}) {
        SCOPED_TRACE(static_cast<int>(refused));
        const SaveResult r = save(newTake, [&](TakeStep s) { return s != refused; });
        EXPECT_FALSE(r.written);
        EXPECT_TRUE(r.replaced.isEmpty());
        EXPECT_EQ(readAll(target()), oldTake);
        EXPECT_EQ(beside(), QStringList{"词.wav"}) << "no temporary file left";
        EXPECT_TRUE(earlierTakes().isEmpty());
    }
}

TEST_F(ReplaceTakeFile, OldTakeMovesOnlyOnceTheNewOneIsOnDiskBesideIt) {
    QStringList seen;
    const SaveResult r = save(newTake, [&](TakeStep s) {
        QStringList temps = beside();
        temps.removeAll("词.wav");
        const QByteArray temp = temps.size() == 1 ? readAll(dir.filePath(temps[0])) : QByteArray();
        if (s == TakeStep::MoveEarlier) {
            EXPECT_EQ(readAll(target()), oldTake);
            EXPECT_EQ(temp, newTake) << "the new take is complete before the old one moves";
            seen << "move";
        } else if (s == TakeStep::PlaceNew) {
            EXPECT_FALSE(QFile::exists(target()));
            EXPECT_EQ(temp, newTake);
            EXPECT_EQ(earlierTakes().size(), 1);
            seen << "place";
        }
        return true;
    });
    EXPECT_EQ(seen, (QStringList{"move", "place"}));
    ASSERT_TRUE(r.written);
    EXPECT_EQ(readAll(target()), newTake);
    EXPECT_EQ(r.replaced, earlier() + "/词.20261209-011530.wav");
    EXPECT_EQ(readAll(r.replaced), oldTake) << "moved whole, byte for byte";
    EXPECT_EQ(beside(), QStringList{"词.wav"});
}

TEST_F(ReplaceTakeFile, TakesReplacedInTheSameSecondNeverShareOrOverwriteAName) {
    // Someone's own file already has the first name.
    QDir(dir.path()).mkdir(kEarlierTakesFolder);
    ASSERT_TRUE(writeAll(earlier() + "/词.20261209-011530.wav", "not ours"));

    QStringList replaced;
    for (const QByteArray& take :
         {QByteArray("second"), QByteArray("third"), QByteArray("fourth")}) {
        const SaveResult r = save(take);
        ASSERT_TRUE(r.written);
        EXPECT_EQ(readAll(target()), take);
        replaced << QFileInfo(r.replaced).fileName();
    }
    EXPECT_EQ(replaced, (QStringList{"词.20261209-011530-2.wav", "词.20261209-011530-3.wav",
                                     "词.20261209-011530-4.wav"}));
    EXPECT_EQ(readAll(earlier() + "/词.20261209-011530.wav"), "not ours");
    EXPECT_EQ(readAll(earlier() + "/" + replaced[0]), oldTake);
    EXPECT_EQ(readAll(earlier() + "/" + replaced[1]), "second");
    EXPECT_EQ(readAll(earlier() + "/" + replaced[2]), "third");
}

TEST_F(ReplaceTakeFile, NewItemMakesNoEarlierTakesFolder) {
    const QString fresh = dir.filePath("新词.wav");
    const SaveResult r = replaceTakeFile(fresh, "x", 1, kWhen);
    EXPECT_TRUE(r.written);
    EXPECT_TRUE(r.replaced.isEmpty());
    EXPECT_EQ(readAll(fresh), "x");
    EXPECT_FALSE(QFileInfo::exists(earlier()));
}

TEST_F(ReplaceTakeFile, AFileWhereTheFolderShouldBeFailsTheSaveAndKeepsTheOldTake) {
    ASSERT_TRUE(writeAll(earlier(), "a file, not a folder"));
    const SaveResult r = save(newTake);
    EXPECT_FALSE(r.written);
    EXPECT_EQ(readAll(target()), oldTake);
    EXPECT_EQ(readAll(earlier()), "a file, not a folder");
    QStringList left = beside();
    left.removeAll("词.wav");
    EXPECT_TRUE(left.isEmpty()) << left.join(", ").toStdString();
}

TEST(EarlierTakeName, SaysTheItemAndTheTimeAndKeepsTheSuffix) {
    struct Row {
        const char* file;
        int attempt;
        const char* name;
    };
    const Row rows[] = {
        {"词.wav", 1, "词.20261209-011530.wav"},   {"词.wav", 12, "词.20261209-011530-12.wav"},
        {"a.b.wav", 1, "a.b.20261209-011530.wav"}, {"Record", 2, "Record.20261209-011530-2"},
        {".hidden", 1, ".hidden.20261209-011530"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(earlierTakeName(QString::fromUtf8(row.file), kWhen, row.attempt),
                  QString::fromUtf8(row.name));
    }
}

TEST(LongNames, EarlierTakesOfLongNamesFitToo) {
    const QString item = ItemFileName(chinese(80), 1, NameRules{});
    ASSERT_EQ(item, chinese(80) + u".wav"_s);  // fits, but not with the time added
    for (int attempt : {1, 2}) {
        const QString earlier = earlierTakeName(item, kWhen, attempt);
        EXPECT_LE(earlier.toUtf8().size(), 255) << attempt;
        EXPECT_TRUE(earlier.endsWith(attempt == 1 ? u".20261209-011530.wav"_s
                                                  : u".20261209-011530-2.wav"_s));
    }
    EXPECT_EQ(earlierTakeName(u"词.wav"_s, kWhen, 1), u"词.20261209-011530.wav"_s);
}

// On a real folder: a take of an 86-character item is saved, found again, and its replacement
// keeps the earlier take.
TEST(LongNames, ALongItemIsSavedFoundAndReplacedOnDisk) {
    QTemporaryDir dir;
    const QString item = chinese(86);
    const QString path = RecordingPathOf(dir.path(), item);
    ASSERT_FALSE(path.isEmpty());
    const QByteArray first = "first take", second = "second take";
    ASSERT_TRUE(replaceTakeFile(path, first.data(), first.size(), QDateTime::currentDateTime()));
    EXPECT_TRUE(QFile::exists(RecordingPathOf(dir.path(), item)));
    const SaveResult again =
        replaceTakeFile(path, second.data(), second.size(), QDateTime::currentDateTime());
    ASSERT_TRUE(again) << again.error;
    EXPECT_TRUE(QFile::exists(again.replaced));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(),
              1);  // no temporary left
}

TEST(LongNames, FailedSavesSayWhy) {
    QTemporaryDir dir;
    const QByteArray take = "take";
    const SaveResult missing = replaceTakeFile(dir.filePath(u"gone/a.wav"_s), take.data(),
                                               take.size(), QDateTime::currentDateTime());
    EXPECT_FALSE(missing);
    EXPECT_EQ(SaveErrorText(missing.error), u"文件夹不存在"_s);
    const SaveResult tooLong =
        replaceTakeFile(dir.filePath(QString(300, u'a') + u".wav"_s), take.data(), take.size(),
                        QDateTime::currentDateTime());
    EXPECT_FALSE(tooLong);
    EXPECT_EQ(SaveErrorText(tooLong.error), u"文件名过长"_s);
}

}  // namespace
}  // namespace quillar
