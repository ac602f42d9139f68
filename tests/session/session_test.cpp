// The session file: what a project writes before a trip is read, kept whole (keys this program
// does not know included) and written back; a wrong file is refused with its line, never half
// read.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

#include "session/session.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

// As a project's script might write it: keys of its own at every level, Chinese, escapes.
constexpr char kProjectFile[] = R"({
  "speaker": {
    "code": "老男",
    "name": "张三",
    "sex": "男",
    "birth_year": 1956,
    "role": "发音人",
    "languages": ["cmn", "wuu"],
    "dialect_note": {"tones": 7}
  },
  "site": {"code": "SH01", "place": "上海市 松江区", "latitude": 31.0325,
           "longitude": -121.2274, "elevation": 4},
  "fieldworker": "李四",
  "consent": "given",
  "notes": "录音于 \"老宅\"\n第二天",
  "project": {"grant": "X-123", "members": [1, "二"]}
})";

Session expectedProjectSession() {
    Session s;
    s.speaker = {u"老男"_s, u"张三"_s, u"男"_s, 1956, u"发音人"_s, {u"cmn"_s, u"wuu"_s}};
    s.site = {u"SH01"_s, u"上海市 松江区"_s, 31.0325, -121.2274};
    s.fieldworker = u"李四"_s;
    s.consent = u"given"_s;
    s.notes = u"录音于 \"老宅\"\n第二天"_s;
    return s;
}

TEST(SessionFile, AProjectsFileIsReadAndWrittenBackWithEverythingItHad) {
    const SessionRead read = parseSession(kProjectFile);
    ASSERT_TRUE(read.session) << read.error.toStdString();
    EXPECT_TRUE(read.error.isEmpty());
    EXPECT_EQ(*read.session, expectedProjectSession());

    Session changed = *read.session;
    changed.notes = u"改过"_s;
    changed.speaker.birthYear.reset();
    const QByteArray json = sessionJson(changed);
    EXPECT_TRUE(json.contains("\"code\": \"老男\"")) << json.toStdString();      // UTF-8, not \u
    EXPECT_TRUE(json.contains("\n    \"speaker\": {\n")) << json.toStdString();  // indented

    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(kSessionFileName));
    QString error;
    ASSERT_TRUE(writeSessionFile(path, changed, &error)) << error.toStdString();
    const SessionRead again = readSessionFile(path);
    ASSERT_TRUE(again.session) << again.error.toStdString();
    EXPECT_EQ(*again.session, changed);
    const QJsonObject o = again.session->original;
    EXPECT_EQ(o[u"project"_s][u"grant"_s].toString(), u"X-123"_s);
    EXPECT_EQ(o[u"project"_s][u"members"_s].toArray(), (QJsonArray{1, u"二"_s}));
    EXPECT_EQ(o[u"speaker"_s][u"dialect_note"_s][u"tones"_s].toInt(), 7);
    EXPECT_EQ(o[u"site"_s][u"elevation"_s].toInt(), 4);
    // Nothing but the file is left in the folder: no temporary beside it.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QString::fromLatin1(kSessionFileName)});

    // A session made in the program, with nothing to keep, comes back the same.
    Session fresh;
    fresh.speaker.code = u"S01"_s;
    fresh.site.latitude = -90;
    const SessionRead back = parseSession(sessionJson(fresh));
    ASSERT_TRUE(back.session) << back.error.toStdString();
    EXPECT_EQ(*back.session, fresh);
}

// A key with a byte-order mark in it (files pasted together in an editor) is one Qt's parser
// names without the mark; written back beside the program's own key, it would be read instead
// of it, and a file the program read would be refused once it had written it.
TEST(SessionFile, AKeyWithAByteOrderMarkDoesNotComeBackAsTheKeyItResembles) {
    const QByteArray file =
        "{\"speaker\": {\"code\": \"S1\", \"\xEF\xBB\xBFlanguages\": [\"XX\"]},"
        " \"\xEF\xBB\xBFnotes\": 5, \"extra\": 1}";
    const SessionRead read = parseSession(file);
    ASSERT_TRUE(read.session) << read.error.toStdString();
    const QByteArray written = sessionJson(*read.session);
    const SessionRead again = parseSession(written);
    ASSERT_TRUE(again.session) << again.error.toStdString() << written.toStdString();
    EXPECT_EQ(*again.session, *read.session);
    EXPECT_EQ(written.count("\"languages\""), 1) << written.toStdString();
    EXPECT_EQ(written.count("\"notes\""), 1) << written.toStdString();
    EXPECT_EQ(again.session->original[u"extra"_s].toInt(), 1);
}

