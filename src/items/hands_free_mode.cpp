#include "items/hands_free_mode.h"

#include <QLabel>
#include <QListWidget>

#include "items/recording_marks.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/ui_texts.h"
#include "record/hands_free.h"
#include "record/recording_control.h"

namespace quillar {

namespace {

QString noticeText(HandsFree::Notice notice) {
    switch (notice) {
        case HandsFree::Notice::Off:
            return QString();
        case HandsFree::Notice::NoInput:
            return Texts::tr("自动录音：录音设备没有打开");
        case HandsFree::Notice::Prompting:
            return Texts::tr("自动录音：正在播放提示音……");
        case HandsFree::Notice::Waiting:
            return Texts::tr("自动录音：等待发音……");
        case HandsFree::Notice::MovedOn:
            return Texts::tr("自动录音：已保存，请说下一条……");
        case HandsFree::Notice::AskAgain:
            return Texts::tr("自动录音：需要重录，请再说一遍……");
        case HandsFree::Notice::Recording:
            return Texts::tr("自动录音：录音中……");
        case HandsFree::Notice::Finished:
            return Texts::tr("自动录音：所有条目都已录音，自动录音已结束");
    }
    return QString();
}

// A label: it never takes the keyboard, which stays with the item list.
void showNotice(App& app, const QString& text) {
    QLabel* label = app.form.标签_自动录音;
    setTextFitted(label, text);
    label->setVisible(!text.isEmpty());
}

void onNotice(App& app, HandsFree::Notice notice) {
    if (notice == HandsFree::Notice::Finished) {
        app.state.options.hands_free = false;  // nothing is left to listen for
    }
    showNotice(app, noticeText(notice));
}

bool skipped(const App& app, int row) {
    return ItemSkipped(app, row);
}

}  // namespace

int NextRowToRecord(App& app, int from) {
    const int n = app.form.列表框_录音文本列表->count();
    int row = from;
    for (int i = 0; i < n; ++i) {
        row = NextUnrecordedRow(app, row, false);
        if (row < 0 || row == from) {
            return -1;
        }
        if (!skipped(app, row)) {
            return row;
        }
    }
    return -1;
}

void MakeHandsFree(App& app) {
    HandsFree::Hooks hooks;
    hooks.startTake = [&app](std::optional<std::uint64_t> onset) {
        return StartHandsFreeTake(app, onset);
    };
    hooks.stopTake = [&app](std::optional<std::uint64_t> end) {
        return StopHandsFreeTake(app, end);
    };
    hooks.currentRow = [&app] {
        const QListWidget* list = app.form.列表框_录音文本列表;
        return list->currentItem() != nullptr ? list->currentRow() : -1;
    };
    hooks.advance = [&app](int row) {
        const int next = NextRowToRecord(app, row);
        if (next < 0) {
            return false;
        }
        app.form.列表框_录音文本列表->setCurrentRow(next);
        return true;
    };
    hooks.prompt = [&app](int row, std::function<void()> done) {
        if (app.state.hands_free_prompt) {
            app.state.hands_free_prompt(row, std::move(done));
        } else {
            done();
        }
    };
    hooks.notice = [&app](HandsFree::Notice notice) { onNotice(app, notice); };
    app.hands_free = std::make_shared<HandsFree>(std::move(hooks));
}

void FollowHandsFreeOption(App& app) {
    if (!app.hands_free) {
        return;
    }
    FeedHandsFree(app);
    if (app.state.options.hands_free && intervalOf(app.form.时钟_录音收尾) == 0) {
        WatchDeviceCalls(app);  // the recorder tick hears the input from now on
    }
}

void ToggleHandsFree(App& app) {
    RecordingOptions& o = app.state.options;
    if (!o.hands_free && !o.keep_input) {
        showNotice(app, Texts::tr("自动录音需要录音间保持输入打开（录音选项）"));
        return;
    }
    o.hands_free = !o.hands_free;
    FollowHandsFreeOption(app);
    if (!o.hands_free) {
        showNotice(app, QString());
    }
}

}  // namespace quillar
