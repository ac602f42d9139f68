// Prompts for speakers who cannot read: where an item's prompt comes from, F10 between takes and
// during one, and the hands-free mode's wait for a prompt's end and the room's settling.
#include "items/item_prompt.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <cmath>
#include <functional>

#include "app/settings.h"
#include "app/startup.h"
#include "items/item_file.h"
#include "kit/recording_options.h"
#include "playback/file_playback.h"
#include "playback/prompt_playback.h"
#include "playback/wav_bytes.h"
#include "record/recording_control.h"
#include "support/test_app.h"

// Entries and WAV fields name only what a case needs.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace quillar::test {
namespace {

using namespace Qt::StringLiterals;

// Frames of the test prompts: 0.1 s at 44100 Hz, 16-bit mono, every prompt its own tone.
constexpr int kPromptFrames = 4410;

QByteArray promptWav(int tone) {
    return wavBytes(WavFields{.channels = 1}, pcm16(1, kPromptFrames, [tone](int, int i) {
                        return int(8000 * std::sin(0.01 * tone * i));
                    }));
}

QString put(const QString& path, const QByteArray& bytes) {
    EXPECT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    EXPECT_TRUE(writeFile(path, bytes));
    return path;
}

TEST(ItemPrompt, WhereAPromptComesFrom) {
    QTemporaryDir dir;
    const QString list = dir.filePath(u"词表/list.tsv"_s);
    const QString folder = dir.filePath(u"词表/提示音/"_s);
    const QString byId = put(folder + u"0001.wav"_s, promptWav(1));
    const QString byItem = put(folder + u"妈妈.wav"_s, promptWav(2));
    const QString upper = put(folder + u"0003.WAV"_s, promptWav(3));
    const QString inColumn = put(dir.filePath(u"词表/声音/a b.wav"_s), promptWav(4));
    const QString elsewhere = put(dir.filePath(u"别处/c.wav"_s), promptWav(5));
    put(folder + u"爸爸.wav"_s, promptWav(6));
    const struct {
        const char* name;
        ItemEntry entry;
        QString path;
        QString missing;
    } cases[] = {
        {"column, relative to the list", {.item = u"x"_s, .prompt = u"声音/a b.wav"_s}, inColumn},
        {"column, Windows separators", {.item = u"x"_s, .prompt = u"声音\\a b.wav"_s}, inColumn},
        {"column, through ..", {.item = u"x"_s, .prompt = u"../别处/c.wav"_s}, elsewhere},
        {"column, absolute", {.item = u"x"_s, .prompt = elsewhere}, elsewhere},
        {"column naming a missing file is no prompt, though the folder has one",
         {.id = u"0001"_s, .item = u"爸爸"_s, .prompt = u"声音/gone.wav"_s},
         {},
         dir.filePath(u"词表/声音/gone.wav"_s)},
        {"empty cell: the folder by id", {.id = u"0001"_s, .item = u"爸爸"_s}, byId},
        {"the id before the item", {.id = u"0001"_s, .item = u"妈妈"_s}, byId},
        {"by item when no file has the id", {.id = u"0002"_s, .item = u"妈妈"_s}, byItem},
        {"a plain list's item", {.item = u"妈妈"_s}, byItem},
        {".WAV in capitals", {.id = u"0003"_s, .item = u"z"_s}, upper},
        {"none", {.id = u"0009"_s, .item = u"哥哥"_s}, {}},
        {"an item with a slash reaches no other folder", {.item = u"../提示音/妈妈"_s}, {}},
        {"a blank item", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PromptLookup found = FindPrompt(list, c.entry);
        EXPECT_EQ(found.path, c.path);
        EXPECT_EQ(found.missing, c.missing);
    }
    EXPECT_EQ(FindPrompt(QString(), {.item = u"妈妈"_s}).path, QString()) << "no list, no folder";
}

// A shown window with an output, the input kept open and a table whose rows have: 0 a prompt in
// the column, 1 one in the folder by id, 2 none, 3 a column naming a missing file, 4 a file
// that is no WAV.
class PromptWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        SetSettingsFolder(dir.path());
        OnMainWindowCreated(t.app);
        folder = dir.filePath(u"录音"_s);
        ASSERT_TRUE(QDir().mkpath(folder));
        t.form.编辑框_保存路径->setText(folder);
        put(dir.filePath(u"prompts/p1.wav"_s), column);
        put(dir.filePath(u"提示音/0002.wav"_s), byId);
        put(dir.filePath(u"提示音/0005.wav"_s), "not a sound");
        SetPromptClock(t.app, [this] { return now; });
    }
    void TearDown() override {
        OnMainWindowDestroyed(t.app);
        SetSettingsFolder(QString());
    }

