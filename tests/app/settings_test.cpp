#include "app/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include "program_identity.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

// GB18030 bytes of the names sys.ini uses, spelled out so that the tests do not depend on the
// encoder they check.
const QByteArray kSection = "[\xC2\xBC\xD2\xF4\xCE\xC4\xB5\xB5\xC9\xE8\xD6\xC3]";  // [录音文档设置]
const QByteArray kFolderKey = "\xD7\xD4\xB6\xAF\xB1\xA3\xB4\xE6\xC2\xB7\xBE\xB6";  // 自动保存路径
const QByteArray kItemKey = "\xC2\xBC\xD2\xF4\xCE\xC4\xB1\xBE\xD4\xB4\xCE\xC4\xBC\xFE";
const QByteArray kLuYin = "\xC2\xBC\xD2\xF4";  // 录音

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// Points sys.ini at a fresh folder for one test.
class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override { SetSettingsFolder(dir.path()); }
    void TearDown() override { SetSettingsFolder(QString()); }
    QString ini() const { return dir.filePath(u"sys.ini"_s); }

    QTemporaryDir dir;
};

struct ReadCase {
    const char* name;
    QByteArray file;
    QString section;
    QString key;
    QString expected;
};

TEST_F(SettingsTest, ReadsKeysTheWayTheProfileFunctionsDo) {
    const ReadCase cases[] = {
        {"CR LF", "[a]\r\nk=v\r\n", u"a"_s, u"k"_s, u"v"_s},
        {"LF", "[a]\nk=v\n", u"a"_s, u"k"_s, u"v"_s},
        {"no final line break", "[a]\r\nk=v", u"a"_s, u"k"_s, u"v"_s},
        {"names without case, blanks trimmed", "[ A ]\r\n K = v w \r\n", u"a"_s, u"k"_s, u"v w"_s},
        {"enclosing quotes", "[a]\r\nk=\" v \"\r\n", u"a"_s, u"k"_s, u" v "_s},
        {"key of another section", "[b]\r\nk=x\r\n[a]\r\nj=y\r\n", u"a"_s, u"k"_s, QString()},
        {"first of two sections", "[a]\r\nk=1\r\n[a]\r\nk=2\r\n", u"a"_s, u"k"_s, u"1"_s},
        {"missing section", "[b]\r\nk=v\r\n", u"a"_s, u"k"_s, QString()},
        {"value with '='", "[a]\r\nk=x=y\r\n", u"a"_s, u"k"_s, u"x=y"_s},
        {"GB18030 names and value", kSection + "\r\n" + kFolderKey + "=D:\\" + kLuYin + "\r\n",
         u"录音文档设置"_s, u"自动保存路径"_s, u"D:\\录音"_s},
    };
    for (const ReadCase& c : cases) {
        writeAll(ini(), c.file);
        EXPECT_EQ(ReadProfileString(ini(), c.section, c.key), c.expected) << c.name;
    }
    EXPECT_EQ(ReadProfileString(dir.filePath(u"none.ini"_s), u"a"_s, u"k"_s), QString());
}

struct WriteCase {
    const char* name;
    QByteArray before;  // empty: no file
    QByteArray after;
};

TEST_F(SettingsTest, WritingAKeyKeepsEveryOtherLine) {
    const WriteCase cases[] = {
        {"new file", "", "[a]\r\nk=v\r\nj=w\r\n"},
        {"keys replaced in place, CR LF",
         "; note\r\n[x]\r\nk=old\r\n\r\n[a]\r\nj=1\r\nk=2\r\n\r\n[z]\r\nq=\xB0\xD6\r\n",
         "; note\r\n[x]\r\nk=old\r\n\r\n[a]\r\nj=w\r\nk=v\r\n\r\n[z]\r\nq=\xB0\xD6\r\n"},
        {"missing key after the section's last line", "[a]\r\nother=1\r\n\r\n[z]\r\nq=2\r\n",
         "[a]\r\nother=1\r\nk=v\r\nj=w\r\n\r\n[z]\r\nq=2\r\n"},
        {"missing section appended", "[z]\r\nq=2\r\n", "[z]\r\nq=2\r\n\r\n[a]\r\nk=v\r\nj=w\r\n"},
        {"LF file stays LF", "[a]\nk=1\n", "[a]\nk=v\nj=w\n"},
        {"no final line break", "[a]\r\nk=1", "[a]\r\nk=v\r\nj=w\r\n"},
        {"header without line break", "[a]", "[a]\r\nk=v\r\nj=w\r\n"},
    };
    for (const WriteCase& c : cases) {
        QFile::remove(ini());
        if (!c.before.isEmpty()) {
            writeAll(ini(), c.before);
        }
        EXPECT_TRUE(WriteProfileStrings(ini(), u"a"_s, {{u"k"_s, u"v"_s}, {u"j"_s, u"w"_s}}))
            << c.name;
        EXPECT_EQ(readAll(ini()), c.after) << c.name;
    }
}

