#include "app/settings.h"

#include "app/recording_options_file.h"
#include "app/session_ui.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QList>
#include <QListWidget>
#include <QSaveFile>
#include <QStandardPaths>
#include <optional>

#include "items/item_file.h"
#include "items/item_list.h"
#include "items/pending_saving.h"
#include "items/recording_marks.h"
#include "items/text_encoding.h"
#include "kit/app.h"
#include "kit/item_rows.h"
#include "kit/main_form.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "naming/recording_names.h"
#include "platform/file_io.h"
#include "program_identity.h"

namespace quillar {

namespace {

QString g_programFolder;  // empty: the folder of the running program. GUI thread only.
std::optional<bool> g_programFolderWritable;

// An installed program's folder belongs to the system (/usr/bin): even where the user may write
// there (root), settings do not go among the system's programs. The tree is recognised by the
// desktop entry that installing puts beside it, whatever the prefix.
bool isInstalledBinFolder(const QString& folder) {
    return QFileInfo::exists(folder + QStringLiteral("/../share/applications/") +
                             QString::fromLatin1(kApplicationId) + QStringLiteral(".desktop"));
}

bool takesSettings(const QString& folder) {
    const bool writable = g_programFolderWritable.value_or(platform::folderWritable(folder));
    return writable && !isInstalledBinFolder(folder);
}

// The file as lines, each with its own line break (the last may have none), so that lines that
// are not edited are written back byte for byte.
struct IniLines {
    QList<QByteArray> lines;
    QByteArray eol = "\r\n";  // for new lines: the file's own style; CR LF for a new file
};

IniLines splitLines(const QByteArray& data) {
    IniLines ini;
    if (!data.contains("\r\n") && data.contains('\n')) {
        ini.eol = "\n";
    }
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        end = end < 0 ? data.size() : end + 1;
        ini.lines.append(data.sliced(start, end - start));
        start = end;
    }
    return ini;
}

QString lineText(const QByteArray& line) {
    qsizetype n = line.size();
    while (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) {
        --n;
    }
    return DecodeGb18030(line.first(n));
}

std::optional<QString> sectionOf(const QString& text) {
    const QString t = text.trimmed();
    const qsizetype close = t.indexOf(u']');
    if (!t.startsWith(u'[') || close < 0) {
        return std::nullopt;
    }
    return t.sliced(1, close - 1).trimmed();
}

bool sameName(const QString& a, const QString& b, Qt::CaseSensitivity cs = Qt::CaseInsensitive) {
    return a.compare(b, cs) == 0;
}

// Key and raw value of a "key=value" line.
std::optional<std::pair<QString, QString>> entryOf(const QString& text) {
    const qsizetype eq = text.indexOf(u'=');
    if (eq < 0 || sectionOf(text)) {
        return std::nullopt;
    }
    return std::make_pair(text.first(eq).trimmed(), text.sliced(eq + 1));
}

// Lines [first, end) of `section`'s body; first < 0 when the section is missing.
std::pair<qsizetype, qsizetype> sectionBody(const QList<QByteArray>& lines,
                                            const QString& section) {
    qsizetype first = -1;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::optional<QString> name = sectionOf(lineText(lines[i]));
        if (!name) {
            continue;
        }
        if (first >= 0) {
            return {first, i};
        }
        if (sameName(*name, section)) {
            first = i + 1;
        }
    }
    return {first, lines.size()};
}

void ensureBreakAfter(QByteArray& line, const QByteArray& eol) {
    if (!line.endsWith('\n')) {
        line += eol;
    }
}