    void loadTable(const QString& nameTemplate = u"{item}"_s) {
        t.app.state.options.name_template = nameTemplate;
        const QString path = put(dir.filePath(u"list.txt"_s),
                                 "编号\t条目\tPrompt\n0001\t爸爸\tprompts/p1.wav\n0002\t妈妈\t\n"
                                 "0003\t哥哥\t\n0004\t姐姐\tprompts/gone.wav\n0005\t弟弟\t\n");
        LoadItemFile(t.app, path);
        ASSERT_EQ(list()->count(), 5);
    }
    void keepInputOpen() {
        t.app.state.options = RecordingOptions();  // the input kept open, 300 ms either side
        KeepInputOpen(t.app);
        t.sim.pumpCapture(44100);
    }
    QListWidget* list() { return t.form.列表框_录音文本列表; }
    void press(int key) {
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(list(), &event);
    }
    // What the prompt stream played once the output has had the whole of it.
    QByteArray playOut() {
        const audio::Handle stream = PromptStream(t.app);
        EXPECT_NE(stream, 0u);
        t.sim.pumpOutput(kPromptFrames);
        PollPrompt(t.app);
        const std::vector<std::uint8_t> played = t.sim.playedBytes(stream);
        return QByteArray(reinterpret_cast<const char*>(played.data()), qsizetype(played.size()));
    }
    static QByteArray samplesOf(const QByteArray& wav) { return wav.mid(44); }
    QString notice() const {
        return t.form.标签_播放提示->isHidden() ? QString() : t.form.标签_播放提示->text();
    }

    QTemporaryDir dir;
    TestApp t;
    QString folder;
    std::int64_t now = 1000;  // the prompts' clock, ms
    const QByteArray column = promptWav(7);
    const QByteArray byId = promptWav(9);
};

TEST_F(PromptWindow, TheColumnIsRecognisedAndPromptsAreFoundWhateverTheNameTemplate) {
    for (const QString& nameTemplate : {u"{item}"_s, u"{id}{item}"_s, u"{id}"_s}) {
        SCOPED_TRACE(nameTemplate.toStdString());
        loadTable(nameTemplate);
        ASSERT_TRUE(t.app.state.item_table);
        EXPECT_TRUE(t.app.state.item_table->extraColumns.isEmpty()) << "no extra column";
        EXPECT_EQ(PromptOfRow(t.app, 0), dir.filePath(u"prompts/p1.wav"_s));
        EXPECT_EQ(PromptOfRow(t.app, 1), dir.filePath(u"提示音/0002.wav"_s));
        EXPECT_EQ(PromptOfRow(t.app, 2), QString());
        EXPECT_EQ(PromptOfRow(t.app, 3), QString());
        EXPECT_EQ(PromptOfRow(t.app, 5), QString()) << "no such row";
        EXPECT_EQ(PromptOfRow(t.app, -1), QString());
    }
}

