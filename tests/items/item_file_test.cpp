#include "items/item_file.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "app/startup.h"
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

TEST(ItemFile, AFileThatIsNotTextIsRefusedAndTheListStays) {
    QTemporaryDir dir;
    TestApp t;
    const QString good = writeFile(dir, u"good.txt"_s, "一\r\n二\r\n");
    LoadItemFile(t.app, good);
    ASSERT_EQ(t.form.列表框_录音文本列表->count(), 2);
    QByteArray random(64 * 1024, '\0');
    std::uint32_t x = 12345;
    for (char& c : random) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    QByteArray noNul = random;
    noNul.replace('\0', '\x01');
    const struct {
        const char* name;
        QByteArray data;
    } cases[] = {
        {"binary", random},
        {"a NUL byte in an 8-bit list", "一\r\n二\0三\r\n"_ba},
        {"control characters and undecodable bytes without a NUL", noNul},
    };
    for (const auto& c : cases) {
        t.ui.messages.clear();
        LoadItemFile(t.app, writeFile(dir, u"bad.bin"_s, c.data));
        EXPECT_EQ(listItems(t.form.列表框_录音文本列表), (QStringList{u"一"_s, u"二"_s})) << c.name;
        EXPECT_EQ(t.form.编辑框_录音文本源路径->text(), good) << c.name;
        ASSERT_EQ(t.ui.messages.size(), 1u) << c.name;
        EXPECT_TRUE(t.ui.messages[0].text.contains(u"不是文本文件"_s)) << c.name;
    }
    // UTF-16 has NUL bytes of its own and a damaged byte or two is still a word list.
    QByteArray utf16("\xFF\xFE", 2);
    utf16 += QByteArray(reinterpret_cast<const char*>(u"一\r\n二\r\n"), 12);
    t.ui.messages.clear();
    LoadItemFile(t.app, writeFile(dir, u"utf16.txt"_s, utf16));
    EXPECT_EQ(t.form.列表框_录音文本列表->count(), 2);
    LoadItemFile(t.app, writeFile(dir, u"damaged.txt"_s, "一\r\n\xFF二\r\n三\r\n"));
    EXPECT_EQ(t.form.列表框_录音文本列表->count(), 3);
    // Characters beyond the first plane (CJK Extension B, common in dialect writing) are text.
    QString rare;
    for (int i = 0; i < 200; ++i) {
        rare += QString::fromUcs4(U"\U00020000\U0002A6D6") + u"\r\n"_s;
    }
    LoadItemFile(t.app, writeFile(dir, u"rare.txt"_s, rare.toUtf8()));
    EXPECT_EQ(t.form.列表框_录音文本列表->count(), 200);
    EXPECT_TRUE(t.ui.messages.empty());
}

// A list of tens of megabytes is read on a thread and put into the list in slices: the load
// returns at once, the event loop keeps turning, and in the end every line is an item.
TEST(ItemFile, AVeryLargeListLoadsWithoutStoppingTheWindow) {
    QTemporaryDir dir;
    TestApp t;
    LoadItemFile(t.app, writeFile(dir, u"small.txt"_s, "甲\r\n"));
    QByteArray big;
    const int lines = 1'200'000;  // about 50 MB
    big.reserve(lines * 42);
    for (int i = 0; i < lines; ++i) {
        big += "第" + QByteArray::number(i) + "条：这是一个相当长的句子条目，用来测试\r\n";
    }
    ASSERT_GT(big.size(), 40 * 1024 * 1024);
    LoadItemFile(t.app, writeFile(dir, u"big.txt"_s, big), 60000);
    EXPECT_TRUE(ItemFileLoading(t.app));
    EXPECT_EQ(t.form.列表框_录音文本列表->count(), 1);  // the list in place stays meanwhile
    // The list grows slice by slice (how long each takes is the benchmark's to say).
    int growths = 0;
    int count = t.form.列表框_录音文本列表->count();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    while (ItemFileLoading(t.app) && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const int now = t.form.列表框_录音文本列表->count();
        growths += now != count;
        count = now;
    }
    EXPECT_GT(growths, 5);
    EXPECT_FALSE(ItemFileLoading(t.app));
    EXPECT_EQ(t.form.列表框_录音文本列表->count(), lines);
    EXPECT_EQ(t.form.列表框_录音文本列表->currentRow(), 60000);  // the row asked for
    EXPECT_TRUE(t.form.编辑框_当前录音文本->text().startsWith(u"第60000条"_s));
    EXPECT_TRUE(t.ui.messages.empty());
}

TEST(ItemFile, AMessageAboutAVeryLongItemFitsTheScreen) {
    QTemporaryDir dir;
    TestApp t;
    ListRecordingDevices(t.app);
    const QString item(10000, u'长');
    LoadItemFile(t.app, writeFile(dir, u"long.txt"_s, item.toUtf8() + "\r\n"));
    t.form.编辑框_保存路径->setText(dir.filePath(u"gone"_s));
    t.form.按钮1->click();
    t.sim.pumpCaptureBlock();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    t.form.按钮1->click();  // a button take: no auto-save, no box
    EXPECT_TRUE(t.ui.messages.empty());
    QApplication::sendEvent(t.form.列表框_录音文本列表, &enter);  // an Enter take
    t.sim.pumpCaptureBlock();
    QApplication::sendEvent(t.form.列表框_录音文本列表, &enter);
    ASSERT_EQ(t.ui.messages.size(), 1u);
    const QString text = t.ui.messages[0].text;
    EXPECT_LT(text.size(), 700);
    EXPECT_LE(text.split(u'\n').size(), 8);  // a handful of lines, none of them endless
    EXPECT_TRUE(text.contains(u"文件夹不存在"_s) || text.contains(u"文件名过长"_s));
}

}  // namespace
}  // namespace quillar::test