TEST(SessionFile, KeysAndTextsWithByteOrderMarksAreWrittenAsTheyAreReadBack) {
    // A mark written plainly is dropped at the next read, one that came through an escape is kept:
    // written as read, keys moved, merged or came back as ours, and texts came back shorter.
    const struct {
        const char* why;
        QByteArray file;
        const char* once;  // written exactly once
    } cases[] = {
        {"at the start of texts, ours and kept",
         "{\"notes\": \"\\ufeffn\", \"extra\": [\"\xEF\xBB\xBF\\u0041\"]}", "\"notes\""},
        {"beside an empty key, inside a value kept whole",
         "{\"extra\": {\"\": 30, \"\xEF\xBB\xBF\": 34, \"list\": [{\"\xEF\xBB\xBF\": 1, \"\": "
         "2}]}}",
         "\"list\""},
        {"escaped, resembling one of ours", "{\"notes\": \"n\", \"\\ufeffnotes\": 5}", "\"notes\""},
        {"escaped and plain, inside a value kept whole",
         "{\"extra\": {\"\\ufeff\xEF\xBB\xBFx\": 2, \"x\": 3}}", "\"x\""},
    };
    for (const auto& c : cases) {
        const SessionRead read = parseSession(c.file);
        ASSERT_TRUE(read.session) << c.why << ": " << read.error.toStdString();
        const QByteArray written = sessionJson(*read.session);
        const SessionRead again = parseSession(written);
        ASSERT_TRUE(again.session) << c.why << ": " << again.error.toStdString();
        EXPECT_EQ(*again.session, *read.session) << c.why;
        EXPECT_EQ(sessionJson(*again.session), written) << c.why;
        EXPECT_EQ(written.count(c.once), 1) << c.why << ": " << written.toStdString();
        EXPECT_FALSE(written.contains("\xEF\xBB\xBF")) << c.why << ": " << written.toStdString();
    }
}

TEST(SessionFile, MissingKeysAndNullsAreEmpty) {
    for (const char* json :
         {"{}", "{\"speaker\": {}, \"site\": null}",
          "\xEF\xBB\xBF{\"speaker\": {\"birth_year\": null}, \"notes\": null}"}) {
        const SessionRead read = parseSession(json);
        ASSERT_TRUE(read.session) << json << ": " << read.error.toStdString();
        EXPECT_EQ(*read.session, Session{}) << json;
    }
    const SessionRead bom = parseSession(QByteArray("\xEF\xBB\xBF") + kProjectFile);
    ASSERT_TRUE(bom.session) << bom.error.toStdString();
    EXPECT_EQ(*bom.session, expectedProjectSession());
}

TEST(SessionFile, AWrongFileIsRefusedWithItsLineAndNothingOfIt) {
    const struct {
        const char* name;
        const char* json;
        int line;
        const char16_t* says;
    } cases[] = {
        {"a year in words",
         "{\n  \"speaker\": {\n    \"code\": \"S01\",\n"
         "    \"birth_year\": \"nineteen\"\n  }\n}",
         4, u"speaker.birth_year"},
        {"half a year", "{\"speaker\": {\n\"birth_year\": 1956.5}}", 2, u"年份"},
        {"one language, not a list", "{\"speaker\": {\n\n\n\"languages\": \"cmn\"}}", 4,
         u"speaker.languages"},
        {"a code in capitals", "{\"speaker\": {\"languages\": [\"cmn\",\n\"CMN\"]}}", 2, u"“CMN”"},
        {"a code of two letters", "{\"speaker\": {\"languages\":\n[\"zh\"]}}", 2, u"“zh”"},
        {"a number for a code", "{\"speaker\": {\"languages\": [\"cmn\", 7]}}", 1, u"“7”"},
        {"latitude past the pole", "{\n\"site\": {\n\"latitude\": 91}}", 3, u"site.latitude"},
        {"longitude in text", "{\n\"site\": {\"longitude\":\n\n\"121E\"}}", 4, u"-180 到 180"},
        {"speaker as text", "{\n\n\"speaker\": \"老男\"}", 3, u"“speaker”应是一个对象"},
        {"a number for a name", "{\"site\": {},\n\"fieldworker\": 5}", 2, u"“fieldworker”"},
        {"consent as yes", "{\n\"consent\": true}", 2, u"“consent”应是文字"},
        {"a missing comma", "{\n\"fieldworker\": \"a\"\n\"notes\": \"b\"\n}", 3, u"逗号"},
        {"cut off", "{\n\"notes\": \"b\",\n", 3, u"结尾"},
        {"a quote left open", "{\n\"notes\": \"b}", 2, u"引号"},
        {"no colon", "{\"notes\"\n\"b\"}", 2, u"冒号"},
        {"a list, not an object", "\n\n[1, 2]", 3, u"应是一个对象"},
        {"not UTF-8", "{\n\"notes\": \"\xFF\xFE\"}", 2, u"UTF-8"},
        {"empty", "", 1, u"空"},
        {"blank", " \n\t", 1, u"空"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const SessionRead read = parseSession(c.json);
        EXPECT_FALSE(read.session);
        EXPECT_TRUE(read.error.startsWith(u"第 %1 行："_s.arg(c.line))) << read.error.toStdString();
        EXPECT_TRUE(read.error.contains(QString::fromUtf16(c.says))) << read.error.toStdString();
    }
}

TEST(SessionFile, MissingHugeAndUnwritableFiles) {
    QTemporaryDir dir;
    const SessionRead missing = readSessionFile(dir.filePath(u"none.json"_s));
    EXPECT_FALSE(missing.session);
    EXPECT_TRUE(missing.error.isEmpty());

    // Over a megabyte is refused without reading it whole, valid JSON or not.
    const QString huge = dir.filePath(u"huge.json"_s);
    QFile file(huge);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"notes\": \"");
    file.write(QByteArray(1 << 20, 'x'));
    file.write("\"}");
    file.close();
    const SessionRead big = readSessionFile(huge);
    EXPECT_FALSE(big.session);
    EXPECT_TRUE(big.error.contains(u"1 MB"_s)) << big.error.toStdString();

    QString error;
    EXPECT_FALSE(writeSessionFile(dir.filePath(u"gone/x.json"_s), Session{}, &error));
    EXPECT_FALSE(error.isEmpty());
}

}  // namespace
}  // namespace quillar::test
