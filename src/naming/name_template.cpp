#include "naming/name_template.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <algorithm>
#include <cerrno>

#include "platform/file_io.h"

namespace quillar {

namespace {

constexpr int kMaxWidth = 10;
constexpr int kListedProblems = 10;
constexpr int kItemShown = 40;  // characters of an item's text in a message

struct NameTexts {
    Q_DECLARE_TR_FUNCTIONS(Quillar)
};

struct FieldName {
    QStringView name;
    NameField field;
};
constexpr FieldName kFields[] = {
    {u"id", NameField::Id},           {u"item", NameField::Item}, {u"gloss", NameField::Gloss},
    {u"speaker", NameField::Speaker}, {u"list", NameField::List},
};

bool isControl(char16_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0);
}

bool isAsciiDigits(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return false;
        }
    }
    return true;
}

bool isAsciiNameChar(char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'-' || c == u'_';
}

// Every character outside A-Za-z0-9, "-" and "_" made "_", runs of "_" made one, and "_"
// trimmed from both ends: "多 (2)" -> "2", "老男-0001" -> "-0001".
QString asciiName(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = isAsciiNameChar(c.unicode()) ? c.unicode() : u'_';
        if (u == u'_' && (out.isEmpty() || out.back() == u'_')) {
            continue;  // a leading "_" or a run
        }
        out += QChar(u);
    }
    if (out.endsWith(u'_')) {
        out.chop(1);
    }
    return out;
}

// A field's value as a part of a name: TABs dropped, "/" and control characters made "_".
QString cleanField(QString value) {
    value.remove(u'\t');
    for (QChar& c : value) {
        if (c == u'/' || isControl(c.unicode())) {
            c = u'_';
        }
    }
    return value;
}

// The raw value of a field, before cleaning: what its hash key is made of.
const QString& rawValue(NameField field, const ItemEntry& entry, const NamingContext& context) {
    switch (field) {
        case NameField::Id:
            return entry.id;
        case NameField::Item:
            return entry.item;
        case NameField::Gloss:
            return entry.gloss;
        case NameField::Speaker:
            return context.speaker;
        case NameField::List:
            return context.list;
    }
    return entry.item;
}

QString fieldValue(const NamePiece& piece, const ItemEntry& entry, const NamingContext& context) {
    const QString& raw = rawValue(*piece.field, entry, context);
    if (*piece.field == NameField::Item) {
        // The item keeps its outer blanks, as its file always did.
        return IsBlankItem(raw) ? QString() : cleanField(raw);
    }
    QString value = cleanField(raw.trimmed()).trimmed();
    if (piece.width > 0 && value.size() < piece.width && isAsciiDigits(value)) {
        value.prepend(QString(piece.width - value.size(), u'0'));
    }
    return value;
}

bool usesOccurrence(const NameTemplate& tmpl, const NamingContext& context) {
    return !context.table && tmpl.isItemAlone();
}

// "第 12 条「0001 多」", for a message.
QString describeRow(const std::vector<ItemEntry>& rows, int row) {
    const ItemEntry& e = rows[static_cast<std::size_t>(row)];
    const QString text = e.id.isEmpty() ? e.item : e.id + u' ' + e.item;
    return NameTexts::tr("第 %1 条「%2」")
        .arg(row + 1)
        .arg(PrintableText(ElideMiddle(text, kItemShown)));
}

struct Clash {
    int first;
    int second;
    QString path;
};

}  // namespace

bool NameTemplate::uses(NameField field) const {
    for (const auto& part : parts) {
        for (const NamePiece& piece : part) {
            if (piece.field == field) {
                return true;
            }
        }
    }
    return false;
}

bool NameTemplate::isItemAlone() const {
    return parts.size() == 1 && parts[0].size() == 1 && parts[0][0].field == NameField::Item;
}

QString DefaultNameTemplate(bool table) {
    return QString::fromUtf16(table ? kTableTemplate : kPlainListTemplate);
}

QStringList NameTemplatePresets() {
    return {QString::fromUtf16(kPlainListTemplate), QStringLiteral("{speaker}/{list}/{id}{item}"),
            QStringLiteral("{speaker}-{id}")};
}

