#include "items/item_table.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QTemporaryDir>
#include <ostream>

#include "items/item_file.h"
#include "items/text_encoding.h"
#include "support/test_app.h"

namespace quillar {
// Rows print as their fields when a comparison fails.
void PrintTo(const ItemEntry& e, std::ostream* os) {
    *os << "{" << e.id.toStdString() << " | " << e.item.toStdString() << " | "
        << e.note.toStdString() << " | " << e.gloss.toStdString() << " | "
        << e.extra.join(u',').toStdString() << "}";
}
}  // namespace quillar

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& data) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    return path;
}

ItemEntry row(const QString& id, const QString& item, const QString& note = {},
              const QString& gloss = {}, const QStringList& extra = {}) {
    return {id, item, note, gloss, extra, {}};
}

struct TableCase {
    const char* name;
    const char* file;
    QByteArray data;
    QStringList extraColumns;
    std::vector<ItemEntry> rows;
};

void expectTable(const ItemFileContent& c, const QStringList& extraColumns,
                 const std::vector<ItemEntry>& rows, const char* name) {
    EXPECT_EQ(c.refusal, QString()) << name;
    EXPECT_TRUE(c.table.table) << name;
    EXPECT_EQ(c.table.extraColumns, extraColumns) << name;
    EXPECT_EQ(c.table.rows, rows) << name;
    QStringList items;
    for (const ItemEntry& e : rows) {
        items << e.item;
    }
    EXPECT_EQ(c.items, items) << name;
}

QByteArray utf16(const QString& text, bool bigEndian) {
    QByteArray out = bigEndian ? "\xFE\xFF"_ba : "\xFF\xFE"_ba;
    for (const QChar ch : text) {
        const char hi = char(ch.unicode() >> 8), lo = char(ch.unicode() & 0xFF);
        out.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
    }
    return out;
}

