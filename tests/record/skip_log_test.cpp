// Skips in the take log: which lines leave an item skipped (the newest line of the item wins),
// the reason read back whatever it holds, and no reader of takes taking a skip for a take.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <vector>

#include "record/take_log.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

// One line of a log: a take of `file`, or (file empty) a skip of the item.
struct Line {
    QString item;
    QString file;
    QString id;
    QString reason;
};

Line take(const QString& item, const QString& file) {
    return {item, file, {}, {}};
}
Line skip(const QString& item, const QString& reason, const QString& id = {}) {
    return {item, {}, id, reason};
}

void writeLog(const QString& folder, const std::vector<Line>& lines) {
    for (const Line& l : lines) {
        if (l.file.isEmpty()) {
            SkipLogEntry e;
            e.item = l.item;
            e.id = l.id;
            e.reason = l.reason;
            ASSERT_TRUE(AppendSkipLog(folder, e));
        } else {
            TakeLogEntry e;
            e.item = l.item;
            e.file = folder + u'/' + l.file;
            ASSERT_TRUE(AppendTakeLog(e));
        }
    }
}

TEST(SkipLog, TheNewestLineOfAnItemSaysWhetherItIsSkipped) {
    const struct {
        const char* what;
        std::vector<Line> lines;
        // The item asked about: its id, text and file.
        QString id;
        QString item;
        QString file;
        bool skipped;
        QString reason;
    } cases[] = {
        {"a skip alone", {skip(u"多"_s, u"不适用"_s)}, {}, u"多"_s, u"多.wav"_s, true, u"不适用"_s},
        {"skip then take",
         {skip(u"多"_s, u"以后再录"_s), take(u"多"_s, u"多.wav"_s)},
         {},
         u"多"_s,
         u"多.wav"_s,
         false,
         {}},
        {"take then skip",
         {take(u"多"_s, u"多.wav"_s), skip(u"多"_s, u"发音人不会说"_s)},
         {},
         u"多"_s,
         u"多.wav"_s,
         true,
         u"发音人不会说"_s},
        {"skip, take, skip again: the newest reason",
         {skip(u"多"_s, u"一"_s), take(u"多"_s, u"多.wav"_s), skip(u"多"_s, u"二"_s)},
         {},
         u"多"_s,
         u"多.wav"_s,
         true,
         u"二"_s},
        {"another item's skip", {skip(u"少"_s, u"不适用"_s)}, {}, u"多"_s, u"多.wav"_s, false, {}},
        {"a homograph's take clears its own row only",
         {skip(u"多"_s, u"不适用"_s), take(u"多"_s, u"多 (2).wav"_s)},
         {},
         u"多"_s,
         u"多.wav"_s,
         true,
         u"不适用"_s},
        {"... and clears that one",
         {skip(u"多"_s, u"不适用"_s), take(u"多"_s, u"多 (2).wav"_s)},
         {},
         u"多"_s,
         u"多 (2).wav"_s,
         false,
         {}},
        {"a reason with commas, quotes and a line break",
         {skip(u"多"_s, u"他说\"不对\",换一个\n再说"_s)},
         {},
         u"多"_s,
         u"多.wav"_s,
         true,
         u"他说\"不对\",换一个\u240A再说"_s},
        {"a table's skip is its id's",
         {skip(u"磨"_s, u"不适用"_s, u"0016"_s)},
         u"0016"_s,
         u"磨"_s,
         u"0016磨.wav"_s,
         true,
         u"不适用"_s},
        {"not another row of the same text",
         {skip(u"磨"_s, u"不适用"_s, u"0016"_s)},
         u"0017"_s,
         u"磨"_s,
         u"0017磨.wav"_s,
         false,
         {}},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        writeLog(dir.path(), c.lines);
        LoggedSkips skips;
        ReadTakeLog(dir.path(), nullptr, nullptr, &skips);
        QString reason;
        EXPECT_EQ(skips.skipped(SkipKeyOf(c.id, c.item), c.file, &reason), c.skipped) << c.what;
        EXPECT_EQ(reason, c.reason) << c.what;
    }
}

TEST(SkipLog, ASkipIsNoTakeToTheReadersOfTakes) {
    QTemporaryDir dir;
    writeLog(dir.path(), {take(u"多"_s, u"多.wav"_s), skip(u"多"_s, u"不适用,真的"_s)});
    QHash<QString, quality::Judgement> judged;
    QHash<QString, QString> items;
    ReadTakeLog(dir.path(), &judged, &items);
    EXPECT_EQ(items.keys(), QStringList{u"多.wav"_s});
    EXPECT_FALSE(judged.contains(QString()));

    // The line itself: how, no file, no figures, the reason where problems stand.
    QFile f(dir.filePath(kTakeLogName));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const std::vector<QStringList> rows = ParseCsv(f.readAll());
    ASSERT_EQ(rows.size(), 3u);
    const QStringList& line = rows[2];
    ASSERT_EQ(line.size(), rows[0].size());
    EXPECT_EQ(line[1], u"多"_s);
    EXPECT_EQ(line[2], QString());
    EXPECT_EQ(line[3], QString());
    EXPECT_EQ(line[12], kTakeHowSkipped);
    EXPECT_EQ(line[16], u"不适用,真的"_s);
}

}  // namespace
}  // namespace quillar::test