void setEntry(IniLines& ini, const QString& section, const QString& key, const QString& value,
              Qt::CaseSensitivity keyCase = Qt::CaseInsensitive) {
    const QByteArray entry = EncodeGb18030(key + u'=' + value);
    QList<QByteArray>& lines = ini.lines;
    auto [first, end] = sectionBody(lines, section);
    if (first < 0) {
        if (!lines.isEmpty()) {
            ensureBreakAfter(lines.last(), ini.eol);
            if (!lineText(lines.last()).trimmed().isEmpty()) {
                lines.append(ini.eol);
            }
        }
        lines.append(EncodeGb18030(u'[' + section + u']') + ini.eol);
        lines.append(entry + ini.eol);
        return;
    }
    for (qsizetype i = first; i < end; ++i) {
        const auto e = entryOf(lineText(lines[i]));
        if (e && sameName(e->first, key, keyCase)) {
            const QByteArray& old = lines[i];
            const QByteArray brk = old.endsWith("\r\n") ? QByteArray("\r\n")
                                   : old.endsWith('\n') ? QByteArray("\n")
                                                        : QByteArray();
            lines[i] = entry + brk;
            return;
        }
    }
    // A new key goes after the section's last non-blank line, before any blank lines that set
    // the next section apart.
    qsizetype at = end;
    while (at > first && lineText(lines[at - 1]).trimmed().isEmpty()) {
        --at;
    }
    ensureBreakAfter(lines[at - 1], ini.eol);
    lines.insert(at, entry + ini.eol);
}

QString readEntry(const QString& path, const QString& section, const QString& key,
                  Qt::CaseSensitivity keyCase) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    const IniLines ini = splitLines(file.readAll());
    const auto [first, end] = sectionBody(ini.lines, section);
    for (qsizetype i = std::max<qsizetype>(first, 0); first >= 0 && i < end; ++i) {
        const auto e = entryOf(lineText(ini.lines[i]));
        if (!e || !sameName(e->first, key, keyCase)) {
            continue;
        }
        QString value = e->second.trimmed();
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
            value.back() == value.front()) {
            value = value.sliced(1, value.size() - 2);
        }
        return value;
    }
    return QString();
}

bool writeEntries(const QString& path, const QString& section,
                  const std::vector<std::pair<QString, QString>>& values,
                  Qt::CaseSensitivity keyCase) {
    IniLines ini;
    QFile existing(path);
    if (existing.exists()) {
        // A file that is there but cannot be read must not be replaced by the new keys alone.
        if (!existing.open(QIODevice::ReadOnly)) {
            return false;
        }
        ini = splitLines(existing.readAll());
        existing.close();
    }
    for (const auto& [key, value] : values) {
        setEntry(ini, section, key, value, keyCase);
    }
    QSaveFile out(path);
    // Where no temporary file can be made beside it, the file is written in place, as the
    // platform's profile functions do.
    out.setDirectWriteFallback(true);
    if (!out.open(QIODevice::WriteOnly)) {
        return false;
    }
    for (const QByteArray& line : ini.lines) {
        if (out.write(line) != line.size()) {
            out.cancelWriting();
            return false;
        }
    }
    return out.commit();
}

// An item file's path as a key: the characters that would end the key or read as a section are
// escaped, and so are blanks at its two ends, which reading trims.
QString positionKey(const QString& itemFile) {
    QString key = QFileInfo(itemFile).absoluteFilePath();
    key.replace(u'%', QStringLiteral("%25"))
        .replace(u'=', QStringLiteral("%3D"))
        .replace(u'[', QStringLiteral("%5B"))
        .replace(u';', QStringLiteral("%3B"));
    if (key.startsWith(u' ')) {
        key.replace(0, 1, QStringLiteral("%20"));
    }
    if (key.endsWith(u' ')) {
        key.chop(1);
        key += QStringLiteral("%20");
    }
    return key;
}

}  // namespace