TEST(ItemTable, TextTablesByTheirHeaderOrTheirName) {
    const QString chinese = u"编号\t条目\t释义\r\n0001\t爸爸\tfather\r\n0002\t妈妈\tmother\r\n"_s;
    const std::vector<ItemEntry> chineseRows = {row(u"0001"_s, u"爸爸"_s, {}, u"father"_s),
                                                row(u"0002"_s, u"妈妈"_s, {}, u"mother"_s)};
    const TableCase cases[] = {
        {"tab, English header in any case and blanks",
         "a.txt",
         "ID\t Item \tGLOSS\tPart of speech\n1\t ma \tmother\tn\n2\tpa\tfather\n",
         {u"Part of speech"_s},
         {row(u"1"_s, u" ma "_s, {}, u"mother"_s, {u"n"_s}),
          row(u"2"_s, u"pa"_s, {}, u"father"_s, {u""_s})}},
        {"comma, Chinese header, CR LF",
         "a.txt",
         "序号,词目,注释,普通话\r\n1,日头,落山,太阳\r\n",
         {},
         {row(u"1"_s, u"日头"_s, u"落山"_s, u"太阳"_s)}},
        {"semicolon",
         "a.csv",
         "cid;word;memo;en_name;x\n7;妈ŋa;;I;y\n",
         {u"x"_s},
         {row(u"7"_s, u"妈ŋa"_s, {}, u"I"_s, {u"y"_s})}},
        {"UTF-8 without signature", "a.txt", chinese.toUtf8(), {}, chineseRows},
        {"UTF-8 with signature", "a.txt", "\xEF\xBB\xBF" + chinese.toUtf8(), {}, chineseRows},
        {"GB18030", "a.txt", EncodeGb18030(chinese), {}, chineseRows},
        {"UTF-16 LE", "a.txt", utf16(chinese, false), {}, chineseRows},
        {"UTF-16 BE", "a.tsv", utf16(chinese, true), {}, chineseRows},
        {"quotes around separators, doubled quotes, line breaks",
         "a.csv",
         "id,item,note\r\n1,\"a, b\",\"say \"\"hi\"\"\"\r\n2,\"two\r\nlines\",x\r\n"
         "3,mid \"quote\",\"after\"tail\r\n",
         {},
         {row(u"1"_s, u"a, b"_s, u"say \"hi\""_s), row(u"2"_s, u"two\r\nlines"_s, u"x"_s),
          row(u"3"_s, u"mid \"quote\""_s, u"aftertail"_s)}},
        {"no header, .tsv with code ids",
         "a.tsv",
         "0001\t爸爸\tfather\tn.\nA-2_b.3\t妈妈\tmother\n",
         {u"列4"_s},
         {row(u"0001"_s, u"爸爸"_s, {}, u"father"_s, {u"n."_s}),
          row(u"A-2_b.3"_s, u"妈妈"_s, {}, u"mother"_s, {u""_s})}},
        {"no header, .CSV whose first column is no code",
         "a.CSV",
         "爸爸,father\n1,one,x\n",
         {u"列3"_s},
         {row({}, u"爸爸"_s, {}, u"father"_s, {u""_s}), row({}, u"1"_s, {}, u"one"_s, {u"x"_s})}},
        {"no header, semicolons in .csv",
         "a.csv",
         "1;one\n2;two\n",
         {},
         {row(u"1"_s, u"one"_s), row(u"2"_s, u"two"_s)}},
        {"no header, one column of numbers is items",
         "a.csv",
         "1\n2\n",
         {},
         {row({}, u"1"_s), row({}, u"2"_s)}},
        {"wholly empty rows and leading blank lines skipped",
         "a.txt",
         "\n  \nid,item\n\n1,a\n,\n  ,  \n2,b\n",
         {},
         {row(u"1"_s, u"a"_s), row(u"2"_s, u"b"_s)}},
        {"a role's second column and columns past the header kept",
         "a.txt",
         "item\tword\tgloss\nx\ty\tz\tw\n",
         {u"word"_s, u"列4"_s},
         {row({}, u"x"_s, {}, u"z"_s, {u"y"_s, u"w"_s})}},
        {"one-column header in a .csv", "a.csv", "Word\nfoo\n", {}, {row({}, u"foo"_s)}},
    };
    QTemporaryDir dir;
    for (const TableCase& c : cases) {
        const QString path = writeFile(dir, QString::fromUtf8(c.file), c.data);
        expectTable(ReadItemFileContent(path), c.extraColumns, c.rows, c.name);
    }
}

TEST(ItemTable, APlainListStaysOneItemPerLine) {
    QTemporaryDir dir;
    for (const char* text : {"字\n词\n", "hello, world\nbye\n", "item\nword\n"}) {
        const ItemFileContent c = ReadItemFileContent(writeFile(dir, u"a.txt"_s, text));
        EXPECT_FALSE(c.table.table) << text;
        EXPECT_EQ(c.items, SplitItemLines(QString::fromUtf8(text))) << text;
        EXPECT_TRUE(c.table.rows.empty()) << text;
    }
}

