// The working loop's costs: loading a 100,000-line item file into the list with its first item
// shown (UTF-8 and GBK), the decoding alone, and moving the selection down one item; and the
// same list over a folder holding recordings of every other item (50,000) with a take log of
// 50,000 lines: the load with every mark and the count, and marking again alone.
#include <benchmark/benchmark.h>

#include "bench_application.h"

#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>

#include "items/item_file.h"
#include "items/item_list.h"
#include "items/recording_marks.h"
#include "items/text_encoding.h"
#include "kit/item_marks.h"
#include "record/take_log.h"
#include "support/test_app.h"

namespace {

using namespace Qt::StringLiterals;
using quillar::test::TestApp;

constexpr int kLines = 100000;

using quillar::bench::Application;

// A word list as fieldworkers make them: a number, a few Chinese characters, a gloss.
QString wordList() {
    static const char16_t* const words[] = {u"爸爸", u"妈妈", u"太阳",   u"月亮", u"吃饭",
                                            u"喝水", u"一",   u"二十三", u"走路", u"睡觉"};
    QString text;
    text.reserve(kLines * 16);
    for (int i = 0; i < kLines; ++i) {
        text += QString::number(i + 1) + u' ' + QString::fromUtf16(words[i % 10]) + u" word\r\n"_s;
    }
    return text;
}

struct Fixture {
    QTemporaryDir dir;
    QString utf8Path;
    QString gbkPath;
    Fixture() {
        Application();
        const QString text = wordList();
        utf8Path = write(u"utf8.txt"_s, text.toUtf8());
        gbkPath = write(u"gbk.txt"_s, quillar::EncodeGb18030(text));
    }
    QString write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    }
};

Fixture& Files() {
    static Fixture fixture;
    return fixture;
}

void LoadIntoShownList(benchmark::State& state, const QString& path) {
    TestApp t;
    t.form.编辑框_保存路径->setText(Files().dir.path());
    t.form.show();
    QApplication::processEvents();
    for (auto _ : state) {
        quillar::LoadItemFile(t.app, path);
        QApplication::processEvents();  // the list paints its first rows
        benchmark::DoNotOptimize(t.form.编辑框_当前录音文本->text());
    }
    if (t.form.列表框_录音文本列表->count() != kLines) {
        state.SkipWithError("not every line became an item");
    }
}

void BM_LoadItemFileUtf8(benchmark::State& state) {
    LoadIntoShownList(state, Files().utf8Path);
}
BENCHMARK(BM_LoadItemFileUtf8)->Unit(benchmark::kMillisecond);

void BM_LoadItemFileGbk(benchmark::State& state) {
    LoadIntoShownList(state, Files().gbkPath);
}
BENCHMARK(BM_LoadItemFileGbk)->Unit(benchmark::kMillisecond);

void BM_ReadItemFileGbk(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(quillar::ReadItemFile(Files().gbkPath));
    }
}
BENCHMARK(BM_ReadItemFileGbk)->Unit(benchmark::kMillisecond);

void BM_ReadItemFileUtf8(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(quillar::ReadItemFile(Files().utf8Path));
    }
}
BENCHMARK(BM_ReadItemFileUtf8)->Unit(benchmark::kMillisecond);

