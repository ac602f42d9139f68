#include "session/session.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace quillar {

namespace {

// A session is a few hundred bytes; a file far larger is something else, never read whole.
constexpr qint64 kMaxSessionBytes = 1 << 20;

struct SessionTexts {
    Q_DECLARE_TR_FUNCTIONS(Quillar)
};

QString atLine(int line, const QString& why) {
    return SessionTexts::tr("第 %1 行：%2").arg(line).arg(why);
}

int lineAt(const QByteArray& json, qsizetype offset) {
    return static_cast<int>(json.first(std::clamp<qsizetype>(offset, 0, json.size())).count('\n')) +
           1;
}

// Where each value of a valid JSON text starts, by its path ("speaker/languages/2"), down to
// the depth a session has: what a wrong type's line is found by, QJsonDocument keeping none.
class ValuePositions {
  public:
    explicit ValuePositions(const QByteArray& json) : m_json(json) { value(QString(), 0); }
    qsizetype of(const QString& path) const { return m_at.value(path, 0); }

  private:
    static constexpr int kDepth = 3;

    static bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
    void skipBlanks() {
        while (m_i < m_json.size() && isBlank(m_json[m_i])) {
            ++m_i;
        }
    }
    // At a '"': the string's text, the position past its closing quote.
    QString string() {
        const qsizetype start = m_i++;
        while (m_i < m_json.size() && m_json[m_i] != '"') {
            m_i += m_json[m_i] == '\\' ? 2 : 1;
        }
        ++m_i;
        const QByteArray quoted = m_json.sliced(start, m_i - start);
        if (!quoted.contains('\\')) {
            return QString::fromUtf8(quoted.sliced(1, quoted.size() - 2));
        }
        return QJsonDocument::fromJson('[' + quoted + ']').array().at(0).toString();
    }
    void value(const QString& path, int depth) {
        skipBlanks();
        if (depth <= kDepth) {
            m_at.insert(path, m_i);  // the last of a repeated key, as QJsonDocument keeps it
        }
        if (m_i >= m_json.size()) {
            return;
        }
        const char c = m_json[m_i];
        if (c == '"') {
            string();
        } else if (c == '{' || c == '[') {
            const char end = c == '{' ? '}' : ']';
            ++m_i;
            for (int index = 0;; ++index) {
                skipBlanks();
                if (m_i >= m_json.size() || m_json[m_i] == end) {
                    ++m_i;
                    return;
                }
                QString name = QString::number(index);
                if (c == '{') {
                    name = string();
                    skipBlanks();
                    ++m_i;  // ':'
                }
                value(path.isEmpty() ? name : path + u'/' + name, depth + 1);
                skipBlanks();
                if (m_i < m_json.size() && m_json[m_i] == ',') {
                    ++m_i;
                }
            }
        } else {
            while (m_i < m_json.size() && !isBlank(m_json[m_i]) && m_json[m_i] != ',' &&
                   m_json[m_i] != '}' && m_json[m_i] != ']') {
                ++m_i;
            }
        }
    }

    const QByteArray& m_json;
    qsizetype m_i = 0;
    QHash<QString, qsizetype> m_at;
};

QString syntaxError(QJsonParseError::ParseError error) {
    switch (error) {
        // A missing comma is read as the end of the object or list coming too soon.
        case QJsonParseError::UnterminatedObject:
        case QJsonParseError::UnterminatedArray:
        case QJsonParseError::MissingValueSeparator:
            return SessionTexts::tr("缺少逗号，或缺少结尾的 } 或 ]");
        case QJsonParseError::UnterminatedString:
            return SessionTexts::tr("引号没有结束");
        case QJsonParseError::MissingNameSeparator:
            return SessionTexts::tr("名字后面缺少冒号");
        case QJsonParseError::IllegalUTF8String:
            return SessionTexts::tr("文件不是 UTF-8 文本");
        default:
            return SessionTexts::tr("不是有效的 JSON");
    }
}

// Qt's parser drops a byte-order mark from the start of a key or text written plainly, but keeps
// one that came in through an escape, and a lookup by the name it gives may miss. A key or text
// written as read could come back as another: a key moved, beside one it resembles or as one of
// ours; a text shorter. The file would read differently, or not at all, the next time. So texts are
// read, and keys and texts written, as a read gives them back.
QString asReadBack(QString text) {
    qsizetype marks = 0;
    while (marks < text.size() && text.at(marks) == QChar(0xFEFF)) {
        ++marks;
    }
    return text.remove(0, marks);
}

// Reads the known keys out of a parsed object; the first wrong one ends the reading.
class Reader {
  public:
    explicit Reader(const QByteArray& json) : m_json(json) {}
    const QString& error() const { return m_error; }

