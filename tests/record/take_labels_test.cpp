// What a take carries besides its audio: its journal keeps the labels of its key (id, note,
// gloss, template, session), its file is named by the template it began under, and its metadata
// is there exactly when a session is.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "record/take_info.h"
#include "record/take_metadata.h"
#include "record/take_naming.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

TakeInfo surveyTake() {
    TakeInfo info;
    info.item = u"磨"_s;
    info.folder = u"/rec"_s;
    info.rate = 44100;
    info.bits = 16;
    info.channels = 1;
    info.device = u"Mic"_s;
    info.started = QDateTime(QDate(2026, 12, 10), QTime(9, 30, 0));
    TakeLabels& l = info.labels;
    l.id = u"0016"_s;
    l.note = u"名词"_s;
    l.gloss = u"millstone"_s;
    l.nameTemplate = u"{speaker}/{list}/{id:4}{item}"_s;
    l.table = true;
    l.list = u"/lists/单字.csv"_s;
    l.session.emplace();
    l.session->speaker.code = u"老男"_s;
    l.session->site.code = u"HZ01"_s;
    l.session->site.place = u"杭州"_s;
    return info;
}

TEST(TakeLabels, TheJournalKeepsThemAndAnOlderJournalHasNone) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"take.json"_s);
    const TakeInfo info = surveyTake();
    ASSERT_TRUE(writeTakeInfo(path, info));
    const std::optional<TakeInfo> back = readTakeInfo(path);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->labels, info.labels);

    // A journal an earlier version wrote: the item's own name, no metadata.
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
    old.write(R"({"item": "磨", "folder": "/rec", "rate": 44100, "bits": 16, "channels": 1,
                 "started": "2026-12-10T09:30:00", "occurrence": 2})");
    old.close();
    const std::optional<TakeInfo> older = readTakeInfo(path);
    ASSERT_TRUE(older);
    EXPECT_EQ(older->labels, TakeLabels{});
    EXPECT_EQ(
        TakeFileOf(older->folder, older->item, older->occurrence, older->labels, older->started),
        u"/rec/磨 (2).wav"_s);
    EXPECT_FALSE(TakeMetadataOf(*older));
}

TEST(TakeLabels, TheFileIsNamedByTheTemplateItBeganUnder) {
    const TakeInfo info = surveyTake();
    struct Case {
        QString nameTemplate;
        bool ascii;
        QString file;
    };
    const Case cases[] = {
        {u"{speaker}/{list}/{id:4}{item}"_s, false, u"/rec/老男/单字/0016磨.wav"_s},
        {u"{id}{item}"_s, false, u"/rec/0016磨.wav"_s},
        {u"{speaker}-{id}"_s, true, u"/rec/-0016.wav"_s},  // a speaker of no ASCII drops out
        {u"{gloss}_{id}"_s, true, u"/rec/millstone_0016.wav"_s},
        // A template this version cannot read: the item's own name, never no file at all.
        {u"{unknown}"_s, false, u"/rec/磨.wav"_s},
    };
    for (const Case& c : cases) {
        TakeLabels labels = info.labels;
        labels.nameTemplate = c.nameTemplate;
        labels.asciiNames = c.ascii;
        EXPECT_EQ(TakeFileOf(u"/rec"_s, info.item, 1, labels, info.started), c.file)
            << c.nameTemplate.toStdString();
    }
}

TEST(TakeLabels, MetadataComesWithASessionAndSaysWhoWhereAndWhat) {
    TakeInfo info = surveyTake();
    const std::optional<WavMetadata> m = TakeMetadataOf(info);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->description, u"0016 磨"_s);
    EXPECT_EQ(m->title, u"磨"_s);
    EXPECT_EQ(m->artist, u"老男"_s);
    EXPECT_EQ(m->source, u"HZ01 杭州"_s);
    EXPECT_TRUE(m->comment.contains(u"millstone"_s) && m->comment.contains(u"名词"_s));
    EXPECT_EQ(m->originationDate, u"2026-12-10"_s);
    EXPECT_EQ(m->originationTime, u"09:30:00"_s);
    EXPECT_TRUE(m->codingHistory.contains(u"F=44100"_s) && m->codingHistory.contains(u"Mic"_s));
    info.labels.session.reset();
    EXPECT_FALSE(TakeMetadataOf(info));
}

}  // namespace
}  // namespace quillar::test