TEST(ItemTable, TablesThatCannotBeWordListsAreRefusedWithTheRowsNamed) {
    QByteArray duplicates = "id,item\n";
    for (int i = 1; i <= 12; ++i) {
        duplicates += QByteArray::number(i) + ",a\n" + QByteArray::number(i) + ",b\n";
    }
    QByteArray missing = "id,item\n";
    for (int i = 1; i <= 12; ++i) {
        missing += QByteArray::number(i) + ",\n";
    }
    QByteArray tooWide = "item\na" + QByteArray(2100, ',') + "\n";
    for (int i = 0; i < 2100; ++i) {
        tooWide += "x\n";
    }
    const struct {
        const char* name;
        const char* file;
        QByteArray data;
        QStringList said;
        QStringList notSaid;
    } cases[] = {
        {"no item column", "a.csv", "编号,词语,释义\n1,a,b\n", {u"没有条目列"_s, u"词目"_s}, {}},
        {"no item column, tabs in a .txt", "a.txt", "编号\t词语\t释义\n", {u"没有条目列"_s}, {}},
        {"duplicate ids, the first ten listed",
         "a.csv",
         duplicates,
         {u"重复的编号"_s, u"编号 1：第 2、3 行"_s, u"编号 10：第 20、21 行"_s,
          u"还有 2 个重复的编号"_s},
         {u"编号 11："_s}},
        {"ids without an item, the first ten listed",
         "a.csv",
         missing,
         {u"有编号，却没有条目"_s, u"第 2 行（编号 1）"_s, u"第 11 行（编号 10）"_s,
          u"还有 2 行"_s},
         {u"编号 11）"_s}},
        {"an id without an item below a quoted line break",
         "a.csv",
         "id,item\n1,\"a\nb\"\n2,  \n3,c\n",
         {u"第 4 行（编号 2）"_s},
         {u"编号 3"_s}},
        {"an unclosed quote", "a.csv", "id,item\n1,\"abc\n2,d\n", {u"第 2 行开始的引号"_s}, {}},
        {"a table too large to hold", "a.csv", tooWide, {u"太大"_s}, {}},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        const ItemFileContent content =
            ReadItemFileContent(writeFile(dir, QString::fromUtf8(c.file), c.data));
        for (const QString& s : c.said) {
            EXPECT_TRUE(content.refusal.contains(s))
                << c.name << ": " << s.toStdString() << " in " << content.refusal.toStdString();
        }
        for (const QString& s : c.notSaid) {
            EXPECT_FALSE(content.refusal.contains(s)) << c.name << ": " << s.toStdString();
        }
        EXPECT_TRUE(content.items.isEmpty()) << c.name;
        EXPECT_TRUE(content.table.rows.empty()) << c.name;
    }
}

TEST(ItemTable, ARefusedTableLeavesTheListAsItWas) {
    QTemporaryDir dir;
    TestApp t;
    const QString good = writeFile(dir, u"good.csv"_s, "编号,条目\n1,一\n2,二\n");
    LoadItemFile(t.app, good);
    ASSERT_EQ(t.form.列表框_录音文本列表->count(), 2);
    EXPECT_EQ(t.form.编辑框_当前录音文本->text(), u"一"_s);
    LoadItemFile(t.app, writeFile(dir, u"bad.csv"_s, "编号,条目\n1,一\n1,二\n"));
    EXPECT_EQ(t.form.列表框_录音文本列表->count(), 2);
    EXPECT_EQ(t.form.编辑框_录音文本源路径->text(), good);
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_TRUE(t.ui.messages[0].text.contains(u"bad.csv"_s));
    EXPECT_TRUE(t.ui.messages[0].text.contains(u"编号 1：第 2、3 行"_s));
}

TEST(ItemTable, NumbersAsASpreadsheetShowsThem) {
    const std::pair<double, const char16_t*> cases[] = {
        {1, u"1"},
        {1.5, u"1.5"},
        {-3, u"-3"},
        {-0.0, u"0"},
        {0.1, u"0.1"},
        {0.1 + 0.2, u"0.30000000000000004"},
        {1e20, u"100000000000000000000"},
        {1e21, u"1e+21"},
        {1e-7, u"1e-07"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(NumberText(value), QString::fromUtf16(text)) << value;
    }
}

// Workbooks from writers that share nothing with ours (tests/items/data/write_sheets.py).
class Spreadsheets : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(QProcess::execute(
                      u"/usr/bin/python3"_s,
                      {QStringLiteral(QUILLAR_ITEMS_TEST_DATA "/write_sheets.py"), m_dir.path()}),
                  0);
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    ItemFileContent read(const QString& name) const { return ReadItemFileContent(path(name)); }
    QTemporaryDir m_dir;
};