    QJsonObject object(const QJsonObject& in, const QString& key) {
        const QJsonValue v = in.value(key);
        if (v.isObject() || absent(v)) {
            return v.toObject();
        }
        refuse(key, SessionTexts::tr("“%1”应是一个对象 {…}"));
        return {};
    }
    QString text(const QJsonObject& in, const QString& path) {
        const QJsonValue v = in.value(leaf(path));
        if (v.isString() || absent(v)) {
            return asReadBack(v.toString());
        }
        refuse(path, SessionTexts::tr("“%1”应是文字（加引号）"));
        return {};
    }
    std::optional<int> year(const QJsonObject& in, const QString& path) {
        const QJsonValue v = in.value(leaf(path));
        if (absent(v)) {
            return std::nullopt;
        }
        const double d = v.toDouble(-1);
        if (!v.isDouble() || d != std::floor(d) || d < 1000 || d > 9999) {
            refuse(path, SessionTexts::tr("“%1”应是四位数的年份，如 1956"));
            return std::nullopt;
        }
        return static_cast<int>(d);
    }
    std::optional<double> degrees(const QJsonObject& in, const QString& path, double limit) {
        const QJsonValue v = in.value(leaf(path));
        if (absent(v)) {
            return std::nullopt;
        }
        if (!v.isDouble() || std::abs(v.toDouble()) > limit) {
            refuse(path, limit == 90 ? SessionTexts::tr("“%1”应是 -90 到 90 之间的数")
                                     : SessionTexts::tr("“%1”应是 -180 到 180 之间的数"));
            return std::nullopt;
        }
        return v.toDouble();
    }
    QStringList languages(const QJsonObject& in, const QString& path) {
        const QJsonValue v = in.value(leaf(path));
        if (absent(v)) {
            return {};
        }
        if (!v.isArray()) {
            refuse(path, SessionTexts::tr("“%1”应是语言代码的列表，如 [\"cmn\", \"wuu\"]"));
            return {};
        }
        QStringList codes;
        const QJsonArray array = v.toArray();
        for (qsizetype i = 0; i < array.size(); ++i) {
            const QString code = array.at(i).toString();
            if (!array.at(i).isString() || !isLanguageCode(code)) {
                const QString shown =
                    array.at(i).isString()
                        ? code
                        : QString::fromUtf8(
                              QJsonDocument(QJsonArray{array.at(i)}).toJson(QJsonDocument::Compact))
                              .chopped(1)
                              .sliced(1);
                m_error = atLine(
                    lineOf(path + u'/' + QString::number(i)),
                    SessionTexts::tr("语言代码“%1”不是 ISO 639-3 代码（三个小写字母，如 cmn）")
                        .arg(shown));
                return {};
            }
            codes << code;
        }
        return codes;
    }

  private:
    static bool absent(const QJsonValue& v) { return v.isUndefined() || v.isNull(); }
    static QString leaf(const QString& path) { return path.section(u'/', -1); }
    static bool isLanguageCode(const QString& code) {
        return code.size() == 3 && std::all_of(code.begin(), code.end(),
                                               [](QChar c) { return c >= u'a' && c <= u'z'; });
    }
    int lineOf(const QString& path) {
        if (!m_positions) {
            m_positions.emplace(m_json);
        }
        return lineAt(m_json, m_positions->of(path));
    }
    void refuse(const QString& path, const QString& why) {
        if (m_error.isEmpty()) {
            m_error = atLine(lineOf(path), why.arg(QString(path).replace(u'/', u'.')));
        }
    }

    const QByteArray& m_json;
    std::optional<ValuePositions> m_positions;
    QString m_error;
};

}  // namespace

SessionRead parseSession(const QByteArray& bytes) {
    SessionRead read;
    // A BOM is what some editors put first; it moves no line.
    const QByteArray json = bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
    if (json.trimmed().isEmpty()) {
        read.error = atLine(1, SessionTexts::tr("文件是空的，不是 JSON"));
        return read;
    }
    QJsonParseError parsed;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parsed);
    if (parsed.error != QJsonParseError::NoError) {
        read.error = atLine(lineAt(json, parsed.offset), syntaxError(parsed.error));
        return read;
    }
    if (!doc.isObject()) {
        const qsizetype start = json.indexOf(json.trimmed().front());
        read.error = atLine(lineAt(json, start), SessionTexts::tr("会话文件应是一个对象 {…}"));
        return read;
    }
    Reader r(json);
    Session s;
    s.original = doc.object();
    const QJsonObject speaker = r.object(s.original, QStringLiteral("speaker"));
    const QJsonObject site = r.object(s.original, QStringLiteral("site"));
    if (r.error().isEmpty()) {
        s.speaker.code = r.text(speaker, QStringLiteral("speaker/code"));
        s.speaker.name = r.text(speaker, QStringLiteral("speaker/name"));
        s.speaker.sex = r.text(speaker, QStringLiteral("speaker/sex"));
        s.speaker.birthYear = r.year(speaker, QStringLiteral("speaker/birth_year"));
        s.speaker.role = r.text(speaker, QStringLiteral("speaker/role"));
        s.speaker.languages = r.languages(speaker, QStringLiteral("speaker/languages"));
        s.site.code = r.text(site, QStringLiteral("site/code"));
        s.site.place = r.text(site, QStringLiteral("site/place"));
        s.site.latitude = r.degrees(site, QStringLiteral("site/latitude"), 90);
        s.site.longitude = r.degrees(site, QStringLiteral("site/longitude"), 180);
        s.fieldworker = r.text(s.original, QStringLiteral("fieldworker"));
        s.consent = r.text(s.original, QStringLiteral("consent"));
        s.notes = r.text(s.original, QStringLiteral("notes"));
    }
    if (!r.error().isEmpty()) {
        read.error = r.error();
        return read;
    }
    read.session = std::move(s);
    return read;
}