TEST_F(SettingsTest, SaveAndRestartFindsBothPaths) {
    const QString folder = dir.filePath(u"录音 田野"_s);
    const QString items = dir.filePath(u"词表.txt"_s);
    writeAll(items, "\xB0\xD6\r\n\xC2\xE8\r\n");
    {
        TestApp t;
        t.ui.folderAnswers.push_back(folder);
        t.ui.openAnswers.push_back(items);
        t.form.按钮_设置保存路径->click();
        t.form.按钮_选择录音文本->click();
        EXPECT_EQ(t.form.列表框_录音文本列表->count(), 2);
        t.form.按钮_保存当前配置->click();
        ASSERT_EQ(t.ui.messages.size(), 1u);
        EXPECT_EQ(t.ui.messages[0].text, u"配置信息保存成功！"_s);
        EXPECT_EQ(t.ui.messages[0].title, QString());
        EXPECT_EQ(t.ui.messages[0].icon, MessageIcon::None);
        EXPECT_EQ(t.ui.folderTitles, QStringList{u"选择文件夹"_s});
    }
    // The Chinese path is stored as its GB18030 bytes.
    const QByteArray folderBytes = dir.path().toUtf8() + "/" + kLuYin + " \xCC\xEF\xD2\xB0";
    EXPECT_TRUE(readAll(ini()).contains(kFolderKey + "=" + folderBytes + "\r\n"));
    TestApp restarted;
    ReadSettings(restarted.app);
    EXPECT_EQ(restarted.form.编辑框_保存路径->text(), folder);
    EXPECT_EQ(restarted.form.编辑框_录音文本源路径->text(), items);
}

TEST_F(SettingsTest, EmptyBoxesSaveEmptyValues) {
    writeAll(ini(), kSection + "\r\n" + kFolderKey + "=/old\r\n");
    TestApp t;
    SaveSettings(t.app);
    EXPECT_EQ(readAll(ini()), kSection + "\r\n" + kFolderKey + "=\r\n" + kItemKey + "=\r\n");
    TestApp restarted;
    restarted.form.编辑框_保存路径->setText(u"stale"_s);
    ReadSettings(restarted.app);
    EXPECT_EQ(restarted.form.编辑框_保存路径->text(), QString());
    EXPECT_EQ(restarted.form.编辑框_录音文本源路径->text(), QString());
}

TEST_F(SettingsTest, WindowsFileIsReadAndItsOtherSectionsKept) {
    const QByteArray windowsIni = "[Other]\r\nx=1\r\n\r\n" + kSection + "\r\n" + kFolderKey +
                                  "=D:\\" + kLuYin + "\r\n" + kItemKey + "=D:\\a.txt\r\n\r\n" +
                                  "[Tail]\r\ny=\xB0\xD6\r\n";
    writeAll(ini(), windowsIni);
    TestApp t;
    ReadSettings(t.app);
    EXPECT_EQ(t.form.编辑框_保存路径->text(), u"D:\\录音"_s);
    EXPECT_EQ(t.form.编辑框_录音文本源路径->text(), u"D:\\a.txt"_s);
    t.form.编辑框_保存路径->setText(u"/home/录音"_s);
    SaveSettings(t.app);
    QByteArray expected = windowsIni;
    expected.replace("D:\\" + kLuYin, "/home/" + kLuYin);
    EXPECT_EQ(readAll(ini()), expected);
}

TEST_F(SettingsTest, CancelledDialogsChangeNothing) {
    QTemporaryDir other;
    TestApp t;
    t.form.编辑框_保存路径->setText(u"/data/录音"_s);
    t.form.编辑框_录音文本源路径->setText(u"/data/a.txt"_s);
    t.form.列表框_录音文本列表->addItem(u"爸"_s);
    ChooseSaveFolder(t.app);
    ChooseItemFile(t.app);
    EXPECT_EQ(t.form.编辑框_保存路径->text(), u"/data/录音"_s);
    EXPECT_EQ(t.form.编辑框_录音文本源路径->text(), u"/data/a.txt"_s);
    EXPECT_EQ(t.form.列表框_录音文本列表->count(), 1);
    EXPECT_FALSE(QFile::exists(ini()));  // the buttons never write the file
}

