// Naming templates: which texts are templates, what a template makes of an item, that "{item}"
// on a plain list is the name items always had, the check of a whole list, and the subfolders a
// save makes below the auto-save folder and never above it.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cerrno>

#include "items/item_list.h"
#include "naming/name_template.h"
#include "record/take_replacement.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

NameTemplate parsed(const QString& text) {
    QString error;
    const std::optional<NameTemplate> t = ParseNameTemplate(text, &error);
    EXPECT_TRUE(t.has_value()) << text.toStdString() << ": " << error.toStdString();
    return t.value_or(NameTemplate{});
}

QString chinese(int n) {
    QString s;
    for (int i = 0; i < n; ++i) {
        s += QChar(char16_t(0x4E00 + i % 500));
    }
    return s;
}

ItemEntry row(const QString& id, const QString& item, const QString& gloss = {}) {
    ItemEntry e;
    e.id = id;
    e.item = item;
    e.gloss = gloss;
    return e;
}

TEST(NameTemplate, TextsThatAreTemplatesAndTextsThatAreNot) {
    for (const QString& good :
         {u"{item}"_s, u"{id}{item}"_s, u"{speaker}/{list}/{id}{item}"_s, u"{speaker}-{id}"_s,
          u"{id:4}_{gloss}"_s, u"录音/{list}/第{id:10}条 {item}"_s, u"..{item}"_s}) {
        parsed(good);
    }
    EXPECT_EQ(parsed(DefaultNameTemplate(false)).text, u"{item}"_s);
    EXPECT_EQ(DefaultNameTemplate(true), u"{id}{item}"_s);
    for (const QString& preset : NameTemplatePresets()) {
        parsed(preset);
    }
    const NameTemplate t = parsed(u"{speaker}/x{id:4}y"_s);
    ASSERT_EQ(t.parts.size(), 2u);
    const std::vector<NamePiece> stem{
        {std::nullopt, u"x"_s, 0}, {NameField::Id, {}, 4}, {std::nullopt, u"y"_s, 0}};
    EXPECT_EQ(t.parts[1], stem);
    EXPECT_TRUE(parsed(u"{item}"_s).isItemAlone());
    EXPECT_FALSE(parsed(u"{item}x"_s).isItemAlone());
    EXPECT_FALSE(parsed(u"a/{item}"_s).isItemAlone());

    const struct {
        QString text;
        const char16_t* says;  // a part of the message
    } bad[] = {
        {u"{name}"_s, u"未知的字段 {name}"},
        {u"{ID}"_s, u"未知的字段 {ID}"},
        {u"{}"_s, u"未知的字段 {}"},
        {u"{item"_s, u"花括号不成对：第 1 个"},
        {u"item}"_s, u"花括号不成对：第 5 个"},
        {u"{id{item}}"_s, u"花括号不成对"},
        {u"{id:0}"_s, u"{id:0} 的宽度不对"},
        {u"{id:11}"_s, u"宽度不对"},
        {u"{id:}"_s, u"宽度不对"},
        {u"{id:x}"_s, u"宽度不对"},
        {u"{id:-4}"_s, u"宽度不对"},
        {u"{item:4}"_s, u"{item:4} 的宽度不对"},
        {u""_s, u"须含 {id} 或 {item}"},
        {u"{speaker}/{gloss}"_s, u"须含 {id} 或 {item}"},
        {u"a//{item}"_s, u"空的路径部分"},
        {u"/{item}"_s, u"空的路径部分"},
        {u"{item}/"_s, u"空的路径部分"},
        {u"../{item}"_s, u"不能是“.”或“..”"},
        {u"a/./{item}"_s, u"不能是“.”或“..”"},
        {u"{item}/.."_s, u"不能是“.”或“..”"},
        {u"a\\{item}"_s, u"反斜杠"},
        {u"{item}\t"_s, u"控制字符"},
    };
    for (const auto& c : bad) {
        QString error;
        EXPECT_FALSE(ParseNameTemplate(c.text, &error)) << c.text.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf16(c.says)))
            << c.text.toStdString() << " said " << error.toStdString();
    }
}