std::optional<NameTemplate> ParseNameTemplate(const QString& text, QString* error) {
    const auto fail = [&](const QString& why) -> std::optional<NameTemplate> {
        if (error != nullptr) {
            *error = why;
        }
        return std::nullopt;
    };
    NameTemplate tmpl;
    tmpl.text = text;
    std::vector<NamePiece> part;
    const auto endPart = [&]() {
        if (part.empty()) {
            return false;
        }
        tmpl.parts.push_back(std::move(part));
        part.clear();
        return true;
    };
    const auto isDots = [](const std::vector<NamePiece>& p) {
        return p.size() == 1 && !p[0].field && (p[0].text == u"." || p[0].text == u"..");
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\\') {
            return fail(NameTexts::tr("文件名模板中有反斜杠“\\”：子文件夹请用“/”分开"));
        }
        if (isControl(c.unicode())) {
            return fail(NameTexts::tr("文件名模板中有控制字符（如制表符）"));
        }
        if (c == u'}') {
            return fail(NameTexts::tr("文件名模板的花括号不成对：第 %1 个字符").arg(i + 1));
        }
        if (c == u'/') {
            if (!endPart()) {
                return fail(
                    NameTexts::tr("文件名模板中有空的路径部分：“/”不能在开头或结尾，也不能连着写"));
            }
            if (isDots(tmpl.parts.back())) {
                return fail(NameTexts::tr("文件名模板中的路径部分不能是“.”或“..”"));
            }
            continue;
        }
        if (c != u'{') {
            if (part.empty() || part.back().field) {
                part.push_back(NamePiece{});
            }
            part.back().text += c;
            continue;
        }
        const qsizetype close = text.indexOf(u'}', i + 1);
        const qsizetype nested = text.indexOf(u'{', i + 1);
        if (close < 0 || (nested >= 0 && nested < close)) {
            return fail(NameTexts::tr("文件名模板的花括号不成对：第 %1 个字符").arg(i + 1));
        }
        const QString inner = text.sliced(i + 1, close - i - 1);
        const qsizetype colon = inner.indexOf(u':');
        const QString name = colon < 0 ? inner : inner.first(colon);
        const auto known = std::find_if(std::begin(kFields), std::end(kFields),
                                        [&](const FieldName& f) { return f.name == name; });
        if (known == std::end(kFields)) {
            return fail(
                NameTexts::tr("文件名模板中有未知的字段 %1；可用的字段是 {id}、{item}、{gloss}、"
                              "{speaker}、{list}")
                    .arg(u'{' + inner + u'}'));
        }
        NamePiece piece;
        piece.field = known->field;
        if (colon >= 0) {
            const QString digits = inner.sliced(colon + 1);
            bool ok = isAsciiDigits(digits) && digits.size() <= 2;
            piece.width = ok ? digits.toInt() : 0;
            if (!ok || piece.width < 1 || piece.width > kMaxWidth || piece.field != NameField::Id) {
                return fail(
                    NameTexts::tr("文件名模板中 %1 的宽度不对：只有 {id} 可以补零，宽度是 1 到 10，"
                                  "如 {id:4}")
                        .arg(u'{' + inner + u'}'));
            }
        }
        part.push_back(std::move(piece));
        i = close;
    }
    if (!text.isEmpty() && !endPart()) {
        return fail(NameTexts::tr("文件名模板中有空的路径部分：“/”不能在开头或结尾，也不能连着写"));
    }
    if (!tmpl.parts.empty() && isDots(tmpl.parts.back())) {
        return fail(NameTexts::tr("文件名模板中的路径部分不能是“.”或“..”"));
    }
    if (!tmpl.uses(NameField::Id) && !tmpl.uses(NameField::Item)) {
        return fail(NameTexts::tr("文件名模板须含 {id} 或 {item}，否则各条目的文件名会相同"));
    }
    return tmpl;
}

QString ListNameOf(const QString& itemFilePath) {
    return QFileInfo(itemFilePath).completeBaseName();
}