TEST_F(Spreadsheets, ValuesByTypeAndPlace) {
    const std::vector<ItemEntry> header = {row(u"0001"_s, u"爸爸"_s, {}, u"father"_s, {u"1"_s}),
                                           row(u"0002"_s, u"妈妈"_s, {}, {}, {u"1.5"_s}),
                                           row(u"0003"_s, u"太阳"_s, {}, u"sun"_s, {u"TRUE"_s})};
    std::vector<ItemEntry> headerXls = header;
    headerXls[2].extra = QStringList{u"2024-03-05"_s};
    const std::vector<ItemEntry> headerless = {row(u"1"_s, u"一"_s, {}, u"one"_s, {u""_s, u"x"_s}),
                                               row(u"2"_s, u"二"_s, {}, u"two"_s, {u""_s, u""_s}),
                                               row(u"10"_s, u"十"_s, {}, u"ten"_s, {u""_s, u""_s})};
    const struct {
        const char* file;
        QStringList extraColumns;
        std::vector<ItemEntry> rows;
    } cases[] = {
        {"header.xlsx", {u"数"_s}, header},
        {"header.xls", {u"数"_s}, headerXls},
        {"headerless.xlsx", {u"列4"_s, u"列5"_s}, headerless},
        {"headerless.xls", {u"列4"_s, u"列5"_s}, headerless},
        // shared strings with runs and a phonetic guide, cells without references, a boolean,
        // a formula's text and an error, the first sheet listed second in the parts
        {"hand.xlsx",
         {u"列3"_s, u"列4"_s},
         {row({}, u"爸爸 "_s, {}, {}, {u"0.1"_s, u"1"_s}),
          row({}, u"妈"_s, {}, u"0001"_s, {u""_s, u"FALSE"_s}),
          row({}, u"Item"_s, {}, u"#N/A"_s, {u"100000000000000000000"_s, u""_s})}},
    };
    for (const auto& c : cases) {
        expectTable(read(QString::fromUtf8(c.file)), c.extraColumns, c.rows, c.file);
    }
    // A workbook under the other format's name is read by what it is.
    QFile::copy(path(u"header.xlsx"_s), path(u"renamed.xls"_s));
    expectTable(read(u"renamed.xls"_s), {u"数"_s}, header, "renamed.xls");
}

TEST_F(Spreadsheets, FarCellsAreReadWithoutAGridAndManyAreRefused) {
    const ItemFileContent far = read(u"far.xlsx"_s);
    ASSERT_EQ(far.refusal, QString());
    ASSERT_EQ(far.table.rows.size(), 1u);
    EXPECT_EQ(far.table.rows[0].item, u"last"_s);
    EXPECT_EQ(far.table.rows[0].extra.size(), 16383);
    EXPECT_EQ(far.table.rows[0].extra.back(), u"7"_s);
    EXPECT_EQ(far.table.extraColumns.back(), u"列16384"_s);
    for (const QString& name : {u"wide.xlsx"_s, u"bomb.xlsx"_s}) {
        EXPECT_TRUE(read(name).refusal.contains(u"太大"_s)) << name.toStdString();
    }
}

TEST_F(Spreadsheets, DamagedWorkbooksAreRefused) {
    const auto cut = [&](const QString& from, const QString& to, qsizetype keep) {
        QFile in(path(from));
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        return writeFile(m_dir, to, in.read(keep));
    };
    const QString files[] = {
        cut(u"header.xlsx"_s, u"cut.xlsx"_s, QFileInfo(path(u"header.xlsx"_s)).size() / 2),
        cut(u"header.xlsx"_s, u"head.xlsx"_s, 30),
        cut(u"header.xls"_s, u"cut.xls"_s, 2000),
        writeFile(m_dir, u"text.xlsx"_s, "item\nword\n"),
        writeFile(m_dir, u"text.xls"_s, "item\nword\n"),
        path(u"bad_index.xlsx"_s),
    };
    for (const QString& f : files) {
        const ItemFileContent c = ReadItemFileContent(f);
        EXPECT_TRUE(c.refusal.contains(u"已损坏"_s)) << f.toStdString();
        EXPECT_TRUE(c.table.rows.empty()) << f.toStdString();
    }
}

}  // namespace
}  // namespace quillar::test