TEST_F(SettingsTest, UnwritableFileGivesTheFailureMessage) {
    // A folder in the way of sys.ini fails for every user, root included.
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"sys.ini"_s));
    TestApp t;
    t.form.编辑框_保存路径->setText(u"/x"_s);
    SaveSettings(t.app);
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0].title, u"系统提示"_s);
    EXPECT_EQ(t.ui.messages[0].icon, MessageIcon::Error);
    EXPECT_TRUE(t.ui.messages[0].text.contains(ini())) << t.ui.messages[0].text.toStdString();
    EXPECT_FALSE(t.ui.messages[0].text.contains(u"成功"_s));
}

TEST_F(SettingsTest, ReadOnlySettingsFileGivesTheFailureMessage) {
    if (geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    writeAll(ini(), kSection + "\r\n");
    QFile::setPermissions(ini(), QFile::ReadOwner);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    TestApp t;
    SaveSettings(t.app);
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0].icon, MessageIcon::Error);
}

// An installed program: its folder takes no files (or belongs to the system), so the settings go
// to the user's configuration folder.
class InstalledSettingsTest : public SettingsTest {
  protected:
    void SetUp() override {
        oldConfigHome = qgetenv("XDG_CONFIG_HOME");
        oldHome = qgetenv("HOME");
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    }
    void TearDown() override {
        SettingsTest::TearDown();
        qputenv("XDG_CONFIG_HOME", oldConfigHome);
        qputenv("HOME", oldHome);
    }
    QString configIni() const { return config.filePath(u"quillar/sys.ini"_s); }

    QTemporaryDir config;
    QByteArray oldConfigHome, oldHome;
};

TEST_F(InstalledSettingsTest, UnwritableProgramFolderKeepsSettingsInTheConfigFolder) {
    SetSettingsFolder(dir.path(), false);
    const QString items = dir.filePath(u"词表.txt"_s);
    writeAll(items, "\xB0\xD6\r\n");
    {
        TestApp t;
        t.ui.folderAnswers.push_back(u"/data/录音"_s);
        t.ui.openAnswers.push_back(items);
        t.form.按钮_设置保存路径->click();
        t.form.按钮_选择录音文本->click();
        t.form.按钮_保存当前配置->click();
        ASSERT_EQ(t.ui.messages.size(), 1u);
        EXPECT_EQ(t.ui.messages[0].text, u"配置信息保存成功！"_s);
    }
    EXPECT_FALSE(QFile::exists(ini()));
    EXPECT_TRUE(
        readAll(configIni()).startsWith(kSection + "\r\n" + kFolderKey + "=/data/" + kLuYin));
    TestApp restarted;
    ReadSettings(restarted.app);
    EXPECT_EQ(restarted.form.编辑框_保存路径->text(), u"/data/录音"_s);
    EXPECT_EQ(restarted.form.编辑框_录音文本源路径->text(), items);
}

TEST_F(InstalledSettingsTest, ProgramFolderIsUsedWhenItHoldsOrTakesTheFile) {
    const QString bin = dir.filePath(u"usr/bin"_s);
    const QString entry = dir.filePath(u"usr/share/applications/"_s +
                                       QString::fromLatin1(kApplicationId) + u".desktop"_s);
    struct Case {
        const char* name;
        bool writable;
        bool holdsIni;
        bool installed;  // bin sits in a tree with the program's desktop entry
        bool beside;     // expected: sys.ini in the program's folder
    } const cases[] = {
        {"writable build folder", true, false, false, true},
        {"unwritable, holds sys.ini", false, true, false, true},
        {"unwritable, no sys.ini", false, false, false, false},
        {"installed, writable (root)", true, false, true, false},
        {"installed, holds sys.ini", true, true, true, true},
    };
    for (const Case& c : cases) {
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(bin);
        if (c.holdsIni) {
            writeAll(bin + u"/sys.ini"_s, "");
        }
        if (c.installed) {
            QDir().mkpath(QFileInfo(entry).absolutePath());
            writeAll(entry, "");
        }
        SetSettingsFolder(bin, c.writable);
        EXPECT_EQ(SettingsFilePath(), c.beside ? bin + u"/sys.ini"_s : configIni()) << c.name;
    }
    // Without XDG_CONFIG_HOME the configuration folder is ~/.config.
    SetSettingsFolder(dir.filePath(u"none"_s), false);
    qunsetenv("XDG_CONFIG_HOME");
    qputenv("HOME", config.path().toUtf8());
    EXPECT_EQ(SettingsFilePath(), config.filePath(u".config/quillar/sys.ini"_s));
}

}  // namespace
}  // namespace quillar::test
