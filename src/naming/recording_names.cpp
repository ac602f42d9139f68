#include "naming/recording_names.h"

#include <QFile>
#include <QTextBoundaryFinder>
#include <algorithm>

#include "platform/file_io.h"

namespace quillar {

namespace {

// statfs f_type values (linux/magic.h) of the file systems of SD cards and USB sticks. fuseblk is
// a block device behind FUSE, which on a desktop is ntfs-3g or exfat-fuse: the same rules.
constexpr unsigned long kMsdosMagic = 0x4d44;
constexpr unsigned long kExfatMagic = 0x2011BAB0;
constexpr unsigned long kNtfsMagic = 0x5346544e;
constexpr unsigned long kFuseMagic = 0x65735546;

constexpr int kHashChars = 9;  // "~" and eight hex digits

bool isControl(char16_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0);
}

// FNV-1a over the UTF-8 bytes: the same name on every machine and in every run.
std::uint32_t stableHash(const QString& key) {
    std::uint32_t h = 2166136261u;
    for (const char byte : key.toUtf8()) {
        h ^= static_cast<std::uint8_t>(byte);
        h *= 16777619u;
    }
    return h;
}

qsizetype utf8Bytes(const QString& text) {
    return QFile::encodeName(text).size();
}

QString clean(QString stem, const NameRules& rules) {
    for (QChar& c : stem) {
        const char16_t u = c.unicode();
        if (u == u'/' || isControl(u) ||
            (rules.restricted && QStringView(u"\"*:<>?\\|").contains(c))) {
            c = u'_';
        }
    }
    if (rules.restricted) {
        while (!stem.isEmpty() && (stem.back() == u'.' || stem.back() == u' ')) {
            stem.chop(1);
        }
    }
    return stem;
}

bool hiddenOrEmpty(const QString& stem) {
    if (stem.isEmpty() || stem.front() == u'.') {
        return true;
    }
    for (const QChar c : stem) {
        if (c != u'.' && c != u' ') {
            return false;
        }
    }
    return true;
}

// The longest prefix of whole characters (grapheme clusters) of `stem` within `bytes`.
QString prefixWithin(const QString& stem, qsizetype bytes) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, stem);
    qsizetype cut = 0;
    qsizetype used = 0;
    qsizetype at = 0;
    while ((at = finder.toNextBoundary()) > 0) {
        const qsizetype more = utf8Bytes(stem.sliced(cut, at - cut));
        if (used + more > bytes) {
            break;
        }
        used += more;
        cut = at;
    }
    return stem.first(cut);
}

}  // namespace

bool IsRestrictedFileSystem(unsigned long fsType) {
    return fsType == kMsdosMagic || fsType == kExfatMagic || fsType == kNtfsMagic ||
           fsType == kFuseMagic;
}

NameRules NameRulesOf(const QString& folder) {
    NameRules rules;
    if (folder.isEmpty()) {
        return rules;
    }
    const platform::NameLimits limits = platform::nameLimitsOf(folder);
    rules.nameMax = std::min(rules.nameMax, limits.nameMax);
    rules.restricted = IsRestrictedFileSystem(limits.fsType);
    return rules;
}

QString FitFileName(QString stem, const QString& suffix, const NameRules& rules,
                    const QString& hashKey) {
    stem = clean(std::move(stem), rules);
    if (hiddenOrEmpty(stem)) {
        stem.prepend(u'_');
    }
    // A UTF-16 unit is at most three bytes of UTF-8: most names are known to fit uncounted.
    if ((stem.size() + suffix.size()) * 3 <= rules.nameMax) {
        return stem + suffix;
    }
    const qsizetype suffixBytes = utf8Bytes(suffix);
    if (utf8Bytes(stem) + suffixBytes <= rules.nameMax) {
        return stem + suffix;
    }
    QString prefix = prefixWithin(stem, rules.nameMax - suffixBytes - kHashChars);
    if (rules.restricted) {
        prefix = clean(prefix, rules);
    }
    return prefix + QStringLiteral("~%1").arg(stableHash(hashKey), 8, 16, QChar(u'0')) + suffix;
}

bool IsBlankItem(const QString& item) {
    return QString(item).remove(u'\t').trimmed().isEmpty();
}

QString ItemFileName(const QString& item, int occurrence, const NameRules& rules) {
    if (IsBlankItem(item)) {
        return QString();
    }
    QString stem = item;
    stem.remove(u'\t');
    if (occurrence > 1) {
        stem += QStringLiteral(" (%1)").arg(occurrence);
    }
    return FitFileName(stem, QStringLiteral(".wav"), rules,
                       item + QChar(u'\x1f') + QString::number(occurrence));
}

QString UntitledFileName(const QDateTime& started) {
    return QStringLiteral("未命名-%1.wav").arg(started.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

QString CleanFolder(const QString& folder) {
    // The path as a whole loses its outer blanks and every tab; the name part never has either.
    QString path = (folder + u'/').trimmed();
    path.remove(u'\t');
    path.chop(1);
    return path.trimmed().isEmpty() ? QString() : path;
}

QString TakeFilePath(const QString& folder, const QString& item, int occurrence,
                     const QDateTime& started) {
    const QString dir = CleanFolder(folder);
    if (dir.isEmpty()) {
        return QString();
    }
    const NameRules rules = NameRulesOf(dir);
    const QString name = IsBlankItem(item) ? FitFileName(UntitledFileName(started).chopped(4),
                                                         QStringLiteral(".wav"), rules, item)
                                           : ItemFileName(item, occurrence, rules);
    return dir + u'/' + name;
}

QString PrintableText(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u < 0x20) {
            c = QChar(char16_t(0x2400 + u));
        } else if (u == 0x7F) {
            c = QChar(char16_t(0x2421));
        } else if (u >= 0x80 && u < 0xA0) {
            c = QChar(char16_t(0xFFFD));
        }
    }
    return out;
}

QString ElideMiddle(const QString& text, int max) {
    if (text.size() <= max || max < 3) {
        return text;
    }
    qsizetype head = (max - 1) / 2;
    qsizetype tail = max - 1 - head;
    // Never split a surrogate pair.
    if (text.at(head - 1).isHighSurrogate()) {
        --head;
    }
    if (text.at(text.size() - tail).isLowSurrogate()) {
        --tail;
    }
    return text.first(head) + QChar(u'…') + text.last(tail);
}

}  // namespace quillar
