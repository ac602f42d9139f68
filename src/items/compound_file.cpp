#include "items/compound_file.h"

#include <QFile>
#include <QSet>
#include <QtEndian>
#include <cstring>

namespace quillar {

namespace {

constexpr char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr qint64 kHeaderSize = 512;
constexpr int kHeaderFatSectors = 109;  // the allocation-table sectors the header lists itself
constexpr quint32 kLastRegularSector = 0xFFFFFFF9;  // above: end of chain, free and the like
constexpr int kEntrySize = 128;

quint32 u32At(const QByteArray& bytes, qsizetype at) {
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

// One compound file's sectors, read as they are asked for: a damaged file is walked a few
// sectors at a time, never read whole.
class Sectors {
  public:
    Sectors(QFile& file, int shift) : m_file(file), m_size(qint64(1) << shift) {
        m_count = (file.size() + m_size - 1) / m_size - 1;  // the header takes the first
    }

    qint64 count() const { return m_count; }
    qint64 size() const { return m_size; }
    bool holds(quint32 id) const { return id <= kLastRegularSector && id < m_count; }

    // Sector `id`, zero-filled past a file cut short; empty when the file has no such sector.
    QByteArray read(quint32 id) {
        if (!holds(id) || !m_file.seek((qint64(id) + 1) * m_size)) {
            return {};
        }
        QByteArray sector = m_file.read(m_size);
        sector.resize(m_size, '\0');
        return sector;
    }

  private:
    QFile& m_file;
    qint64 m_size;
    qint64 m_count = 0;
};

}  // namespace

bool CompoundFileOverclaims(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray header = file.read(kHeaderSize);
    if (header.size() < kHeaderSize || std::memcmp(header.constData(), kSignature, 8) != 0) {
        return false;
    }
    const quint16 major = qFromLittleEndian<quint16>(header.constData() + 26);
    const quint16 shift = qFromLittleEndian<quint16>(header.constData() + 30);
    // Version 3 has 512-byte sectors, version 4 has 4096; the library refuses anything else.
    if (!((major == 3 && shift == 9) || (major == 4 && shift == 12))) {
        return false;
    }
    Sectors sectors(file, shift);
    const quint32 fatSectors = u32At(header, 44);
    const quint32 firstDirectory = u32At(header, 48);
    const quint32 miniFatSectors = u32At(header, 64);
    const quint32 firstDifat = u32At(header, 68);
    const quint32 difatSectors = u32At(header, 72);
    if (fatSectors > sectors.count() || miniFatSectors > sectors.count() ||
        difatSectors > sectors.count()) {
        return true;
    }

    // Where the allocation table lies: the header lists its first sectors, a chain of DIFAT
    // sectors the rest.
    QList<quint32> fat;
    for (int i = 0; i < kHeaderFatSectors && quint32(fat.size()) < fatSectors; ++i) {
        fat.push_back(u32At(header, 76 + 4 * i));
    }
    const qsizetype perSector = sectors.size() / 4;
    QSet<quint32> seen;
    for (quint32 id = firstDifat;
         quint32(fat.size()) < fatSectors && sectors.holds(id) && !seen.contains(id);) {
        seen.insert(id);
        const QByteArray difat = sectors.read(id);
        for (qsizetype i = 0; i < perSector - 1 && quint32(fat.size()) < fatSectors; ++i) {
            fat.push_back(u32At(difat, 4 * i));
        }
        id = u32At(difat, 4 * (perSector - 1));
    }
    auto next = [&](quint32 id) -> quint32 {
        const qsizetype at = qsizetype(id / perSector);
        const QByteArray table = at < fat.size() ? sectors.read(fat[at]) : QByteArray();
        return table.isEmpty() ? quint32(0xFFFFFFFE) : u32At(table, 4 * (id % perSector));
    };

    // Every named entry of the directory, whatever its type: the library looks the workbook up
    // by its name alone. Version 3 keeps only the low half of a size, and its high half may be
    // anything.
    const qint64 fileSize = file.size();
    seen.clear();
    for (quint32 id = firstDirectory; sectors.holds(id) && !seen.contains(id); id = next(id)) {
        seen.insert(id);
        const QByteArray directory = sectors.read(id);
        for (qsizetype at = 0; at + kEntrySize <= directory.size(); at += kEntrySize) {
            const quint16 nameBytes = qFromLittleEndian<quint16>(directory.constData() + at + 64);
            const quint64 size = major == 3
                                     ? u32At(directory, at + 120)
                                     : qFromLittleEndian<quint64>(directory.constData() + at + 120);
            if (nameBytes > 0 && size > quint64(fileSize)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace quillar
