// The LIFT export over a folder of real takes, read back by Python's XML parser: its entries,
// the form's language, every media href resolving to a copy equal to its take, the copies' names
// and the refusal to replace a file that is not the take.
#include "export/lift_export.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include "export/verified_copy.h"
#include "export_test_support.h"
#include "support/synth_take.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;
using quality::SampleFormat;

ExportItem Item(const QString& id, const QString& text, const QString& gloss, const QString& note,
                const QString& file) {
    ExportItem i;
    i.entry = {.id = id, .item = text, .note = note, .gloss = gloss, .extra = {}, .prompt = {}};
    i.text = id.isEmpty() ? text : id + u' ' + text;
    i.file = file;
    return i;
}

class LiftExport : public ::testing::Test {
  protected:
    void SetUp() override {
        folder.folder = src.path();
        folder.table = true;
        Session s;
        s.speaker.code = u"S01"_s;
        s.speaker.languages = {u"wuu"_s, u"cmn"_s};
        folder.session = s;
        folder.items = {
            Item(u"0001"_s, u"多"_s, u"many"_s, u"said <twice> & slowly"_s,
                 u"老男/单字/0001多.wav"_s),
            Item(u"0002"_s, u"少"_s, u"few"_s, {}, {}),
            Item(u"0003"_s, u"人"_s, u"person"_s, {}, u"老男/单字/0003人.wav"_s),
        };
        for (const ExportItem& i : folder.items) {
            if (i.hasTake()) {
                PutFile(src.filePath(i.file), take(i.file));
            }
        }
        before = Snapshot(src.path());
    }
    void TearDown() override {
        SetCopyPlacedHookForTest({});
        EXPECT_EQ(Snapshot(src.path()), before) << "the takes' folder changed";
    }
    // A take of its own for each file, so that a copy under the wrong name shows.
    static QByteArray take(const QString& file) {
        return SynthWav(
            {.wordSeconds = 0.1 + 0.01 * static_cast<double>(qHash(file) % 20), .channels = 1},
            SampleFormat::S16);
    }
    bool exportLift(QString* error, int* entries = nullptr) {
        LiftExportResult result;
        const bool ok = ExportLift(folder, liftPath, &result, error);
        if (entries != nullptr) {
            *entries = result.entries;
        }
        return ok;
    }
    // The entries as Python's xml.etree reads them; fails the test on a document that is not
    // well-formed.
    QJsonArray entriesRead() {
        const ProgramRun python =
            RunProgram(u"/usr/bin/python3"_s, {QStringLiteral(QUILLAR_LIFT_ENTRIES), liftPath});
        EXPECT_EQ(python.code, 0) << python.err.toStdString();
        const QJsonObject lift = QJsonDocument::fromJson(python.out.toUtf8()).object();
        EXPECT_EQ(lift[u"version"_s].toString(), u"0.13"_s);
        return lift[u"entries"_s].toArray();
    }
    // Every media href of the lexicon names a copy equal to its item's take.
    void expectMediaResolve() {
        const QJsonArray entries = entriesRead();
        int at = 0;
        for (const ExportItem& i : folder.items) {
            if (!i.hasTake()) {
                continue;
            }
            ASSERT_LT(at, entries.size());
            const QJsonArray media = entries[at++].toObject()[u"media"_s].toArray();
            ASSERT_EQ(media.size(), 1) << i.file.toStdString();
            const QString copy = QFileInfo(liftPath).dir().filePath(media[0].toString());
            EXPECT_TRUE(media[0].toString().startsWith(u"audio/"_s));
            EXPECT_EQ(Sha256Sum(copy), Sha256Sum(src.filePath(i.file))) << copy.toStdString();
        }
        EXPECT_EQ(at, entries.size());
    }

    QTemporaryDir src;
    QTemporaryDir dst;
    ExportFolder folder;
    QString liftPath = dst.filePath(u"词表/lexicon.lift"_s);
    QMap<QString, QByteArray> before;
};