QString SettingsFilePath() {
    const QString folder =
        g_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : g_programFolder;
    const QString beside = folder + QStringLiteral("/sys.ini");
    if (QFileInfo::exists(beside) || takesSettings(folder)) {
        return beside;
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quillar/sys.ini");
}

void SetSettingsFolder(const QString& folder, std::optional<bool> writable) {
    g_programFolder = folder;
    g_programFolderWritable = folder.isEmpty() ? std::nullopt : writable;
}

QString ReadProfileString(const QString& path, const QString& section, const QString& key) {
    return readEntry(path, section, key, Qt::CaseInsensitive);
}

bool WriteProfileStrings(const QString& path, const QString& section,
                         const std::vector<std::pair<QString, QString>>& values) {
    return writeEntries(path, section, values, Qt::CaseInsensitive);
}

int ReadItemPosition(const QString& iniPath, const QString& itemFile, QString* id) {
    const QString value = readEntry(iniPath, QString::fromUtf16(kPositionSection),
                                    positionKey(itemFile), Qt::CaseSensitive)
                              .trimmed();
    const qsizetype space = value.indexOf(u' ');
    if (id != nullptr) {
        *id = space < 0 ? QString() : value.sliced(space + 1);
    }
    bool ok = false;
    const int row = (space < 0 ? value : value.first(space)).toInt(&ok);
    return ok && row >= 0 ? row : -1;
}

bool WriteItemPosition(const QString& iniPath, const QString& itemFile, int row,
                       const QString& id) {
    // An id of blanks or with a line break could not be read back as written.
    const QString kept = id.simplified() == id ? id : QString();
    return writeEntries(
        iniPath, QString::fromUtf16(kPositionSection),
        {{positionKey(itemFile),
          kept.isEmpty() ? QString::number(row) : QString::number(row) + u' ' + kept}},
        Qt::CaseSensitive);
}

void RememberItemPosition(App& app) {
    const QString itemFile = app.form.编辑框_录音文本源路径->text();
    const int row = app.form.列表框_录音文本列表->currentRow();
    if (itemFile.isEmpty() || row < 0) {
        return;
    }
    const QString id = ItemEntryOfRow(app, row).id;
    // sys.ini is only rewritten when the position moved.
    const QString path = SettingsFilePath();
    QString keptId;
    if (ReadItemPosition(path, itemFile, &keptId) != row || keptId != id) {
        WriteItemPosition(path, itemFile, row, id);
    }
}

void ReadSettings(App& app) {
    const QString path = SettingsFilePath();
    const QString section = QString::fromUtf16(kSettingsSection);
    app.form.编辑框_保存路径->setText(
        ReadProfileString(path, section, QString::fromUtf16(kSaveFolderKey)));
    app.form.编辑框_录音文本源路径->setText(
        ReadProfileString(path, section, QString::fromUtf16(kItemFileKey)));
    // The program starts from the options' defaults (main); a test from its own.
    app.state.options = ReadRecordingOptions(path, app.state.options);
}

void ChooseSaveFolder(App& app) {
    QLineEdit* box = app.form.编辑框_保存路径;
    const QString folder = app.ui.chooseFolder(&app.form, Texts::tr("选择文件夹"), box->text());
    // Cancelling keeps the folder: an emptied box would send the next recording nowhere.
    if (!folder.isEmpty()) {
        // A running take belongs to the folder it began in: it is saved there first.
        StopAndSaveRunningTake(app);
        box->setText(folder);
        LoadFolderSession(app);
        RefreshItemMarks(app);
        SavePendingTakes(app);
    }
}

void ChooseItemFile(App& app) {
    if (!app.ui.openFile(&app.form, app.form.通用对话框2)) {
        return;
    }
    // A running take belongs to the list it began in: it is saved to its item first.
    StopAndSaveRunningTake(app);
    RememberItemPosition(app);  // the file left now is picked up there when it comes back
    // The box names the new file once it is loaded; a file refused leaves it and the list as
    // they were.
    const QString itemFile = app.form.通用对话框2.fileName;
    QString id;
    const int row = ReadItemPosition(SettingsFilePath(), itemFile, &id);
    LoadItemFile(app, itemFile, std::max(0, row), id);
}

void SaveSettings(App& app) {
    const QString path = SettingsFilePath();
    // The configuration folder may not exist yet; the program's folder always does.
    QDir().mkpath(QFileInfo(path).absolutePath());
    const bool saved = WriteProfileStrings(
        path, QString::fromUtf16(kSettingsSection),
        {{QString::fromUtf16(kSaveFolderKey), app.form.编辑框_保存路径->text()},
         {QString::fromUtf16(kItemFileKey), app.form.编辑框_录音文本源路径->text()}});
    if (saved) {
        app.ui.message(&app.form, QString(), Texts::tr("配置信息保存成功！"), MessageIcon::None);
    } else {
        app.ui.message(&app.form, Texts::tr("系统提示"),
                       Texts::tr("配置信息保存失败！无法写入设置文件：\n%1")
                           .arg(ElideMiddle(QDir::toNativeSeparators(path))),
                       MessageIcon::Error);
    }
}

}  // namespace quillar