// The one promise the templates must keep: a plain list under "{item}" is named as it always
// was, lookups and takes alike, on the folder's own file system and on a FAT stick.
TEST(NameTemplate, ItemAloneOnAPlainListIsTodaysName) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const NameTemplate item = parsed(u"{item}"_s);
    const NamingContext plain{u"老男"_s, u"单字"_s, false, false};
    const QDateTime started(QDate(2026, 12, 9), QTime(14, 30, 12));
    std::vector<ItemEntry> rows;
    for (const QString& text : {u"多"_s,
                                u"太阳"_s,
                                u"多"_s,
                                chinese(300),
                                QString(300, u'a'),
                                chinese(83),
                                chinese(83),
                                u"why?*:<>|\""_s,
                                u"a\tb"_s,
                                u"\t多"_s,
                                u"a\u0001b\u007f"_s,
                                u"a/b"_s,
                                u" "_s,
                                u""_s,
                                u"\t"_s,
                                u".hidden"_s,
                                u".."_s,
                                u" 太阳 "_s,
                                u"etc. "_s,
                                u"多"_s,
                                u"The cat sat."_s}) {
        rows.push_back(row({}, text));
    }
    const std::vector<int> occurrences = ItemOccurrences(rows);
    EXPECT_EQ(occurrences[2], 2);
    EXPECT_EQ(occurrences[19], 3);
    EXPECT_EQ(occurrences[6], 2);
    NameRules fat;
    fat.restricted = true;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const QString& text = rows[i].item;
        const int occurrence = occurrences[i];
        SCOPED_TRACE(PrintableText(text).toStdString());
        EXPECT_EQ(TemplateRecordingPath(dir.path(), item, rows[i], occurrence, plain),
                  RecordingPathOf(dir.path(), text, occurrence));
        EXPECT_EQ(TemplateTakePath(dir.path(), item, rows[i], occurrence, plain, started),
                  TakeFilePath(dir.path(), text, occurrence, started));
        EXPECT_EQ(FitComposedName(ComposeName(item, rows[i], occurrence, plain), fat),
                  ItemFileName(text, occurrence, fat));
    }
    EXPECT_EQ(TemplateRecordingPath(u" \t"_s, item, rows[0], 1, plain), QString());
}