TEST_F(LiftExport, EveryItemWithATakeIsAnEntryWithItsCopy) {
    QString error;
    int entries = 0;
    ASSERT_TRUE(exportLift(&error, &entries)) << error.toStdString();
    EXPECT_EQ(entries, 2);
    const QJsonArray read = entriesRead();
    ASSERT_EQ(read.size(), 2);
    const QJsonObject first = read[0].toObject();
    EXPECT_EQ(first[u"id"_s].toString(), u"0001"_s);
    EXPECT_EQ(first[u"form_lang"_s].toString(), u"wuu"_s);
    EXPECT_EQ(first[u"form"_s].toString(), u"多"_s);
    EXPECT_EQ(first[u"gloss_lang"_s].toString(), u"en"_s);
    EXPECT_EQ(first[u"gloss"_s].toString(), u"many"_s);
    EXPECT_EQ(first[u"note"_s].toString(), u"said <twice> & slowly"_s);
    EXPECT_EQ(first[u"media"_s].toArray()[0].toString(), u"audio/老男-单字-0001多.wav"_s);
    EXPECT_EQ(read[1].toObject()[u"id"_s].toString(), u"0003"_s);
    expectMediaResolve();
    QStringList copies = Snapshot(QFileInfo(liftPath).path()).keys();
    EXPECT_EQ(copies, (QStringList{u"audio/老男-单字-0001多.wav"_s, u"audio/老男-单字-0003人.wav"_s,
                                   u"lexicon.lift"_s}))
        << "no temporary file left";
}

