#include "items/item_prompt.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>

#include "kit/app.h"
#include "kit/item_rows.h"
#include "kit/main_form.h"
#include "kit/ui_texts.h"
#include "playback/file_playback.h"
#include "playback/prompt_playback.h"

namespace quillar {

namespace {

using namespace Qt::StringLiterals;

const LaterText kNoPrompt{QT_TRANSLATE_NOOP("Quillar", "这个条目没有提示音")};
const LaterText kPromptMissing{QT_TRANSLATE_NOOP("Quillar", "提示音文件不存在")};
const LaterText kPromptUnplayable{QT_TRANSLATE_NOOP("Quillar", "提示音无法播放")};

bool isFile(const QString& path) {
    return QFileInfo(path).isFile();
}

// `name` + ".wav" in `folder`, when it is a file there. A name that would reach out of the folder
// is none.
QString promptIn(const QDir& folder, const QString& name) {
    if (name.isEmpty() || name.contains(u'/') || name == u"."_s || name == u".."_s) {
        return QString();
    }
    for (const QString& ext : {u".wav"_s, u".WAV"_s}) {
        const QString path = folder.filePath(name + ext);
        if (isFile(path)) {
            return path;
        }
    }
    return QString();
}

QString listPathOf(const App& app) {
    return app.form.编辑框_录音文本源路径->text();
}

}  // namespace

PromptLookup FindPrompt(const QString& listPath, const ItemEntry& entry) {
    if (listPath.isEmpty()) {
        return {};
    }
    const QDir listFolder = QFileInfo(listPath).absoluteDir();
    PromptLookup found;
    if (!entry.prompt.isEmpty()) {
        QString named = entry.prompt;
        named.replace(u'\\', u'/');
        const QString path = QDir::cleanPath(listFolder.filePath(named));
        if (isFile(path)) {
            found.path = path;
        } else {
            found.missing = path;
        }
        return found;
    }
    const QDir folder(listFolder.filePath(QString::fromUtf16(kPromptFolderName)));
    found.path = promptIn(folder, entry.id.trimmed());
    if (found.path.isEmpty()) {
        found.path = promptIn(folder, entry.item);
    }
    return found;
}

QString PromptOfRow(const App& app, int row) {
    if (row < 0 || row >= app.form.列表框_录音文本列表->count()) {
        return QString();
    }
    return FindPrompt(listPathOf(app), ItemEntryOfRow(app, row)).path;
}

void PlayCurrentPrompt(App& app) {
    if (app.state.recording_state != RecordingState::Idle) {
        return;
    }
    const int row = app.form.列表框_录音文本列表->currentRow();
    if (row < 0) {
        return;  // no list, no item
    }
    const PromptLookup prompt = FindPrompt(listPathOf(app), ItemEntryOfRow(app, row));
    if (!prompt.missing.isEmpty()) {
        ShowPlaybackNotice(app, kPromptMissing, QDir::toNativeSeparators(prompt.missing));
        return;
    }
    if (prompt.path.isEmpty()) {
        ShowPlaybackNotice(app, kNoPrompt);
        return;
    }
    QString why;
    if (!PlayPromptFile(app, prompt.path, nullptr, &why)) {
        ShowPlaybackNotice(app, kPromptUnplayable,
                           QDir::toNativeSeparators(prompt.path) + u'\n' + why);
    }
}

void PlayPromptThen(App& app, int row, std::function<void()> then) {
    const PromptLookup prompt = row >= 0 && row < app.form.列表框_录音文本列表->count()
                                    ? FindPrompt(listPathOf(app), ItemEntryOfRow(app, row))
                                    : PromptLookup{};
    if (!prompt.missing.isEmpty()) {
        // Named and not there: said, so a list whose prompts moved is noticed at its first item.
        ShowPlaybackNotice(app, kPromptMissing, QDir::toNativeSeparators(prompt.missing));
    } else if (!prompt.path.isEmpty()) {
        QString why;
        if (PlayPromptFile(app, prompt.path, then, &why)) {
            return;
        }
        ShowPlaybackNotice(app, kPromptUnplayable,
                           QDir::toNativeSeparators(prompt.path) + u'\n' + why);
    }
    if (then) {
        then();
    }
}

}  // namespace quillar