TEST_F(PromptWindow, F10PlaysTheCurrentItemsPromptOnTheOutputBetweenTakes) {
    loadTable();
    const struct {
        int row;
        QByteArray played;  // empty: nothing plays
        QString notice;
    } cases[] = {
        {0, samplesOf(column), {}},       {1, samplesOf(byId), {}},
        {2, {}, u"这个条目没有提示音"_s}, {3, {}, u"提示音文件不存在"_s},
        {4, {}, u"提示音无法播放"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        list()->setCurrentRow(c.row);
        t.form.标签_播放提示->hide();
        press(Qt::Key_F10);
        if (c.played.isEmpty()) {
            EXPECT_EQ(PromptStream(t.app), 0u);
            EXPECT_EQ(t.sim.playingStreamCount(), 0);
        } else {
            EXPECT_EQ(playOut(), c.played);
        }
        EXPECT_EQ(notice(), c.notice);
        EXPECT_TRUE(t.ui.messages.empty()) << "never a box";
    }
}

TEST_F(PromptWindow, F10DuringATakeDoesNothing) {
    keepInputOpen();
    loadTable();
    const std::function<void()> recording = [] {};
    const std::function<void()> paused = [this] { t.form.按钮4->click(); };
    const std::function<void()> closing = [this] {
        press(Qt::Key_Return);
        ASSERT_TRUE(TakeClosing(t.app));
    };
    for (const auto& phase : {recording, paused, closing}) {
        press(Qt::Key_Return);
        t.sim.pumpCaptureBlock();
        ASSERT_TRUE(TakeRunning(t.app));
        phase();
        t.form.标签_播放提示->hide();
        press(Qt::Key_F10);
        EXPECT_EQ(PromptStream(t.app), 0u);
        EXPECT_FALSE(PromptActive(t.app));
        EXPECT_EQ(t.sim.playingStreamCount(), 0);
        EXPECT_TRUE(t.form.标签_播放提示->isHidden());
        if (TakeRunning(t.app)) {
            press(Qt::Key_Return);
        }
        t.sim.pumpCapture(44100);
        OnRecorderTick(t.app);
        ASSERT_FALSE(TakeRunning(t.app) || TakeClosing(t.app));
    }
    press(Qt::Key_F10);  // between takes again
    EXPECT_EQ(playOut(), samplesOf(column));
}

TEST_F(PromptWindow, TheWaitEndsThreeHundredMillisecondsAfterThePromptNeverBefore) {
    loadTable();
    int done = 0;
    ASSERT_TRUE(t.app.state.hands_free_prompt) << "set at start-up";
    t.app.state.hands_free_prompt(0, [&done] { ++done; });
    ASSERT_NE(PromptStream(t.app), 0u);
    // Halfway through, however long the clock runs, the prompt still plays.
    t.sim.pumpOutput(kPromptFrames / 2);
    now += 5000;
    PollPrompt(t.app);
    EXPECT_EQ(done, 0);
    t.sim.pumpOutput(kPromptFrames / 2);
    PollPrompt(t.app);  // the end seen at `now`
    EXPECT_EQ(done, 0);
    EXPECT_EQ(PromptStream(t.app), 0u) << "the stream is freed at its end";
    EXPECT_TRUE(PromptActive(t.app)) << "settling";
    now += kPromptSettleMs - 1;
    PollPrompt(t.app);
    EXPECT_EQ(done, 0);
    now += 1;
    PollPrompt(t.app);
    EXPECT_EQ(done, 1);
    EXPECT_FALSE(PromptActive(t.app));
    now += 1000;
    PollPrompt(t.app);
    EXPECT_EQ(done, 1) << "once";
}

TEST_F(PromptWindow, AnItemWithoutAPlayablePromptIsListenedForAtOnce) {
    loadTable();
    for (const int row : {2, 3, 4, 7, -1}) {
        SCOPED_TRACE(row);
        int done = 0;
        PlayPromptThen(t.app, row, [&done] { ++done; });
        EXPECT_EQ(done, 1);
        EXPECT_FALSE(PromptActive(t.app));
    }
    EXPECT_TRUE(t.ui.messages.empty());
}

TEST_F(PromptWindow, AKeyThatStopsThePromptCancelsTheWait) {
    keepInputOpen();
    loadTable();
    const struct {
        const char* name;
        std::function<void()> key;
        bool playedOut;  // the key comes while the prompt settles, not while it plays
    } cases[] = {
        {"Enter while it plays", [this] { press(Qt::Key_Return); }, false},
        {"Enter while it settles", [this] { press(Qt::Key_Return); }, true},
        {"Down while it plays", [this] { press(Qt::Key_Down); }, false},
        {"Down while it settles", [this] { press(Qt::Key_Down); }, true},
        {"F3", [this] { press(Qt::Key_F3); }, false},
        {"a click on another row", [this] { list()->setCurrentRow(2); }, false},
        {"Ctrl", [this] { press(Qt::Key_Control); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (TakeRunning(t.app)) {
            press(Qt::Key_Return);
        }
        t.sim.pumpCapture(44100);
        OnRecorderTick(t.app);
        list()->setCurrentRow(0);
        int done = 0;
        PlayPromptThen(t.app, 0, [&done] { ++done; });
        ASSERT_TRUE(PromptActive(t.app));
        if (c.playedOut) {
            t.sim.pumpOutput(kPromptFrames);
            PollPrompt(t.app);
        }
        c.key();
        EXPECT_FALSE(PromptActive(t.app));
        EXPECT_EQ(PromptStream(t.app), 0u);
        t.sim.pumpOutput(kPromptFrames);
        now += 10 * kPromptSettleMs;
        PollPrompt(t.app);
        EXPECT_EQ(done, 0);
    }
}

TEST_F(PromptWindow, F10DuringTheWaitPlaysThePromptAgainAndTheWaitFollowsIt) {
    loadTable();
    int done = 0;
    PlayPromptThen(t.app, 0, [&done] { ++done; });
    t.sim.pumpOutput(kPromptFrames);
    PollPrompt(t.app);
    now += kPromptSettleMs - 10;
    press(Qt::Key_F10);  // the speaker asks to hear it again
    EXPECT_EQ(playOut(), samplesOf(column));
    now += kPromptSettleMs - 1;
    PollPrompt(t.app);
    EXPECT_EQ(done, 0);
    now += 1;
    PollPrompt(t.app);
    EXPECT_EQ(done, 1);
}

}  // namespace
}  // namespace quillar::test
