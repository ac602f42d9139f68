#include "record/saving.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>

#include "kit/record_buffer.h"
#include "record_test_support.h"
#include "support/test_app.h"

namespace quillar {
namespace {

using test::readAll;
using test::writeAll;

QByteArray imageBytes(const RecordBuffer& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

class WriteWavImageFile : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
    QTemporaryDir dir;
    RecordBuffer buffer;
};

TEST_F(WriteWavImageFile, WritesTheImageAndReplacesALongerOldFileWhole) {
    const QString path = dir.filePath("词.wav");
    ASSERT_TRUE(writeAll(path, QByteArray(100000, 'x')));
    test::makeWavImage(buffer, 4000);

    const SaveResult r = writeWavImageFile(buffer, path);
    ASSERT_TRUE(r.written);
    EXPECT_EQ(readAll(path), imageBytes(buffer));
    EXPECT_EQ(entries(), (QStringList{"早前录音", "词.wav"})) << "no temporary file left behind";
    EXPECT_EQ(QFileInfo(r.replaced).dir().path(), dir.filePath("早前录音"));
    EXPECT_EQ(readAll(r.replaced), QByteArray(100000, 'x')) << "the earlier take is kept";
}

TEST_F(WriteWavImageFile, RefusesWithoutAFinishedImageAndLeavesTheOldFile) {
    const QString path = dir.filePath("old.wav");
    const QByteArray old("an earlier good take");
    ASSERT_TRUE(writeAll(path, old));

    EXPECT_FALSE(writeWavImageFile(buffer, path)) << "empty recording";
    const std::uint8_t block[8] = {};
    ASSERT_TRUE(buffer.append(block, sizeof block));
    EXPECT_FALSE(writeWavImageFile(buffer, path)) << "a recording still running has no header";
    EXPECT_FALSE(writeWavImageFile(buffer, QString())) << "no path";

    EXPECT_EQ(readAll(path), old);
    EXPECT_EQ(entries(), QStringList{"old.wav"});
}

TEST_F(WriteWavImageFile, FailureLeavesTheOldFileUntouched) {
    test::makeWavImage(buffer, 2000);
    const QByteArray old("an earlier good take");
    struct Case {
        const char* name;
        QString path;
    };
    // A folder no one may write to: the temporary file cannot be made, and a direct write into
    // the old file (which is itself writable) would be the wrong way out.
    QDir(dir.path()).mkdir("locked");
    const QString locked = dir.filePath("locked/item.wav");
    ASSERT_TRUE(writeAll(locked, old));
    ::chmod(QFile::encodeName(locked).constData(), 0666);
    ::chmod(QFile::encodeName(dir.filePath("locked")).constData(), 0555);
    // A directory standing where the file should go.
    QDir(dir.path()).mkpath("occupied.wav/inside");

    const Case cases[] = {
        {"read-only folder", locked},
        {"directory in the way", dir.filePath("occupied.wav")},
        {"missing folder", dir.filePath("nowhere/item.wav")},
    };
    for (const Case& c : cases) {
        test::UnprivilegedFileAccess asUser;
        EXPECT_FALSE(writeWavImageFile(buffer, c.path)) << c.name;
    }
    EXPECT_EQ(readAll(locked), old);
    EXPECT_EQ(QDir(dir.filePath("locked")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"item.wav"});
    EXPECT_TRUE(QFileInfo(dir.filePath("occupied.wav")).isDir());
    ::chmod(QFile::encodeName(dir.filePath("locked")).constData(), 0755);
}

class SaveRecordingAsTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        test::makeWavImage(t.app.state.record_buffer, 8820);
        t.form.编辑框4->setText("文件大小 8.65 KB");
    }
    test::TestApp t;
    QTemporaryDir dir;
};

TEST_F(SaveRecordingAsTest, CancelWritesAndShowsNothing) {
    SaveRecordingAs(t.app);
    EXPECT_EQ(t.ui.dialogsShown.size(), 1u);
    EXPECT_TRUE(t.ui.messages.empty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(SaveRecordingAsTest, TwoSavesUnderTwoNamesGiveIdenticalFilesAndQuoteTheSizeBox) {
    t.ui.saveAnswers = {dir.filePath("a.wav"), dir.filePath("b.wav")};
    SaveRecordingAs(t.app);
    SaveRecordingAs(t.app);

    ASSERT_EQ(t.ui.messages.size(), 2u);
    for (const auto& m : t.ui.messages) {
        EXPECT_EQ(m.title, "系统提示");
        EXPECT_EQ(m.text, "录音文件保存成功 , 文件大小 8.65 KB");
        EXPECT_EQ(m.icon, MessageIcon::Information);
    }
    const QByteArray a = readAll(dir.filePath("a.wav"));
    EXPECT_EQ(a.size(), 8820 + 44);
    EXPECT_EQ(a, readAll(dir.filePath("b.wav")));
    EXPECT_EQ(a, imageBytes(t.app.state.record_buffer)) << "the recording stays in memory";
    EXPECT_EQ(t.form.通用对话框1.initialDir, dir.path()) << "the next save starts in this folder";
}

TEST_F(SaveRecordingAsTest, ReadOnlyFolderReportsFailureAndKeepsTheRecording) {
    ::chmod(QFile::encodeName(dir.path()).constData(), 0555);
    t.ui.saveAnswers = {dir.filePath("a.wav")};
    {
        test::UnprivilegedFileAccess asUser;
        SaveRecordingAs(t.app);
    }
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);

    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0].title, "系统提示");
    // The described words, then the file and the system's reason.
    EXPECT_EQ(t.ui.messages[0].text,
              QStringLiteral("录音文件保存失败 , 文件可能被占用！\n%1\n（没有写入权限）")
                  .arg(dir.filePath("a.wav")));
    EXPECT_EQ(t.ui.messages[0].icon, MessageIcon::Error);
    EXPECT_FALSE(QFile::exists(dir.filePath("a.wav")));
    EXPECT_EQ(t.app.state.record_buffer.size(), 8820u + 44);

    t.ui.saveAnswers = {dir.filePath("a.wav")};
    SaveRecordingAs(t.app);
    EXPECT_EQ(readAll(dir.filePath("a.wav")), imageBytes(t.app.state.record_buffer));
}

}  // namespace
}  // namespace quillar
