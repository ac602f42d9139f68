// The platform layer's promises that the saves, the journal and the take log rely on: a rename
// that never replaces, whole writes and reads, a lock that another holder refuses, a file that
// is known to be gone, and what a folder allows.
#include "platform/file_io.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <vector>

#include "platform/memory.h"

namespace quillar::platform {
namespace {

using namespace Qt::StringLiterals;

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

TEST(FileIo, RenameNoReplaceNeverReplaces) {
    QTemporaryDir dir;
    const QString a = dir.filePath(u"a.wav"_s), b = dir.filePath(u"b.wav"_s);
    write(a, "new take");
    write(b, "old take");
    EXPECT_FALSE(renameNoReplace(a, b));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(contents(b), "old take");
    EXPECT_EQ(contents(a), "new take");
    ASSERT_TRUE(QFile::remove(b));
    EXPECT_TRUE(renameNoReplace(a, b));
    EXPECT_EQ(contents(b), "new take");
    EXPECT_FALSE(QFile::exists(a));
}

TEST(FileIo, CreateNewFileRefusesAnExistingOne) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"take.wav"_s);
    write(path, "kept");
    EXPECT_FALSE(createNewFile(path));
    EXPECT_EQ(errno, EEXIST);
    EXPECT_EQ(contents(path), "kept");
}

TEST(FileIo, WholeWritesAndReadsAtOffsets) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"data"_s);
    std::vector<char> big(3 * 1024 * 1024 + 7);
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 31);
    }
    {
        FileHandle f = createNewFile(path);
        ASSERT_TRUE(f);
        ASSERT_TRUE(writeAll(f.fd(), big.data(), big.size()));
        ASSERT_TRUE(writeAllAt(f.fd(), "HEAD", 4, 0));
        ASSERT_TRUE(syncData(f.fd()));
        ASSERT_TRUE(f.close());
    }
    FileHandle f = openForReading(path);
    ASSERT_TRUE(f);
    EXPECT_EQ(sizeOf(f.fd()), big.size());
    EXPECT_EQ(regularFileSize(f.fd()), big.size());
    std::vector<char> back(big.size() + 100);
    // Past the end only what is there; a read wholly past it gets nothing.
    EXPECT_EQ(readFullyAt(f.fd(), back.data(), back.size(), 0), big.size());
    EXPECT_EQ(std::string(back.data(), 4), "HEAD");
    EXPECT_TRUE(std::equal(big.begin() + 4, big.end(), back.begin() + 4));
    EXPECT_EQ(readFullyAt(f.fd(), back.data(), 10, big.size() + 5), 0u);
    // A copy of a part into another file, at another offset.
    FileHandle out = createNewFile(dir.filePath(u"copy"_s));
    ASSERT_TRUE(out);
    ASSERT_TRUE(copyAllAt(f.fd(), 4, out.fd(), 0, 1000));
    EXPECT_FALSE(copyAllAt(f.fd(), big.size() - 10, out.fd(), 2000, 100));  // the source ends early
    out.close();
    EXPECT_EQ(contents(dir.filePath(u"copy"_s)).left(1000), QByteArray(big.data() + 4, 1000));
}

TEST(FileIo, AnExclusiveLockIsRefusedToASecondHolder) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"journal"_s);
    write(path, "x");
    FileHandle first = openForReading(path);
    FileHandle second = openForReading(path);
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(lockExclusive(first.fd()));
    EXPECT_FALSE(lockExclusive(second.fd()));
    first.close();
    EXPECT_TRUE(lockExclusive(second.fd()));
}

TEST(FileIo, AnOpenFileKnowsWhenItsNameWentOrWasTakenOver) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"journal"_s);
    write(path, "x");
    FileHandle held = openForReading(path);
    ASSERT_TRUE(held);
    EXPECT_TRUE(stillNamed(held.fd(), path));
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_FALSE(stillNamed(held.fd(), path));
    write(path, "another file under the name");
    EXPECT_FALSE(stillNamed(held.fd(), path));
}

TEST(FileIo, WhatAFolderAllowsAndHolds) {
    QTemporaryDir dir;
    write(dir.filePath(u"一.wav"_s), "a");
    write(dir.filePath(u"二.wav"_s), "b");
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"早前录音"_s));
    EXPECT_EQ(plainFileNamesIn(dir.path()), (QSet<QString>{u"一.wav"_s, u"二.wav"_s}));
    EXPECT_TRUE(plainFileNamesIn(dir.filePath(u"gone"_s)).isEmpty());
    EXPECT_TRUE(folderWritable(dir.path()));
    EXPECT_FALSE(folderWritable(dir.filePath(u"gone"_s)));
    EXPECT_FALSE(folderWritable(dir.filePath(u"一.wav"_s)));  // a file is no folder
    EXPECT_FALSE(folderWritable(QString()));
    EXPECT_EQ(nameLimitsOf(dir.path()).nameMax, 255);
    const PathInfo file = pathInfo(dir.filePath(u"一.wav"_s));
    EXPECT_TRUE(file.exists && file.isFile && !file.isFolder);
    EXPECT_TRUE(pathInfo(dir.filePath(u"早前录音"_s)).isFolder);
    EXPECT_FALSE(pathInfo(dir.filePath(u"gone"_s)).exists);
    EXPECT_TRUE(makeFolder(dir.filePath(u"早前录音"_s)));  // already there is fine
    EXPECT_FALSE(makeFolder(dir.filePath(u"gone/deeper"_s)));
}

TEST(Memory, AReservedRegionTakesPagesOnlyAsTheyAreUsed) {
    const std::size_t page = pageSize();
    ASSERT_GE(page, 4096u);
    const std::size_t bytes = 1024 * page;
    auto* region = static_cast<unsigned char*>(reserveRegion(bytes));
    ASSERT_NE(region, nullptr);
    commitAhead(region, 4 * page);
    region[0] = 7;
    region[bytes - 1] = 9;
    returnPages(region, page);
    EXPECT_EQ(region[0], 0);  // a page given back reads as zeros
    EXPECT_EQ(region[bytes - 1], 9);
    releaseRegion(region, bytes);
}

}  // namespace
}  // namespace quillar::platform
