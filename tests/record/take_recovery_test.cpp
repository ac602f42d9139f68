// Recovery of the takes of a run that did not end cleanly, and the journal's life in a session:
// gone after every save, kept while the take exists only in memory, asked about at close.
#include "record/take_recovery.h"

#include <gtest/gtest.h>
#include <sndfile.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstring>

#include "app/settings.h"
#include "app/startup.h"
#include "kit/record_buffer.h"
#include "record/recording_control.h"
#include "record/saving.h"
#include "record/take_journal.h"
#include "record/take_metadata.h"
#include "record_test_support.h"
#include "round_trip_support.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

TakeInfo takeIn(const QString& folder) {
    TakeInfo info;
    info.item = QStringLiteral("太阳");
    info.folder = folder;
    info.rate = 8000;
    info.bits = 16;
    info.channels = 2;
    info.started = QDateTime(QDate(2026, 12, 8), QTime(14, 30, 12));
    return info;
}

// A journal of `dataBytes` bytes of a counting pattern, left as a killed run leaves it.
QString leaveJournal(const QString& journals, const TakeInfo& info, std::size_t dataBytes) {
    RecordBuffer buffer;
    buffer.clear();
    std::vector<std::uint8_t> data(dataBytes);
    for (std::size_t i = 0; i < dataBytes; ++i) {
        data[i] = static_cast<std::uint8_t>(i * 13 + 1);
    }
    buffer.append(data.data(), data.size());
    TakeJournal journal(buffer, journals, info);
    journal.finish();
    return journal.path();
}

class TakeRecovery : public ::testing::Test {
  protected:
    QString journals() const { return dir.filePath("state/quillar"); }
    QString folder(const char* name) const {
        const QString f = dir.filePath(QString::fromUtf8(name));
        QDir().mkpath(f);
        return f;
    }
    QTemporaryDir dir;
};

TEST_F(TakeRecovery, ATornJournalGivesAValidWavOfItsWholeFramesAndGoes) {
    const QString out = folder("录音");
    constexpr std::size_t kData = 4000;
    // Cut points: inside the header, at its end, inside a frame, at a frame's end, untouched.
    struct Cut {
        qint64 at;
        qint64 frames;  // 4-byte frames recovered; -1: nothing
    };
    const Cut cuts[] = {{10, -1}, {44, -1},         {47, -1},
                        {48, 1},  {44 + 2001, 500}, {44 + kData, 1000}};
    for (const Cut& c : cuts) {
        SCOPED_TRACE(c.at);
        const QString path = leaveJournal(journals(), takeIn(out), kData);
        const QByteArray whole = readAll(path);
        ASSERT_TRUE(QFile::resize(path, c.at));
        const RecoveryOutcome o = recoverJournals(journals(), {});
        EXPECT_FALSE(QFile::exists(path));
        EXPECT_FALSE(QFile::exists(takeInfoPathOf(path)));
        if (c.frames < 0) {
            EXPECT_TRUE(o.recovered.empty());
            continue;
        }
        ASSERT_EQ(o.recovered.size(), 1u);
        const QString wav = o.recovered[0].path;
        EXPECT_EQ(QFileInfo(wav).absolutePath(), out);
        // Byte for byte the journal's audio, under a header that says so.
        const QByteArray got = readAll(wav);
        EXPECT_EQ(got.mid(44), whole.mid(44, c.frames * 4));
        SF_INFO sf{};
        SNDFILE* file = sf_open(QFile::encodeName(wav).constData(), SFM_READ, &sf);
        ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
        EXPECT_EQ(sf.frames, c.frames);
        EXPECT_EQ(sf.samplerate, 8000);
        sf_close(file);
        QFile::remove(wav);
    }
}