TEST_F(LiftExport, ATwoEntryTableIsTheLexiconWrittenByHand) {
    QString error;
    const QDateTime started = QDateTime::currentDateTimeUtc().addSecs(-1);
    ASSERT_TRUE(exportLift(&error)) << error.toStdString();
    QString lift = QString::fromUtf8(FileBytes(liftPath));
    // The entries are dated when the export ran: checked, then set aside.
    const QRegularExpression dated(uR"re(date(Created|Modified)="([^"]*)")re"_s);
    for (const QRegularExpressionMatch& m : dated.globalMatch(lift)) {
        const QDateTime when = QDateTime::fromString(m.captured(2), Qt::ISODate);
        EXPECT_TRUE(when >= started && when <= QDateTime::currentDateTimeUtc())
            << m.captured(2).toStdString();
    }
    lift.replace(dated, uR"(date\1="T")"_s);
    const QString expected =
        uR"(<?xml version="1.0" encoding="UTF-8"?>
<lift version="0.13" producer="Quillar">
  <entry id="0001" dateCreated="T" dateModified="T">
    <lexical-unit>
      <form lang="wuu">
        <text>多</text>
      </form>
    </lexical-unit>
    <pronunciation>
      <media href="audio/老男-单字-0001多.wav"/>
    </pronunciation>
    <sense id="0001_sense">
      <gloss lang="en">
        <text>many</text>
      </gloss>
    </sense>
    <note>
      <form lang="en">
        <text>said &lt;twice&gt; &amp; slowly</text>
      </form>
    </note>
  </entry>
  <entry id="0003" dateCreated="T" dateModified="T">
    <lexical-unit>
      <form lang="wuu">
        <text>人</text>
      </form>
    </lexical-unit>
    <pronunciation>
      <media href="audio/老男-单字-0003人.wav"/>
    </pronunciation>
    <sense id="0003_sense">
      <gloss lang="en">
        <text>person</text>
      </gloss>
    </sense>
  </entry>
</lift>
)"_s;
    EXPECT_EQ(lift, expected);
}

TEST_F(LiftExport, TheFormIsInTheSpeakersFirstLanguage) {
    const struct {
        const char* what;
        std::optional<QStringList> languages;  // none: no session
        QString lang;
    } cases[] = {
        {"first of several", QStringList{u"cmn"_s, u"wuu"_s}, u"cmn"_s},
        {"a session without languages", QStringList{}, u"und"_s},
        {"no session", std::nullopt, u"und"_s},
    };
    for (const auto& c : cases) {
        folder.session.reset();
        if (c.languages) {
            folder.session = Session{};
            folder.session->speaker.languages = *c.languages;
        }
        QString error;
        ASSERT_TRUE(exportLift(&error)) << c.what << ": " << error.toStdString();
        const QJsonArray read = entriesRead();
        ASSERT_FALSE(read.isEmpty()) << c.what;
        EXPECT_EQ(read[0].toObject()[u"form_lang"_s].toString(), c.lang) << c.what;
    }
}

TEST_F(LiftExport, CopiesAreNamedForAnyFileSystemAndApart) {
    // A plain list whose files a Linux folder holds but FAT or NTFS would not, or would not
    // tell apart.
    folder.table = false;
    folder.items = {
        Item({}, u"a:b"_s, {}, {}, u"a:b.wav"_s), Item({}, u"con"_s, {}, {}, u"con.wav"_s),
        Item({}, u"x"_s, {}, {}, u"A/x.wav"_s),   Item({}, u"x"_s, {}, {}, u"a-x.wav"_s),
        Item({}, u"Q?"_s, {}, {}, u"Q?.WAV"_s),
    };
    for (const ExportItem& i : folder.items) {
        PutFile(src.filePath(i.file), take(i.file));
    }
    before = Snapshot(src.path());
    QString error;
    ASSERT_TRUE(exportLift(&error)) << error.toStdString();
    const struct {
        QString id, href;
    } expected[] = {
        {u"a:b"_s, u"audio/a_b.wav"_s}, {u"con"_s, u"audio/_con.wav"_s},
        {u"x"_s, u"audio/A-x.wav"_s},   {u"x (2)"_s, u"audio/a-x (2).wav"_s},
        {u"Q?"_s, u"audio/Q_.wav"_s},
    };
    const QJsonArray read = entriesRead();
    ASSERT_EQ(read.size(), std::ssize(expected));
    for (qsizetype i = 0; i < read.size(); ++i) {
        const QJsonObject e = read[i].toObject();
        EXPECT_EQ(e[u"id"_s].toString(), expected[i].id);
        EXPECT_EQ(e[u"media"_s].toArray()[0].toString(), expected[i].href) << i;
    }
    expectMediaResolve();
}

TEST_F(LiftExport, ACopyAlreadyThereIsKeptAndAnyOtherFileRefused) {
    QString error;
    ASSERT_TRUE(exportLift(&error)) << error.toStdString();
    // Again over the same takes: the copies are the takes, so they stand.
    ASSERT_TRUE(exportLift(&error)) << error.toStdString();
    expectMediaResolve();

    // Another file where a copy goes: refused before any copy, the lexicon as it was.
    const QString other = QFileInfo(liftPath).dir().filePath(u"audio/老男-单字-0003人.wav"_s);
    ASSERT_TRUE(QFile::remove(QFileInfo(liftPath).dir().filePath(u"audio/老男-单字-0001多.wav"_s)));
    ASSERT_TRUE(QFile::remove(other));
    PutFile(other, "another recording");
    const QMap<QString, QByteArray> standing = Snapshot(QFileInfo(liftPath).path());
    EXPECT_FALSE(exportLift(&error));
    EXPECT_TRUE(error.contains(u"audio/老男-单字-0003人.wav"_s)) << error.toStdString();
    EXPECT_EQ(Snapshot(QFileInfo(liftPath).path()), standing);
}

TEST_F(LiftExport, ACopyThatDoesNotReadBackIsReportedAndNoLexiconWritten) {
    SetCopyPlacedHookForTest([](const QString& path) {
        if (path.endsWith(u"0003人.wav"_s)) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            f.resize(f.size() - 1);
        }
    });
    QString error;
    EXPECT_FALSE(exportLift(&error));
    EXPECT_TRUE(error.contains(u"0003人.wav"_s)) << error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(liftPath));
    EXPECT_TRUE(Snapshot(QFileInfo(liftPath).path()).isEmpty())
        << "the copy made before it is gone again";
}

}  // namespace
}  // namespace quillar::test
