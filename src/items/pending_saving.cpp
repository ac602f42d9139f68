#include "items/pending_saving.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>

#include "items/item_list.h"
#include "items/recording_marks.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/ui_texts.h"
#include "record/clip_check.h"
#include "record/pending_takes.h"
#include "record/recorder.h"
#include "naming/recording_names.h"
#include "record/take.h"
#include "record/take_info.h"
#include "record/take_journal.h"
#include "record/take_log.h"
#include "record/take_logging.h"
#include "record/take_safety.h"

namespace quillar {

namespace {

// Often enough that a stick put back is noticed while the speaker says the next word; each look
// is one access() per waiting take's folder.
constexpr int kPendingCheckMs = 3000;

PendingTakes& pendingOf(App& app) {
    if (!app.state.pending_takes) {
        app.state.pending_takes = std::make_shared<PendingTakes>();
    }
    return *app.state.pending_takes;
}

QString homeShortened(const QString& path) {
    const QString home = QDir::homePath();
    return path.startsWith(home + u'/') ? u'~' + path.sliced(home.size()) : path;
}

void showPending(App& app) {
    const int n = PendingTakeCount(app);
    QLabel* notice = app.form.标签_暂存提示;
    setInterval(app.form.时钟_暂存, n > 0 ? kPendingCheckMs : 0);
    if (n == 0) {
        notice->hide();
        return;
    }
    notice->setWordWrap(true);
    notice->setText(Texts::tr(" %1 条录音尚未保存，文件夹可写时自动保存\n 已暂存于 %2")
                        .arg(n)
                        .arg(ElideMiddle(homeShortened(JournalFolder()), 48)));
    notice->show();
    notice->raise();
}

}  // namespace

int PendingTakeCount(const App& app) {
    return app.state.pending_takes ? static_cast<int>(app.state.pending_takes->count()) : 0;
}

PendingKept KeepTakePending(App& app, Take& take) {
    // Only a take the Enter loop owns waits for its item; one begun and stopped with 按钮1 is the
    // user's to save, in memory as before.
    if (!take.savesToItem()) {
        return PendingKept::No;
    }
    PendingTakes& pending = pendingOf(app);
    PendingKept kept = PendingKept::OnDisk;
    if (TakeJournal* journal = take.journal(); journal != nullptr && pending.add(*journal)) {
        // On disk now: no longer only in memory, and the next recording cannot drop it.
        take.journalHandedOver();
    } else if (!pending.addImage(take.info(), take.audio(), JournalFolder())) {
        kept = PendingKept::InMemory;
    } else {
        take.dropJournal();  // a journal that could not be handed over: the copy stands for it
    }
    showPending(app);
    return kept;
}

int PendingInMemoryCount(const App& app) {
    return app.state.pending_takes ? static_cast<int>(app.state.pending_takes->inMemory()) : 0;
}

void SavePendingTakes(App& app, bool periodic) {
    if (PendingTakeCount(app) == 0) {
        showPending(app);
        return;
    }
    const std::vector<SavedPendingTake> saved = pendingOf(app).saveWhatCan(
        app.form.编辑框_保存路径->text(), SteadyMs(), !periodic, JournalFolder());
    for (const SavedPendingTake& take : saved) {
        LogTakeFile(app, take.path, take.info.item, take.info.device, take.replaced,
                    kTakeHowPending);
    }
    if (!saved.empty()) {
        RefreshItemMarks(app);
        ShowCurrentItemRecording(app);
    }
    showPending(app);
}

void ResumePendingTakes(App& app) {
    if (pendingOf(app).claimLeftOver(JournalFolder()) > 0) {
        SavePendingTakes(app);
    }
}

}  // namespace quillar