// The audio comes back byte for byte whatever header its journal has: the pad byte after odd
// data is no sample, and a float journal an older Quillar wrote with a 44-byte header still
// starts where its header says.
TEST_F(TakeRecovery, EveryJournalHeaderGivesBackItsAudioByteForByte) {
    const QString out = folder("录音");
    const struct {
        const char* name;
        std::uint16_t bits;
        std::uint16_t channels;
        std::size_t dataBytes;
        qint64 cutTo;           // bytes the journal is cut to; 0: whole
        bool olderFloatHeader;  // written by hand as Quillar wrote float journals before
    } cases[] = {
        {"8-bit mono, odd", 8, 1, 2001, 0, false},
        {"8-bit mono, odd, its pad cut off", 8, 1, 2001, 44 + 2001, false},
        {"24-bit mono, odd", 24, 1, 3 * 667, 0, false},
        {"float", 32, 2, 800, 0, false},
        {"float under an older 44-byte header", 32, 2, 800, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TakeInfo info = takeIn(out);
        info.bits = c.bits;
        info.channels = c.channels;
        QByteArray data(static_cast<qsizetype>(c.dataBytes), '\0');
        for (qsizetype i = 0; i < data.size(); ++i) {
            data[i] = static_cast<char>(i * 13 + 1);
        }
        if (c.olderFloatHeader) {
            QByteArray old(44, '\0');
            const auto le = [&old](int at, std::uint32_t v, int n) {
                for (int i = 0; i < n; ++i) {
                    old[at + i] = static_cast<char>(v >> (8 * i));
                }
            };
            std::memcpy(old.data(), "RIFF", 4);
            le(4, static_cast<std::uint32_t>(36 + data.size()), 4);
            std::memcpy(old.data() + 8, "WAVEfmt ", 8);
            le(16, 16, 4);
            le(20, 3, 2);
            le(22, c.channels, 2);
            le(24, info.rate, 4);
            le(28, info.rate * info.blockAlign(), 4);
            le(32, info.blockAlign(), 2);
            le(34, c.bits, 2);
            std::memcpy(old.data() + 36, "data", 4);
            le(40, static_cast<std::uint32_t>(data.size()), 4);
            QDir().mkpath(journals());
            const QString path = journals() + QStringLiteral("/take-20261208-143012-1-1.wav");
            ASSERT_TRUE(writeAll(path, old + data));
            ASSERT_TRUE(writeTakeInfo(takeInfoPathOf(path), info));
        } else {
            const QString path = leaveJournal(journals(), info, c.dataBytes);
            if (c.cutTo > 0) {
                ASSERT_TRUE(QFile::resize(path, c.cutTo));
            }
        }
        const RecoveryOutcome o = recoverJournals(journals(), {});
        ASSERT_EQ(o.recovered.size(), 1u);
        EXPECT_EQ(o.recovered[0].dataBytes, c.dataBytes);
        const QByteArray got = readAll(o.recovered[0].path);
        const std::size_t header = wavHeaderSize(c.bits);
        EXPECT_EQ(static_cast<std::size_t>(got.size()), header + c.dataBytes + c.dataBytes % 2);
        EXPECT_EQ(got.mid(static_cast<qsizetype>(header), data.size()), data);
        QFile::remove(o.recovered[0].path);
    }
}

TEST_F(TakeRecovery, NeverReplacesAFileFallsBackWhenTheFolderIsGoneAndSkipsLiveTakes) {
    const QString out = folder("录音");
    const QString home = folder("home");
    const QString taken = out + QStringLiteral("/太阳.恢复-20261208-143012.wav");
    ASSERT_TRUE(writeAll(taken, "keep me"));
    leaveJournal(journals(), takeIn(out), 400);
    leaveJournal(journals(), takeIn(dir.filePath("gone")), 400);
    RecordBuffer live;
    live.clear();
    TakeJournal running(live, journals(), takeIn(out));

    const RecoveryOutcome o = recoverJournals(journals(), {QString(), home});
    ASSERT_EQ(o.recovered.size(), 2u);
    EXPECT_EQ(readAll(taken), "keep me");
    QStringList paths{o.recovered[0].path, o.recovered[1].path};
    paths.sort();
    EXPECT_EQ(paths[0], home + QStringLiteral("/太阳.恢复-20261208-143012.wav"));
    EXPECT_EQ(paths[1], out + QStringLiteral("/太阳.恢复-20261208-143012-2.wav"));
    EXPECT_TRUE(QFile::exists(running.path())) << "another Quillar's live take was taken";
    running.remove();
}

TEST_F(TakeRecovery, ASurveyTakeComesBackBesideItsItemByItsTemplateWithItsMetadata) {
    const QString out = folder("录音");
    TakeInfo info = takeIn(out);
    info.item = QStringLiteral("磨");
    info.labels.id = QStringLiteral("0016");
    info.labels.nameTemplate = QStringLiteral("{speaker}/{list}/{id}{item}");
    info.labels.table = true;
    info.labels.list = QStringLiteral("/lists/单字.csv");
    info.labels.session.emplace();
    info.labels.session->speaker.code = QStringLiteral("老男");
    leaveJournal(journals(), info, 400);

    const RecoveryOutcome o = recoverJournals(journals(), {QString()}, TakeMetadataOf);
    ASSERT_EQ(o.recovered.size(), 1u);
    // In the subfolder the template made, named after the file it was to be.
    EXPECT_EQ(o.recovered[0].path,
              out + QStringLiteral("/老男/单字/0016磨.恢复-20261208-143012.wav"));
    const QByteArray file = readAll(o.recovered[0].path);
    EXPECT_TRUE(file.contains("bext"));
    EXPECT_TRUE(file.contains(QStringLiteral("0016 磨").toUtf8()));
}

TEST_F(TakeRecovery, WithNowhereToWriteTheJournalStaysForTheNextStart) {
    const QString path = leaveJournal(journals(), takeIn(dir.filePath("gone")), 400);
    const RecoveryOutcome o = recoverJournals(journals(), {dir.filePath("also-gone")});
    EXPECT_TRUE(o.recovered.empty());
    EXPECT_EQ(o.leftOver, QStringList{path});
    EXPECT_TRUE(QFile::exists(path));
}

// A whole program on the simulated engine, its journals in a state folder of its own.
class TakeSession : public ::testing::Test {
  protected:
    void SetUp() override {
        qputenv("XDG_STATE_HOME", QFile::encodeName(dir.filePath("state")));
        SetSettingsFolder(dir.path());
        t = std::make_unique<TestApp>();
        OnMainWindowCreated(t->app);
        folder = dir.filePath("录音");
        QDir().mkpath(folder);
        t->form.编辑框_保存路径->setText(folder);
    }
    void TearDown() override {
        t.reset();
        SetSettingsFolder(QString());
        qunsetenv("XDG_STATE_HOME");
    }
    void record(int blocks) {
        ToggleRecording(t->app);
        for (int i = 0; i < blocks; ++i) {
            t->sim.pumpCaptureBlock();
        }
        ToggleRecording(t->app);
    }
    QStringList journalFiles() const {
        return QDir(JournalFolder()).entryList(QDir::Files | QDir::Hidden);
    }

    QTemporaryDir dir;
    std::unique_ptr<TestApp> t;
    QString folder;
};

TEST_F(TakeSession, ASavedTakeLeavesNoJournalAndTheNextStartRecoversNothing) {
    record(5);
    EXPECT_EQ(journalFiles().size(), 2u) << "the take exists only in memory";
    ASSERT_TRUE(WriteRecordingFile(t->app, folder + "/a.wav"));
    EXPECT_TRUE(journalFiles().isEmpty());
    t->form.show();
    t->form.close();
    EXPECT_TRUE(t->ui.questions.empty());

    t = std::make_unique<TestApp>();
    OnMainWindowCreated(t->app);
    EXPECT_TRUE(t->ui.messages.empty());
}

TEST_F(TakeSession, ATakeOnlyInMemoryIsAskedAboutAtCloseAndRecoveredAfterACrash) {
    record(5);
    const QByteArray take(reinterpret_cast<const char*>(t->app.state.record_buffer.data()),
                          static_cast<qsizetype>(t->app.state.record_buffer.size()));
    t->form.show();
    t->form.close();  // answered no
    ASSERT_EQ(t->ui.questions.size(), 1u);
    EXPECT_TRUE(t->form.isVisible());

    t.reset();  // the process dies with the take in memory
    t = std::make_unique<TestApp>();
    OnMainWindowCreated(t->app);
    ASSERT_EQ(t->ui.messages.size(), 1u);
    EXPECT_EQ(t->ui.messages[0].title, "系统提示");
    const QStringList found = QDir(folder).entryList({"*.恢复-*.wav"}, QDir::Files);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(readAll(folder + "/" + found[0]), take);
    EXPECT_TRUE(journalFiles().isEmpty());

    // A yes at close lets the take go: nothing is recovered afterwards.
    record(3);
    t->ui.confirmAnswers = {true};
    t->form.show();
    t->form.close();
    EXPECT_FALSE(t->form.isVisible());
    EXPECT_TRUE(journalFiles().isEmpty());
}

// A mono 24-bit take that a crash left only in memory comes back sample for sample, whether its
// TakeInfo survived or only the journal's own header tells the format.
TEST_F(TakeSession, AMonoTwentyFourBitTakeComesBackFromItsJournal) {
    for (const bool infoLost : {false, true}) {
        SCOPED_TRACE(infoLost ? "TakeInfo lost" : "TakeInfo kept");
        t->app.state.options.channels = 1;
        t->form.组合框2->setCurrentIndex(2);  // 22050 Hz
        t->form.组合框3->setCurrentIndex(3);  // 24 Bit
        t->sim.setSignal(stepSignal);
        record(4);
        t.reset();  // the process dies with the take in memory
        if (infoLost) {
            for (const QString& name : QDir(JournalFolder()).entryList({"*.json"}, QDir::Files)) {
                ASSERT_TRUE(QFile::remove(JournalFolder() + "/" + name));
            }
        }
        const RecoveryOutcome o = recoverJournals(JournalFolder(), {folder});
        ASSERT_EQ(o.recovered.size(), 1u);
        expectStepSignal(o.recovered[0].path, 22050, 1, SF_FORMAT_PCM_24, 4 * 2205);
        EXPECT_TRUE(journalFiles().isEmpty());
        QFile::remove(o.recovered[0].path);
        t = std::make_unique<TestApp>();
        OnMainWindowCreated(t->app);
        t->form.编辑框_保存路径->setText(folder);
    }
}

TEST_F(TakeSession, AnUnwritableStateFolderShowsANoticeAndTheTakeIsWhole) {
    ASSERT_TRUE(writeAll(dir.filePath("plain"), "x"));
    qputenv("XDG_STATE_HOME", QFile::encodeName(dir.filePath("plain")));
    record(5);
    QApplication::processEvents();
    EXPECT_FALSE(t->form.标签_录音保护->isHidden());
    EXPECT_TRUE(t->ui.messages.empty()) << "no box may take the keyboard from the list";
    EXPECT_EQ(t->app.state.record_buffer.size(), 44u + 5u * 17640u);
    ASSERT_TRUE(WriteRecordingFile(t->app, folder + "/a.wav"));
    EXPECT_TRUE(t->form.标签_录音保护->isHidden());
}

TEST_F(TakeSession, LowMemoryStopsTheTakeAndKeepsIt) {
    ToggleRecording(t->app);
    t->sim.pumpCaptureBlock();
    StopAtLowMemory(t->app);
    EXPECT_EQ(t->form.按钮1->text(), "开始录音");
    EXPECT_TRUE(t->form.按钮3->isEnabled());
    EXPECT_TRUE(t->app.state.record_buffer.isWavImage());
    ASSERT_EQ(t->ui.messages.size(), 1u);
    StopAtLowMemory(t->app);  // idle: nothing happens
    EXPECT_EQ(t->ui.messages.size(), 1u);
}

}  // namespace
}  // namespace quillar::test