TEST(NameTemplate, WhatATemplateMakesOfAnItem) {
    const NameRules ext4;
    const NamingContext table{u"老男"_s, u"单字"_s, true, false};
    const NamingContext ascii{u"S01"_s, u"单字"_s, true, true};
    const NamingContext plainAscii{u"老男"_s, u"list"_s, false, true};
    const struct {
        const char* name;
        QString tmpl;
        ItemEntry entry;
        int occurrence;
        NamingContext context;
        QString path;  // relative, fitted; empty for no name
    } cases[] = {
        {"table default", u"{id}{item}"_s, row(u"0001"_s, u"多"_s), 1, table, u"0001多.wav"_s},
        {"a table's homograph has no suffix", u"{id}{item}"_s, row(u"0002"_s, u"多"_s), 2, table,
         u"0002多.wav"_s},
        {"subfolders", u"{speaker}/{list}/{id}{item}"_s, row(u"0001"_s, u"多"_s), 1, table,
         u"老男/单字/0001多.wav"_s},
        {"padded", u"{id:4}"_s, row(u"7"_s, u"多"_s), 1, table, u"0007.wav"_s},
        {"padded id with blanks around", u"{id:4}"_s, row(u" 7 "_s, u"多"_s), 1, table,
         u"0007.wav"_s},
        {"wider than the width", u"{id:4}"_s, row(u"12345"_s, u"多"_s), 1, table, u"12345.wav"_s},
        {"non-numeric id kept", u"{id:4}"_s, row(u"A7"_s, u"多"_s), 1, table, u"A7.wav"_s},
        {"a field never makes a folder", u"{gloss}/{item}"_s, row({}, u"a/b"_s, u"much/many"_s), 1,
         table, u"much_many/a_b.wav"_s},
        {"control characters and TABs", u"{gloss}-{item}"_s, row({}, u"a\tb"_s, u"x\ny"_s), 1,
         table, u"x_y-ab.wav"_s},
        {"a dotted field is not a folder up", u"{gloss}/{id}"_s, row(u"1"_s, {}, u".."_s), 1, table,
         u"_../1.wav"_s},
        {"no speaker set", u"{speaker}/{item}"_s, row({}, u"多"_s), 1,
         NamingContext{{}, {}, false, false}, u"_/多.wav"_s},
        {"other templates give homographs no suffix", u"{list}-{item}"_s, row({}, u"多"_s), 2,
         NamingContext{{}, u"单字"_s, false, false}, u"单字-多.wav"_s},
        {"archive preset", u"{speaker}-{id}"_s, row(u"0001"_s, u"多"_s), 1, ascii,
         u"S01-0001.wav"_s},
        {"ASCII runs of _ made one and trimmed", u"{item}"_s, row({}, u"  hello, wörld! "_s), 1,
         ascii, u"hello_w_rld.wav"_s},
        {"ASCII Chinese speaker", u"{speaker}-{id}"_s, row(u"0001"_s, u"多"_s), 1,
         NamingContext{u"老男"_s, {}, true, true}, u"-0001.wav"_s},
        {"ASCII folder left empty is _", u"{list}/{id}"_s, row(u"12"_s, {}), 1,
         NamingContext{{}, u"单字"_s, true, true}, u"_/12.wav"_s},
        {"ASCII homograph", u"{item}"_s, row({}, u"ma"_s), 2, plainAscii, u"ma_2.wav"_s},
        {"ASCII item with nothing ASCII has no name", u"{item}"_s, row({}, u"多"_s), 1, ascii,
         QString()},
        {"no id where only the id names", u"{speaker}-{id}"_s, row({}, u"多"_s), 1, table,
         QString()},
        {"blank item and no id", u"{id}{item}"_s, row({}, u" \t"_s), 1, table, QString()},
        {"an id is enough", u"{id}{item}"_s, row(u"9"_s, u" "_s), 1, table, u"9.wav"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ComposedName name = ComposeName(parsed(c.tmpl), c.entry, c.occurrence, c.context);
        EXPECT_EQ(name.named, !c.path.isEmpty());
        EXPECT_EQ(FitComposedName(name, ext4), c.path);
    }
}

TEST(NameTemplate, EveryPartFitsItsFileSystemAndLongPartsStayApart) {
    NameRules small;
    small.nameMax = 40;
    const NamingContext context{chinese(50), u"单字"_s, true, false};
    const NameTemplate t = parsed(u"{speaker}/{id}{item}"_s);
    const QString a = FitComposedName(ComposeName(t, row(u"1"_s, chinese(100)), 1, context), small);
    const QString b = FitComposedName(ComposeName(t, row(u"1"_s, chinese(101)), 1, context), small);
    EXPECT_NE(a, b);
    for (const QString& path : {a, b}) {
        const QStringList parts = path.split(u'/');
        ASSERT_EQ(parts.size(), 2);
        for (const QString& part : parts) {
            EXPECT_LE(part.toUtf8().size(), 40) << part.toStdString();
            EXPECT_TRUE(part.contains(u'~')) << part.toStdString();  // cut, with a hash
        }
        EXPECT_TRUE(parts[1].endsWith(u".wav"_s));
    }
    // The same speaker makes the same folder for every item.
    EXPECT_EQ(a.section(u'/', 0, 0), b.section(u'/', 0, 0));

    // An archive's names stay within their characters even when cut to fit.
    const NamingContext ascii{u"S01"_s, {}, true, true};
    const QString cut = FitComposedName(
        ComposeName(t, row(u"1"_s, QString(300, u'a') + u"多"_s), 1, ascii), NameRules{});
    EXPECT_LE(cut.section(u'/', 1).toUtf8().size(), 255);
    EXPECT_TRUE(QRegularExpression(u"^S01/1a+-[0-9a-f]{8}\\.wav$"_s).match(cut).hasMatch())
        << cut.toStdString();

    NameRules fat;
    fat.restricted = true;
    EXPECT_EQ(
        FitComposedName(
            ComposeName(parsed(u"{gloss}. /{id}?"_s), row(u"1"_s, {}, u"a:b"_s), 1, context), fat),
        u"a_b/1_.wav"_s);
}

TEST(NameTemplate, UntitledTakesGoIntoTheTemplatesSubfolders) {
    QTemporaryDir dir;
    const QDateTime started(QDate(2026, 12, 9), QTime(14, 30, 12));
    const NameTemplate t = parsed(u"{speaker}/{id}"_s);
    NamingContext context{u"老男"_s, {}, true, false};
    EXPECT_EQ(TemplateRecordingPath(dir.path(), t, row({}, u"多"_s), 1, context), QString());
    EXPECT_EQ(TemplateTakePath(dir.path(), t, row({}, u"多"_s), 1, context, started),
              dir.path() + u"/老男/未命名-20261209-143012.wav"_s);
    context.asciiOnly = true;
    context.speaker = u"S01"_s;
    EXPECT_EQ(TemplateTakePath(dir.path(), t, row({}, u"多"_s), 1, context, started),
              dir.path() + u"/S01/untitled-20261209-143012.wav"_s);
    EXPECT_EQ(TemplateTakePath(QString(), t, row(u"1"_s, u"多"_s), 1, context, started), QString());
    EXPECT_EQ(ListNameOf(u"/a/单字.csv"_s), u"单字"_s);
    EXPECT_EQ(ListNameOf(u"/a/list.v2.txt"_s), u"list.v2"_s);
}

ItemTable tableOf(bool table, const std::vector<ItemEntry>& rows) {
    ItemTable t;
    t.table = table;
    t.rows = rows;
    return t;
}

TEST(NameTemplate, AListIsCheckedForItemsWithoutANameAndItemsSharingOne) {
    const NameRules ext4;
    NameRules fat;
    fat.restricted = true;
    const NamingContext context{u"老男"_s, u"单字"_s, false, false};
    const NameTemplate item = parsed(u"{item}"_s);

    // Homographs and blank lines of a plain list are fine under "{item}".
    const ItemTable plain =
        tableOf(false, {row({}, u"多"_s), row({}, u""_s), row({}, u"多"_s), row({}, u" "_s),
                        row({}, u"多"_s), row({}, u"Apple"_s), row({}, u"apple"_s)});
    EXPECT_EQ(CheckNameTemplate(item, plain, context, ext4), QString());
    // ... but not on a FAT stick, where Apple and apple are one file.
    const QString onFat = CheckNameTemplate(item, plain, context, fat);
    EXPECT_TRUE(onFat.contains(u"第 6 条「Apple」 与 第 7 条「apple」"_s)) << onFat.toStdString();
    // Items that differ only where a name cannot clash, as their files always did.
    EXPECT_TRUE(CheckNameTemplate(item, tableOf(false, {row({}, u"a/b"_s), row({}, u"a_b"_s)}),
                                  context, ext4)
                    .contains(u"a_b.wav"_s));

    // A table's ids tell its homographs apart; the same id twice does not.
    const NameTemplate byId = parsed(u"{speaker}/{id}{item}"_s);
    EXPECT_EQ(
        CheckNameTemplate(byId, tableOf(true, {row(u"0001"_s, u"多"_s), row(u"0002"_s, u"多"_s)}),
                          context, ext4),
        QString());
    const QString twice = CheckNameTemplate(
        byId,
        tableOf(true, {row(u"0001"_s, u"多"_s), row(u"0002"_s, u"少"_s), row(u"0001"_s, u"多"_s)}),
        context, ext4);
    EXPECT_TRUE(twice.startsWith(u"1 处"_s)) << twice.toStdString();
    EXPECT_TRUE(twice.contains(u"第 1 条「0001 多」"_s)) << twice.toStdString();
    EXPECT_TRUE(twice.contains(u"第 3 条「0001 多」"_s)) << twice.toStdString();
    EXPECT_TRUE(twice.contains(u"老男/0001多.wav"_s)) << twice.toStdString();

    // Ten of each kind are listed, and how many more there are.
    std::vector<ItemEntry> many;
    for (int i = 0; i < 15; ++i) {
        many.push_back(row(u"7"_s, u"多"_s + QString::number(i)));  // the id alone names
        many.push_back(row({}, u"无号"_s + QString::number(i)));    // no id at all
    }
    const QString report =
        CheckNameTemplate(parsed(u"{speaker}-{id}"_s), tableOf(true, many), context, ext4);
    EXPECT_TRUE(report.contains(u"15 个条目得不到文件名"_s)) << report.toStdString();
    EXPECT_TRUE(report.contains(u"另有 5 个"_s)) << report.toStdString();
    EXPECT_TRUE(report.contains(u"14 处两个条目的录音文件相同"_s)) << report.toStdString();
    EXPECT_TRUE(report.contains(u"另有 4 处"_s)) << report.toStdString();
    EXPECT_EQ(report.count(u'\n') + 1, 1 + 10 + 1 + 1 + 10 + 1);
}

class RecordingFolders : public testing::Test {
  protected:
    QTemporaryDir dir;
    QString base() const { return dir.filePath(u"rec"_s); }
    void SetUp() override { ASSERT_TRUE(QDir(dir.path()).mkdir(u"rec"_s)); }
};

TEST_F(RecordingFolders, MadeBelowTheAutoSaveFolderAndNeverAboveIt) {
    errno = 0;
    EXPECT_TRUE(MakeRecordingFolders(base(), base() + u"/多.wav"_s));
    // The folder as its box gives it: a TAB and a trailing "/" name the same folder.
    EXPECT_TRUE(
        MakeRecordingFolders(u"\t"_s + base() + u"/"_s, base() + u"/老男/单字/0001多.wav"_s));
    EXPECT_TRUE(QFileInfo(base() + u"/老男/单字"_s).isDir());
    EXPECT_TRUE(MakeRecordingFolders(base(), base() + u"/老男/单字/0002少.wav"_s));

    const struct {
        const char* name;
        QString folder;
        QString path;
        int error;
    } refused[] = {
        {"a missing auto-save folder is never made", dir.filePath(u"gone"_s),
         dir.filePath(u"gone/老男/多.wav"_s), ENOENT},
        {"no auto-save folder", QString(), u"老男/多.wav"_s, ENOENT},
        {"beside it", base(), dir.filePath(u"other/多.wav"_s), EINVAL},
        {"above it by ..", base(), base() + u"/../up/多.wav"_s, EINVAL},
        {"a folder whose name starts like it", base(), base() + u"x/多.wav"_s, EINVAL},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        errno = 0;
        EXPECT_FALSE(MakeRecordingFolders(c.folder, c.path));
        EXPECT_EQ(errno, c.error);
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{u"rec"_s});

    QFile file(base() + u"/file"_s);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    errno = 0;
    EXPECT_FALSE(MakeRecordingFolders(base(), base() + u"/file/sub/多.wav"_s));
    EXPECT_EQ(errno, ENOTDIR);
}

TEST_F(RecordingFolders, ASaveMakesItsSubfoldersAndKeepsEarlierTakesBesideTheFile) {
    const QString path = base() + u"/老男/单字/0001多.wav"_s;
    const QDateTime when(QDate(2026, 12, 9), QTime(14, 30, 12));
    // Without the auto-save folder a save makes no folder, as always.
    EXPECT_FALSE(replaceTakeFile(path, "one", 3, when));
    EXPECT_FALSE(QFileInfo::exists(base() + u"/老男"_s));

    ASSERT_TRUE(replaceTakeFile(path, "one", 3, when, {}, base()));
    const SaveResult second = replaceTakeFile(path, "two", 3, when, {}, base());
    ASSERT_TRUE(second);
    EXPECT_EQ(second.replaced, base() + u"/老男/单字/早前录音/0001多.20261209-143012.wav"_s);
    QFile placed(path);
    ASSERT_TRUE(placed.open(QIODevice::ReadOnly));
    EXPECT_EQ(placed.readAll(), "two");

    // A refused write makes no folder; a missing auto-save folder is not made again.
    const QString other = base() + u"/老女/0001多.wav"_s;
    EXPECT_FALSE(replaceTakeFile(
        other, "x", 1, when, [](TakeStep) { return false; }, base()));
    EXPECT_FALSE(QFileInfo::exists(base() + u"/老女"_s));
    const QString gone = dir.filePath(u"stick"_s);
    const SaveResult unplugged =
        replaceTakeFile(gone + u"/老男/0001多.wav"_s, "x", 1, when, {}, gone);
    EXPECT_FALSE(unplugged);
    EXPECT_EQ(unplugged.error, ENOENT);
    EXPECT_FALSE(QFileInfo::exists(gone));
}

}  // namespace
}  // namespace quillar::test
