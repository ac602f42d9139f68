#include "items/pending_saving.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>

#include "items/item_list.h"
#include "items/recording_marks.h"
#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/queued_calls.h"
#include "kit/ui_texts.h"
#include "naming/recording_names.h"
#include "record/clip_check.h"
#include "record/pending_takes.h"
#include "record/pending_writer.h"
#include "record/recorder.h"
#include "record/take.h"
#include "record/take_info.h"
#include "record/take_journal.h"
#include "record/take_log.h"
#include "record/take_logging.h"
#include "record/take_metadata.h"
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
    // No looks once the window is closing (the writer is gone).
    setInterval(app.form.时钟_暂存, n > 0 && app.pending_writer ? kPendingCheckMs : 0);
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

namespace {

// Set while writes are handed to the writer, so that an inline writer's completion, which runs
// inside submit(), leaves the next take to the loop instead of starting it within itself.
bool g_handingOver = false;

void finishWrite(App& app, PendingWrite& write);

// Hands the writer the next take of the round, unless one is in flight; an inline writer gets
// them all, one after the other.
void handOver(App& app) {
    if (g_handingOver || !app.pending_writer) {
        return;
    }
    g_handingOver = true;
    PendingTakes& pending = pendingOf(app);
    while (const std::shared_ptr<PendingWrite> write =
               pending.nextWrite(app.form.编辑框_保存路径->text(), SteadyMs())) {
        // The job owns the write: a closing window can drop the completion without a thing of
        // the window's being touched.
        app.pending_writer->submit(
            [write, metadata = TakeMetadataOf(write->info)] {
                PendingTakes::write(*write, metadata);
            },
            [&app, write] { finishWrite(app, *write); });
        if (pending.writing()) {
            break;  // its completion hands over the next
        }
    }
    g_handingOver = false;
}

void finishWrite(App& app, PendingWrite& write) {
    if (const std::optional<SavedPendingTake> saved = pendingOf(app).finish(write, SteadyMs())) {
        if (saved->described) {
            LogDescribedTake(app, *saved->described, saved->path, saved->info, saved->replaced,
                             kTakeHowPending);
        }
        RefreshItemMarks(app);
        ShowCurrentItemRecording(app);
    }
    handOver(app);
    showPending(app);
}

}  // namespace

void MakePendingWriter(App& app) {
    if (!app.pending_writer) {
        app.pending_writer = std::make_shared<PendingWriter>(
            [&app](std::function<void()> fn) { app.form.queuedCalls->post(std::move(fn)); });
    }
}

void SavePendingTakes(App& app, bool periodic) {
    if (PendingTakeCount(app) == 0 || !app.pending_writer) {
        showPending(app);
        return;
    }
    PendingTakes& pending = pendingOf(app);
    pending.keepInMemoryOnesIn(JournalFolder());
    pending.askRound(!periodic);
    handOver(app);
    showPending(app);
}

void LeavePendingTakes(App& app) {
    setInterval(app.form.时钟_暂存, 0);
    // A write in flight is not waited for: its take stays pending on disk for the next start.
    app.pending_writer.reset();
}

void ResumePendingTakes(App& app) {
    if (pendingOf(app).claimLeftOver(JournalFolder()) > 0) {
        SavePendingTakes(app);
    }
}

}  // namespace quillar