ComposedName ComposeName(const NameTemplate& tmpl, const ItemEntry& entry, int occurrence,
                         const NamingContext& context) {
    ComposedName name;
    name.asciiOnly = context.asciiOnly;
    name.parts.reserve(static_cast<qsizetype>(tmpl.parts.size()));
    name.hashKeys.reserve(static_cast<qsizetype>(tmpl.parts.size()));
    const bool withOccurrence = usesOccurrence(tmpl, context);
    for (std::size_t p = 0; p < tmpl.parts.size(); ++p) {
        const bool stem = p + 1 == tmpl.parts.size();
        QString part;
        QString key;
        int fields = 0;
        for (const NamePiece& piece : tmpl.parts[p]) {
            if (!piece.field) {
                part += piece.text;
                continue;
            }
            const QString value = fieldValue(piece, entry, context);
            part += value;
            if (fields++ > 0) {
                key += u'\x1f';
            }
            key += rawValue(*piece.field, entry, context);
            if (stem && (piece.field == NameField::Id || piece.field == NameField::Item)) {
                name.named =
                    name.named || !(context.asciiOnly ? asciiName(value) : value).isEmpty();
            }
        }
        if (fields == 0) {
            key = part;  // the template's own text only: the same for every item
        }
        if (stem && withOccurrence) {
            if (occurrence > 1) {
                part += QStringLiteral(" (%1)").arg(occurrence);
            }
            key += u'\x1f' + QString::number(occurrence);
        }
        if (context.asciiOnly) {
            part = asciiName(part);
            if (part.isEmpty()) {
                part = QStringLiteral("_");
            }
        }
        if (stem && !name.named) {
            part.clear();
        }
        name.parts.push_back(std::move(part));
        name.hashKeys.push_back(std::move(key));
    }
    return name;
}

QString FitComposedName(const ComposedName& name, const NameRules& rules) {
    if (!name.named || name.parts.isEmpty()) {
        return QString();
    }
    QString path;
    qsizetype length = 8;
    for (const QString& part : name.parts) {
        length += part.size() + 1;
    }
    path.reserve(length);
    const qsizetype last = name.parts.size() - 1;
    for (qsizetype i = 0; i < last; ++i) {
        path += FitFileName(name.parts[i], QString(), rules, name.hashKeys[i]) + u'/';
    }
    path += FitFileName(name.parts[last], QStringLiteral(".wav"), rules, name.hashKeys[last]);
    if (name.asciiOnly) {
        // An overlong part's hash follows a "~"; an ASCII part has no other.
        path.replace(u'~', u'-');
    }
    return path;
}

QString TemplateRecordingPath(const QString& folder, const NameTemplate& tmpl,
                              const ItemEntry& entry, int occurrence,
                              const NamingContext& context) {
    const QString dir = CleanFolder(folder);
    if (dir.isEmpty()) {
        return QString();
    }
    const QString relative =
        FitComposedName(ComposeName(tmpl, entry, occurrence, context), NameRulesOf(dir));
    return relative.isEmpty() ? QString() : dir + u'/' + relative;
}

QString TemplateTakePath(const QString& folder, const NameTemplate& tmpl, const ItemEntry& entry,
                         int occurrence, const NamingContext& context, const QDateTime& started) {
    const QString dir = CleanFolder(folder);
    if (dir.isEmpty()) {
        return QString();
    }
    ComposedName name = ComposeName(tmpl, entry, occurrence, context);
    if (!name.named) {
        const QString time = started.toString(QStringLiteral("yyyyMMdd-HHmmss"));
        name.parts.last() = context.asciiOnly ? QStringLiteral("untitled-") + time
                                              : UntitledFileName(started).chopped(4);
        name.hashKeys.last() = entry.item;
        name.named = true;
    }
    return dir + u'/' + FitComposedName(name, NameRulesOf(dir));
}

std::vector<int> ItemOccurrences(const std::vector<ItemEntry>& rows) {
    std::vector<int> occurrences;
    occurrences.reserve(rows.size());
    QHash<QString, int> seen;
    seen.reserve(static_cast<qsizetype>(rows.size()));
    for (const ItemEntry& row : rows) {
        occurrences.push_back(++seen[row.item]);
    }
    return occurrences;
}

