// The TextGrid, EAF and LIFT writers against files written by hand as the tools expect them.
#include <gtest/gtest.h>

#include <QTimeZone>

#include "annotation/eaf.h"
#include "annotation/lift.h"
#include "annotation/textgrid.h"

namespace quillar::test {
namespace {

using namespace annotation;

TEST(TextGrid, ATableTakeIsItsItemAndGlossOverTheSpeech) {
    const QByteArray expected = R"(File type = "ooTextFile"
Object class = "TextGrid"

xmin = 0 
xmax = 1.5 
tiers? <exists> 
size = 2 
item []: 
    item [1]:
        class = "IntervalTier" 
        name = "item" 
        xmin = 0 
        xmax = 1.5 
        intervals: size = 3 
        intervals [1]:
            xmin = 0 
            xmax = 0.28 
            text = "" 
        intervals [2]:
            xmin = 0.28 
            xmax = 1.125 
            text = "0001 多" 
        intervals [3]:
            xmin = 1.125 
            xmax = 1.5 
            text = "" 
    item [2]:
        class = "IntervalTier" 
        name = "gloss" 
        xmin = 0 
        xmax = 1.5 
        intervals: size = 3 
        intervals [1]:
            xmin = 0 
            xmax = 0.28 
            text = "" 
        intervals [2]:
            xmin = 0.28 
            xmax = 1.125 
            text = "many, ""much""" 
        intervals [3]:
            xmin = 1.125 
            xmax = 1.5 
            text = "" 
)";
    EXPECT_EQ(TextGridText(0, 1.5,
                           TakeTiers(1.5, true, 0.28, 1.125, QStringLiteral("0001 多"),
                                     QStringLiteral("many, \"much\""))),
              expected);
}

TEST(TextGrid, TiersCoverTheWholeSpanWhateverTheyAreGiven) {
    struct Case {
        const char* name;
        std::vector<IntervalTier> tiers;
        std::vector<Interval> expected;  // of the first tier
    };
    const Case cases[] = {
        {"gaps filled",
         {{"t", {{0.2, 0.4, "a"}, {0.6, 0.8, "b"}}}},
         {{0, 0.2, ""}, {0.2, 0.4, "a"}, {0.4, 0.6, ""}, {0.6, 0.8, "b"}, {0.8, 1, ""}}},
        {"an overlap cut at the end of the one before",
         {{"t", {{0.0, 0.5, "a"}, {0.4, 0.9, "b"}}}},
         {{0, 0.5, "a"}, {0.5, 0.9, "b"}, {0.9, 1, ""}}},
        {"beyond the span clamped, empty ones dropped",
         {{"t", {{-1, 0.3, "a"}, {0.3, 0.3, "x"}, {0.7, 5, "b"}}}},
         {{0, 0.3, "a"}, {0.3, 0.7, ""}, {0.7, 1, "b"}}},
        {"no interval: one empty", {{"t", {}}}, {{0, 1, ""}}},
    };
    for (const Case& c : cases) {
        const QByteArray text = TextGridText(0, 1, c.tiers);
        const QByteArray size =
            "intervals: size = " + QByteArray::number(c.expected.size()) + " \n";
        EXPECT_TRUE(text.contains(size)) << c.name << "\n" << text.toStdString();
        qsizetype at = 0;
        for (const Interval& i : c.expected) {
            const QByteArray interval = "xmin = " + QByteArray::number(i.start) +
                                        " \n            xmax = " + QByteArray::number(i.end) +
                                        " \n            text = \"" + i.text.toUtf8() + "\"";
            at = text.indexOf(interval, at);
            EXPECT_GE(at, 0) << c.name << ": " << interval.toStdString();
        }
    }
}

TEST(TextGrid, TakeTiersFallBackToTheWholeTakeWithoutSpeech) {
    const auto only = [](const std::vector<IntervalTier>& t) { return t.at(0).intervals.at(0); };
    EXPECT_EQ(only(TakeTiers(2.0, false, 0, 0, QStringLiteral("多"), std::nullopt)),
              (Interval{0, 2.0, QStringLiteral("多")}));
    EXPECT_EQ(only(TakeTiers(2.0, true, 0.5, 9.0, QStringLiteral("多"), std::nullopt)),
              (Interval{0.5, 2.0, QStringLiteral("多")}));
    EXPECT_EQ(TakeTiers(2.0, true, 0.5, 1.0, QStringLiteral("多"), std::nullopt).size(), 1u);
    EXPECT_EQ(TakeTiers(2.0, true, 0.5, 1.0, QStringLiteral("多"), QString()).size(), 2u);
}

TEST(Eaf, ItemAndGlossTiersOnTimeSlotsInTimeOrder) {
    EafDocument d;
    d.mediaRelativeUrl = QStringLiteral("./场次.wav");
    d.mediaUrl = QStringLiteral("file:///data/%E5%9C%BA%E6%AC%A1.wav");
    d.author = QStringLiteral("R & D");
    d.date = QDateTime(QDate(2026, 12, 10), QTime(9, 30), QTimeZone(8 * 3600));
    d.tiers = {{QStringLiteral("item"),
                {{280, 1125, QStringLiteral("0001 多")}, {1780, 2400, "0002 <少>"}}},
               {QStringLiteral("gloss"), {{280, 1125, "many"}, {1780, 2400, "few"}}}};
    const QByteArray expected = R"(<?xml version="1.0" encoding="UTF-8"?>
<ANNOTATION_DOCUMENT AUTHOR="R &amp; D" DATE="2026-12-10T09:30:00+08:00" FORMAT="3.0" VERSION="3.0" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xsi:noNamespaceSchemaLocation="http://www.mpi.nl/tools/elan/EAFv3.0.xsd">
    <HEADER MEDIA_FILE="" TIME_UNITS="milliseconds">
        <MEDIA_DESCRIPTOR MEDIA_URL="file:///data/%E5%9C%BA%E6%AC%A1.wav" MIME_TYPE="audio/x-wav" RELATIVE_MEDIA_URL="./场次.wav"/>
    </HEADER>
    <TIME_ORDER>
        <TIME_SLOT TIME_SLOT_ID="ts1" TIME_VALUE="280"/>
        <TIME_SLOT TIME_SLOT_ID="ts2" TIME_VALUE="280"/>
        <TIME_SLOT TIME_SLOT_ID="ts3" TIME_VALUE="1125"/>
        <TIME_SLOT TIME_SLOT_ID="ts4" TIME_VALUE="1125"/>
        <TIME_SLOT TIME_SLOT_ID="ts5" TIME_VALUE="1780"/>
        <TIME_SLOT TIME_SLOT_ID="ts6" TIME_VALUE="1780"/>
        <TIME_SLOT TIME_SLOT_ID="ts7" TIME_VALUE="2400"/>
        <TIME_SLOT TIME_SLOT_ID="ts8" TIME_VALUE="2400"/>
    </TIME_ORDER>
    <TIER LINGUISTIC_TYPE_REF="default-lt" TIER_ID="item">
        <ANNOTATION>
            <ALIGNABLE_ANNOTATION ANNOTATION_ID="a1" TIME_SLOT_REF1="ts1" TIME_SLOT_REF2="ts3">
                <ANNOTATION_VALUE>0001 多</ANNOTATION_VALUE>
            </ALIGNABLE_ANNOTATION>
        </ANNOTATION>
        <ANNOTATION>
            <ALIGNABLE_ANNOTATION ANNOTATION_ID="a2" TIME_SLOT_REF1="ts5" TIME_SLOT_REF2="ts7">
                <ANNOTATION_VALUE>0002 &lt;少&gt;</ANNOTATION_VALUE>
            </ALIGNABLE_ANNOTATION>
        </ANNOTATION>
    </TIER>
    <TIER LINGUISTIC_TYPE_REF="default-lt" TIER_ID="gloss">
        <ANNOTATION>
            <ALIGNABLE_ANNOTATION ANNOTATION_ID="a3" TIME_SLOT_REF1="ts2" TIME_SLOT_REF2="ts4">
                <ANNOTATION_VALUE>many</ANNOTATION_VALUE>
            </ALIGNABLE_ANNOTATION>
        </ANNOTATION>
        <ANNOTATION>
            <ALIGNABLE_ANNOTATION ANNOTATION_ID="a4" TIME_SLOT_REF1="ts6" TIME_SLOT_REF2="ts8">
                <ANNOTATION_VALUE>few</ANNOTATION_VALUE>
            </ALIGNABLE_ANNOTATION>
        </ANNOTATION>
    </TIER>
    <LINGUISTIC_TYPE GRAPHIC_REFERENCES="false" LINGUISTIC_TYPE_ID="default-lt" TIME_ALIGNABLE="true"/>
</ANNOTATION_DOCUMENT>
)";
    EXPECT_EQ(EafText(d).toStdString(), expected.toStdString());
}