// One Down key on the list: the selection moves and the new item, its path and the existence
// test of its recording are shown.
void BM_KeyDownThroughTheList(benchmark::State& state) {
    TestApp t;
    t.form.编辑框_保存路径->setText(Files().dir.path());
    t.form.show();
    quillar::LoadItemFile(t.app, Files().utf8Path);
    QListWidget* list = t.form.列表框_录音文本列表;
    QApplication::processEvents();
    for (auto _ : state) {
        if (list->currentRow() == list->count() - 1) {
            list->setCurrentRow(0);
        }
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(list, &down);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_KeyDownThroughTheList)->Unit(benchmark::kMicrosecond);

// A folder with the recordings of every other item of the list, and their take log.
struct RecordedFolder {
    QTemporaryDir dir;
    RecordedFolder() {
        const QStringList items = quillar::ReadItemFile(Files().utf8Path);
        QByteArray log = quillar::TakeLogHeader();
        quillar::TakeLogEntry e;
        e.time = QDateTime::currentDateTime();
        e.how = quillar::kTakeHowEnter;
        for (qsizetype i = 0; i < items.size(); i += 2) {
            const QString path = quillar::RecordingPathOf(dir.path(), items[i]);
            QFile(path).open(QIODevice::WriteOnly);
            e.item = items[i];
            e.file = path;
            e.clipped = i % 10 == 0;
            // Every take judged, as the window logs them now.
            e.judged = true;
            e.judgement.noiseDbfs = -62.5;
            e.judgement.snrDb = 48.1;
            e.judgement.problems = e.clipped
                                       ? quillar::quality::kClipped | quillar::quality::kCutEnd
                                       : quillar::quality::Problem{0};
            quillar::quality::SettleVerdict(e.judgement);
            log += quillar::TakeLogLine(e);
        }
        QFile f(dir.filePath(quillar::kTakeLogName));
        f.open(QIODevice::WriteOnly);
        f.write(log);
    }
};

RecordedFolder& Recorded() {
    static RecordedFolder folder;
    return folder;
}

void checkMarks(benchmark::State& state, TestApp& t) {
    if (t.form.条目标记->recordedCount() != kLines / 2) {
        state.SkipWithError("not every recording was marked");
    }
}

// The window over the folder of recordings, shown and settled, for the marks benchmarks. The
// application and the files are made first, so each of these runs alone as well.
struct WindowOverRecordings {
    const bool filesMade = (Files(), Recorded(), true);
    TestApp t;
    WindowOverRecordings() {
        t.form.编辑框_保存路径->setText(Recorded().dir.path());
        t.form.show();
        QApplication::processEvents();
    }
};

// Load up to the first item shown: the marks are queued behind it and set outside the timing.
void BM_LoadItemFileWithRecordingsFirstItem(benchmark::State& state) {
    WindowOverRecordings w;
    TestApp& t = w.t;
    for (auto _ : state) {
        quillar::LoadItemFile(t.app, Files().utf8Path);
        benchmark::DoNotOptimize(t.form.编辑框_当前录音文本->text());
        state.PauseTiming();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    checkMarks(state, t);
}
BENCHMARK(BM_LoadItemFileWithRecordingsFirstItem)->Unit(benchmark::kMillisecond);

// Load, first item shown and every mark set, as the window paints it.
void BM_LoadItemFileWithRecordings(benchmark::State& state) {
    WindowOverRecordings w;
    TestApp& t = w.t;
    for (auto _ : state) {
        quillar::LoadItemFile(t.app, Files().utf8Path);
        QApplication::processEvents();
        benchmark::DoNotOptimize(t.form.编辑框_当前录音文本->text());
    }
    checkMarks(state, t);
}
BENCHMARK(BM_LoadItemFileWithRecordings)->Unit(benchmark::kMillisecond);

// Marking again alone (after a save to a chosen file or a new folder): one listing, the log.
void BM_RefreshItemMarks(benchmark::State& state) {
    WindowOverRecordings w;
    TestApp& t = w.t;
    quillar::LoadItemFile(t.app, Files().utf8Path);
    QApplication::processEvents();
    for (auto _ : state) {
        quillar::RefreshItemMarks(t.app);
        QApplication::processEvents();
    }
    checkMarks(state, t);
}
BENCHMARK(BM_RefreshItemMarks)->Unit(benchmark::kMillisecond);

// A 50 MB word list (1.2 million sentence items) opened over a list of ordinary size: the longest
// single turn of the event loop while it is read and put into the shown list, the time the window
// cannot repaint.
void BM_VeryLargeListLongestTurn(benchmark::State& state) {
    Application();
    QTemporaryDir dir;
    QByteArray big;
    constexpr int kBigLines = 1'200'000;
    big.reserve(kBigLines * 70);
    for (int i = 0; i < kBigLines; ++i) {
        big += "第" + QByteArray::number(i) + "条：这是一个相当长的句子条目，用来测试\r\n";
    }
    QFile f(dir.filePath(u"big.txt"_s));
    f.open(QIODevice::WriteOnly);
    f.write(big);
    f.close();
    TestApp t;
    t.form.show();
    QApplication::processEvents();
    for (auto _ : state) {
        // Over a list of ordinary size, as a fieldworker opens one (not measured: dropping the
        // 1.2 million items of the round before is one long turn of its own).
        quillar::LoadItemFile(t.app, Files().utf8Path);
        QApplication::processEvents();
        using Clock = std::chrono::steady_clock;
        Clock::duration longest{};
        Clock::time_point turn = Clock::now();
        quillar::LoadItemFile(t.app, f.fileName());
        longest = Clock::now() - turn;
        while (quillar::ItemFileLoading(t.app)) {
            turn = Clock::now();
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            longest = std::max(longest, Clock::now() - turn);
        }
        state.SetIterationTime(std::chrono::duration<double>(longest).count());
    }
    if (t.form.列表框_录音文本列表->count() != kBigLines) {
        state.SkipWithError("not every line became an item");
    }
}
BENCHMARK(BM_VeryLargeListLongestTurn)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

}  // namespace
