#include "items/compound_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>
#include <functional>

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

const QString kCorpus = QStringLiteral(QUILLAR_FUZZ_CORPUS "/xls");

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    return f.readAll();
}

void putU32(QByteArray& bytes, qsizetype at, quint32 value) {
    qToLittleEndian(value, bytes.data() + at);
}

// Offsets in a workbook xlwt wrote: 512-byte sectors, one allocation-table sector.
struct Layout {
    qsizetype workbookEntry;  // the directory entry named "Workbook"
    qsizetype directoryLink;  // the allocation-table slot of the directory's first sector
};

Layout layoutOf(const QByteArray& bytes) {
    const QByteArray name = QByteArray("W\0o\0r\0k\0b\0o\0o\0k\0", 16);
    const quint32 directory = qFromLittleEndian<quint32>(bytes.constData() + 48);
    const quint32 fat = qFromLittleEndian<quint32>(bytes.constData() + 76);
    return {bytes.indexOf(name), (qsizetype(fat) + 1) * 512 + 4 * qsizetype(directory)};
}

TEST(CompoundFile, WorkbooksAndOtherFilesPassOnlyStreamsLongerThanTheirFileAreStopped) {
    // Every workbook of the fuzz corpus that no damage made: xlwt's, and other files under the
    // name, which the library itself refuses.
    const QStringList names = QDir(kCorpus).entryList({u"xlwt_*"_s, u"*named*"_s}, QDir::Files);
    ASSERT_GE(names.size(), 8);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_FALSE(CompoundFileOverclaims(kCorpus + u'/' + name));
    }
    EXPECT_TRUE(CompoundFileOverclaims(kCorpus + u"/regress-stream-longer-than-its-file.xls"_s));

    const QByteArray good = bytesOf(kCorpus + u"/xlwt_zh_header.xls"_s);
    const Layout at = layoutOf(good);
    ASSERT_GT(at.workbookEntry, 0);
    const struct {
        const char* what;
        std::function<void(QByteArray&)> damage;
        bool overclaims;
    } cases[] = {
        {"a workbook stream of 4 GB",
         [&](QByteArray& b) { putU32(b, at.workbookEntry + 120, 0xFFFFFFF0); }, true},
        {"more allocation-table sectors than the file has",
         [](QByteArray& b) { putU32(b, 44, 1000000); }, true},
        {"more DIFAT sectors than the file has", [](QByteArray& b) { putU32(b, 72, 70000); }, true},
        // Version 3 keeps a size in its low half; writers leave anything in the high one.
        {"garbage in the high half of a size",
         [&](QByteArray& b) { putU32(b, at.workbookEntry + 124, 0xFFFFFFFF); }, false},
        {"an entry without a name claiming 4 GB",
         [&](QByteArray& b) {
             b[at.workbookEntry + 64] = 0;
             b[at.workbookEntry + 65] = 0;
             putU32(b, at.workbookEntry + 120, 0xFFFFFFF0);
         },
         false},
        // Walked once, not for ever.
        {"a directory chain that leads back to itself",
         [&](QByteArray& b) {
             putU32(b, at.directoryLink, qFromLittleEndian<quint32>(b.constData() + 48));
         },
         false},
        {"a directory in a sector past the end", [](QByteArray& b) { putU32(b, 48, 5000); }, false},
        {"cut inside its first sector", [](QByteArray& b) { b.truncate(600); }, false},
        {"sectors of 64 KB", [](QByteArray& b) { b[30] = 16; }, false},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        QByteArray bytes = good;
        c.damage(bytes);
        const QString path = dir.filePath(u"damaged.xls"_s);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        EXPECT_EQ(CompoundFileOverclaims(path), c.overclaims);
    }
}

}  // namespace
}  // namespace quillar::test