TEST(Lift, EntriesWithFormPronunciationSenseAndNote) {
    LiftLexicon l;
    l.formLanguage = QStringLiteral("wuu");
    l.produced = QDateTime(QDate(2026, 12, 10), QTime(1, 30), QTimeZone::utc());
    l.entries = {{"0001", "多", "many", "文读", "audio/0001-多.wav"},
                 {"0002", "少 & 小", QString(), QString(), "audio/0002.wav"}};
    const QByteArray expected = R"(<?xml version="1.0" encoding="UTF-8"?>
<lift version="0.13" producer="Quillar">
  <entry id="0001" dateCreated="2026-12-10T01:30:00Z" dateModified="2026-12-10T01:30:00Z">
    <lexical-unit>
      <form lang="wuu">
        <text>多</text>
      </form>
    </lexical-unit>
    <pronunciation>
      <media href="audio/0001-多.wav"/>
    </pronunciation>
    <sense id="0001_sense">
      <gloss lang="en">
        <text>many</text>
      </gloss>
    </sense>
    <note>
      <form lang="en">
        <text>文读</text>
      </form>
    </note>
  </entry>
  <entry id="0002" dateCreated="2026-12-10T01:30:00Z" dateModified="2026-12-10T01:30:00Z">
    <lexical-unit>
      <form lang="wuu">
        <text>少 &amp; 小</text>
      </form>
    </lexical-unit>
    <pronunciation>
      <media href="audio/0002.wav"/>
    </pronunciation>
  </entry>
</lift>
)";
    EXPECT_EQ(LiftText(l).toStdString(), expected.toStdString());
    l.formLanguage.clear();
    EXPECT_TRUE(LiftText(l).contains("<form lang=\"und\">"));
}

}  // namespace
}  // namespace quillar::test