SessionRead readSessionFile(const QString& path) {
    SessionRead read;
    QFile file(path);
    if (!file.exists()) {
        return read;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        read.error = SessionTexts::tr("无法读取会话文件：%1").arg(file.errorString());
        return read;
    }
    // One byte past the limit tells a file too large from one at it where size() cannot (a pipe,
    // a file still growing).
    const QByteArray bytes =
        file.size() > kMaxSessionBytes ? QByteArray() : file.read(kMaxSessionBytes + 1);
    if (file.size() > kMaxSessionBytes || bytes.size() > kMaxSessionBytes) {
        read.error = SessionTexts::tr("会话文件太大（超过 1 MB），不像是会话文件");
        return read;
    }
    return parseSession(bytes);
}

namespace {

// Unknown values are kept whole, so at any depth; keys that come to the same name are written once.
QJsonValue asWritten(const QJsonValue& value) {
    if (value.isString()) {
        return asReadBack(value.toString());
    }
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        QJsonObject rebuilt;
        for (auto it = object.begin(); it != object.end(); ++it) {
            rebuilt.insert(asReadBack(it.key()), asWritten(it.value()));
        }
        return rebuilt;
    }
    if (value.isArray()) {
        QJsonArray rebuilt;
        for (const QJsonValue& element : value.toArray()) {
            rebuilt.append(asWritten(element));
        }
        return rebuilt;
    }
    return value;
}

// The keys of `object` other than `ours`, as they will be written.
QJsonObject othersOf(const QJsonObject& object, std::initializer_list<QLatin1StringView> ours) {
    QJsonObject others;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QString key = asReadBack(it.key());
        if (std::none_of(ours.begin(), ours.end(),
                         [&key](QLatin1StringView o) { return key == o; })) {
            others.insert(key, asWritten(it.value()));
        }
    }
    return others;
}

}  // namespace

QByteArray sessionJson(const Session& session) {
    const auto optional = [](const auto& value) {
        return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
    };
    using namespace Qt::StringLiterals;
    QJsonObject all = othersOf(
        session.original, {"speaker"_L1, "site"_L1, "fieldworker"_L1, "consent"_L1, "notes"_L1});
    QJsonObject speaker =
        othersOf(session.original.value(QStringLiteral("speaker")).toObject(),
                 {"code"_L1, "name"_L1, "sex"_L1, "birth_year"_L1, "role"_L1, "languages"_L1});
    speaker[QStringLiteral("code")] = session.speaker.code;
    speaker[QStringLiteral("name")] = session.speaker.name;
    speaker[QStringLiteral("sex")] = session.speaker.sex;
    speaker[QStringLiteral("birth_year")] = optional(session.speaker.birthYear);
    speaker[QStringLiteral("role")] = session.speaker.role;
    speaker[QStringLiteral("languages")] = QJsonArray::fromStringList(session.speaker.languages);
    QJsonObject site = othersOf(session.original.value(QStringLiteral("site")).toObject(),
                                {"code"_L1, "place"_L1, "latitude"_L1, "longitude"_L1});
    site[QStringLiteral("code")] = session.site.code;
    site[QStringLiteral("place")] = session.site.place;
    site[QStringLiteral("latitude")] = optional(session.site.latitude);
    site[QStringLiteral("longitude")] = optional(session.site.longitude);
    all[QStringLiteral("speaker")] = speaker;
    all[QStringLiteral("site")] = site;
    all[QStringLiteral("fieldworker")] = session.fieldworker;
    all[QStringLiteral("consent")] = session.consent;
    all[QStringLiteral("notes")] = session.notes;
    return QJsonDocument(all).toJson(QJsonDocument::Indented);
}

bool writeSessionFile(const QString& path, const Session& session, QString* error) {
    // QSaveFile writes beside the target, flushes and renames: a crash leaves the old file.
    QSaveFile file(path);
    const QByteArray json = sessionJson(session);
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size() || !file.commit()) {
        if (error != nullptr) {
            *error = SessionTexts::tr("无法写入会话文件：%1").arg(file.errorString());
        }
        return false;
    }
    return true;
}

}  // namespace quillar
