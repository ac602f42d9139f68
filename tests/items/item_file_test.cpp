#include "items/item_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>

#include "items/text_encoding.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

QByteArray bytes(const char* s, qsizetype n) {
    return QByteArray(s, n);
}

QStringList listItems(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->item(i)->text();
    }
    return items;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& data) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
    return path;
}

struct ItemFileCase {
    const char* name;
    QByteArray data;
    int encodingClass;
    QStringList items;  // empty with itemCount > 0: only the count is known
    int itemCount = -1;
};

TEST(ItemFile, EncodingClassesAndTheirItems) {
    const ItemFileCase cases[] = {
        {"UTF-8 with signature",
         "\xEF\xBB\xBF\xE7\x88\xB8\xE7\x88\xB8\r\n\xE5\xA6\x88\r\n",
         kEncodingUtf8,
         {u"爸爸"_s, u"妈"_s}},
        {"UTF-8, Chinese first", "ma\r\n\xE5\xA6\x88\r\n", kEncodingUtf8, {u"ma"_s, u"妈"_s}},
        {"UTF-8, two-byte then Chinese",
         "\xC5\x8B"
         "a\r\n\xC9\x9B\r\n\xE5\xA6\x88",
         kEncodingUtf8,
         {u"ŋa"_s, u"ɛ"_s, u"妈"_s}},
        // Only ASCII and two-byte sequences: taken for ANSI, so the letters come out as other
        // characters, but every line is still one item.
        {"UTF-8, ASCII and two-byte only",
         "\xC5\x8B"
         "a\r\n\xC9\x9B\r\n",
         kEncodingAnsi,
         {},
         2},
        {"GBK", "\xB0\xD6\xB0\xD6\r\n\xC2\xE8\r\n", kEncodingAnsi, {u"爸爸"_s, u"妈"_s}},
        {"GBK, short even length", "\xB0\xD6\xC2\xE8", kEncodingAnsi, {u"爸妈"_s}},
        {"GBK with one invalid byte",
         "\xB0\xD6\r\n\xC2\xFF\xE8\r\n\xB0\xD6\xC2\xE8\r\n",
         kEncodingAnsi,
         {u"爸"_s, u"\uFFFD\uFFFD"_s, u"爸妈"_s}},
        {"FF FE",
         bytes("\xFF\xFE\x38\x72\r\0\n\0\x88\x59", 10),
         kEncodingUtf16LE,
         {u"爸"_s, u"妈"_s}},
        {"FE FF",
         bytes("\xFE\xFF\x72\x38\0\r\0\n\x59\x88", 10),
         kEncodingUtf16BE,
         {u"爸"_s, u"妈"_s}},
        {"UTF-16 without signature",
         bytes("\x38\x72\r\0\n\0\x00\x4E\r\0\n\0", 12),
         kEncodingUtf16LE,
         {u"爸"_s, u"一"_s}},
        {"EF BB without BF",
         "\xEF\xBB"
         "A\r\n",
         kEncodingAnsi,
         {},
         1},
        {"LF line ends", "a\nb\n", kEncodingAnsi, {u"a"_s, u"b"_s}},
        {"blank and empty lines",
         "a\r\n  \r\n\r\n\n\tb\r\n",
         kEncodingAnsi,
         {u"a"_s, u"  "_s, u"\tb"_s}},
        {"CR inside a line", "a\rb\r\nc", kEncodingAnsi, {u"a\rb"_s, u"c"_s}},
        {"empty file", QByteArray(), kEncodingAnsi, {}},
    };
    QTemporaryDir dir;
    TestApp t;
    for (const ItemFileCase& c : cases) {
        const QString path = writeFile(dir, u"items.txt"_s, c.data);
        EXPECT_EQ(DetectTextEncoding(path), c.encodingClass) << c.name;
        LoadItemFile(t.app, path);
        const QStringList items = listItems(t.form.列表框_录音文本列表);
        if (c.itemCount >= 0) {
            EXPECT_EQ(items.size(), c.itemCount) << c.name;
        } else {
            EXPECT_EQ(items, c.items) << c.name;
        }
        EXPECT_EQ(t.form.编辑框_当前录音文本->text(), items.value(0)) << c.name;
    }
}

TEST(ItemFile, UnreadableFileGivesAnEmptyList) {
    QTemporaryDir dir;
    TestApp t;
    LoadItemFile(t.app, writeFile(dir, u"a.txt"_s, "x\r\ny\r\n"));
    ASSERT_EQ(t.form.列表框_录音文本列表->count(), 2);
    for (const QString& path : {dir.filePath(u"missing.txt"_s), dir.path()}) {
        EXPECT_EQ(DetectTextEncoding(path), kEncodingAnsi) << path.toStdString();
        LoadItemFile(t.app, path);
        EXPECT_EQ(t.form.列表框_录音文本列表->count(), 0) << path.toStdString();
        EXPECT_EQ(t.form.编辑框_当前录音文本->text(), QString());
    }
}

TEST(ItemFile, LoadSelectsAndShowsTheFirstItemOnce) {
    QTemporaryDir dir;
    TestApp t;
    int selections = 0;
    QObject::connect(t.form.列表框_录音文本列表, &QListWidget::currentRowChanged,
                     [&](int) { ++selections; });
    t.form.列表框_录音文本列表->addItem(u"old"_s);
    t.form.列表框_录音文本列表->setCurrentRow(0);
    selections = 0;
    LoadItemFile(t.app, writeFile(dir, u"a.txt"_s, "one\r\ntwo\r\n"));
    EXPECT_EQ(t.form.列表框_录音文本列表->currentRow(), 0);
    EXPECT_EQ(t.form.编辑框_当前录音文本->text(), u"one"_s);
    EXPECT_EQ(selections, 0);  // shown directly, not once more through the list's own signal
}

}  // namespace
}  // namespace quillar::test