QString CheckNameTemplate(const NameTemplate& tmpl, const ItemTable& items,
                          const NamingContext& context, const NameRules& rules) {
    NamingContext ctx = context;
    ctx.table = items.table;
    const std::vector<ItemEntry>& rows = items.rows;
    const std::vector<int> occurrences =
        usesOccurrence(tmpl, ctx) ? ItemOccurrences(rows) : std::vector<int>();
    std::vector<int> unnamed;
    std::vector<Clash> clashes;
    // The fitted path (case-folded on a FAT or NTFS stick) -> its first row + 1.
    QHash<QString, int> taken;
    taken.reserve(static_cast<qsizetype>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const ItemEntry& row = rows[r];
        if (IsBlankItem(row.item) && row.id.trimmed().isEmpty()) {
            continue;
        }
        const int occurrence = occurrences.empty() ? 1 : occurrences[r];
        const ComposedName name = ComposeName(tmpl, row, occurrence, ctx);
        if (!name.named) {
            unnamed.push_back(static_cast<int>(r));
            continue;
        }
        const QString path = FitComposedName(name, rules);
        int& first = taken[rules.restricted ? path.toCaseFolded() : path];
        if (first == 0) {
            first = static_cast<int>(r) + 1;
        } else {
            clashes.push_back(Clash{first - 1, static_cast<int>(r), path});
        }
    }
    QStringList lines;
    if (!unnamed.empty()) {
        lines << NameTexts::tr(
                     "%1 个条目得不到文件名：模板中能分开条目的 {id}、{item} 在这些条目里是空的"
                     "（或在“仅 ASCII”时没有可用的字母和数字）：")
                     .arg(unnamed.size());
        for (std::size_t i = 0; i < unnamed.size() && i < kListedProblems; ++i) {
            lines << QStringLiteral("  ") + describeRow(rows, unnamed[i]);
        }
        if (unnamed.size() > kListedProblems) {
            lines << NameTexts::tr("  另有 %1 个").arg(unnamed.size() - kListedProblems);
        }
    }
    if (!clashes.empty()) {
        lines << NameTexts::tr("%1 处两个条目的录音文件相同：").arg(clashes.size());
        for (std::size_t i = 0; i < clashes.size() && i < kListedProblems; ++i) {
            const Clash& c = clashes[i];
            lines << NameTexts::tr("  %1 与 %2：%3")
                         .arg(describeRow(rows, c.first), describeRow(rows, c.second),
                              PrintableText(ElideMiddle(c.path, kItemShown * 2)));
        }
        if (clashes.size() > kListedProblems) {
            lines << NameTexts::tr("  另有 %1 处").arg(clashes.size() - kListedProblems);
        }
    }
    return lines.join(u'\n');
}

bool MakeRecordingFolders(const QString& folder, const QString& path) {
    const QString clean = CleanFolder(folder);
    const QString base = QDir::cleanPath(clean);
    if (clean.isEmpty() || !QFileInfo(base).isDir()) {
        errno = ENOENT;
        return false;
    }
    const QString cleaned = QDir::cleanPath(path);
    const QString dir = cleaned.left(std::max<qsizetype>(cleaned.lastIndexOf(u'/'), 0));
    if (dir == base) {
        return true;
    }
    const QString prefix = base.endsWith(u'/') ? base : base + u'/';
    if (!dir.startsWith(prefix)) {
        errno = EINVAL;
        return false;
    }
    QString made = prefix.chopped(1);  // empty for the root
    for (const QString& part : dir.sliced(prefix.size()).split(u'/')) {
        const QString parent = made.isEmpty() ? QStringLiteral("/") : made;
        made += u'/' + part;
        if (QFileInfo(made).isDir()) {
            continue;
        }
        if (platform::pathInfo(made).exists) {
            errno = ENOTDIR;  // a file, or a link to nothing, where the folder should be
            return false;
        }
        if (!platform::makeFolder(made)) {
            return false;
        }
        platform::syncFolder(parent);
    }
    return true;
}

}  // namespace quillar
