// Random sessions against a model of what they must leave behind. Keys, clicks and pauses come
// at random moments of the simulated input (pumped, never waited for), with random margins, folder
// and device changes and lost devices; every sample of the input says which frame of which opening
// of a device it is, so each file shows exactly which stretch of the stream it holds. The device
// calls run on the worker's own thread, over a server that answers each one up to 300 ms late and
// whose answers reach the window out of order. After each session: every take that Enter began or
// stopped is in exactly one file under its own item and folder, holding exactly its range of the
// stream; no file holds anything else; the take log has a line for each; nothing is left
// recording.
//
// QUILLAR_MODEL_SESSIONS and QUILLAR_MODEL_SEED run more sessions or another first seed; a failing
// session prints its seed, and QUILLAR_MODEL_SESSIONS=1 QUILLAR_MODEL_SEED=<seed> replays it.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/startup.h"
#include "audio/sim_backend.h"
#include "items/item_list.h"
#include "kit/main_form.h"
#include "kit/queued_calls.h"
#include "record/recorder.h"
#include "record/recording_control.h"
#include "record/take.h"
#include "support/field_worker.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

constexpr std::uint32_t kRate = 8000;  // 8 frames a millisecond, exactly
constexpr std::int64_t kFramesPerMs = kRate / 1000;
constexpr int kItems = 6;
// The server's answers: a device call waits up to this many 10 ms moments, and its answer up to
// the second figure more.
constexpr int kJobMoments = 30;
constexpr int kAnswerMoments = 5;

// A frame of capture `epoch` says (epoch, frame) on its two channels: 14 bits of frame on the
// left, 8 more bits of frame and 6 of epoch on the right.
double leftOf(std::int64_t frame) {
    return static_cast<double>(frame % 16384) / 32768.0;
}
double rightOf(int epoch, std::int64_t frame) {
    return static_cast<double>((frame / 16384) % 256 + 256 * (epoch % 64)) / 32768.0;
}
struct Stamp {
    int epoch;
    std::int64_t frame;
    bool operator==(const Stamp&) const = default;
};

struct Range {
    Stamp first;          // of the first frame
    std::int64_t frames;  // how many follow in order
};

// What the model expects of one take.
struct ModelTake {
    int item = 0;
    QString folder;
    bool toItem = false;  // begun or stopped with Enter: it must be in a file
    // The opening of a device (from 1) it records from; 0 while it waits for one, and for good
    // when it never had one.
    int epoch = 0;
    // [from, to) of its opening's frames; -1: up to the last frame the device gave. A device
    // that closed or went ends every range with what it gave.
    std::vector<std::pair<std::int64_t, std::int64_t>> ranges;
    bool ownDevice = false;    // no input was kept open at its key: it opens a device of its own
    bool waiting = false;      // asked for before its device answered
    std::weak_ptr<Take> take;  // the recorder's, to see when it began
};

QString itemName(int i) {
    return QStringLiteral("词%1").arg(i + 1);
}

// The stamps of a WAV file's frames, run-length coded.
std::vector<Range> rangesOfFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = f.readAll();
    std::vector<Range> out;
    for (qsizetype at = 44; at + 4 <= bytes.size(); at += 4) {
        std::int16_t l = 0;
        std::int16_t r = 0;
        std::memcpy(&l, bytes.constData() + at, 2);
        std::memcpy(&r, bytes.constData() + at + 2, 2);
        const Stamp s{r / 256, std::int64_t{r % 256} * 16384 + l};
        if (!out.empty() && out.back().first.epoch == s.epoch &&
            out.back().first.frame + out.back().frames == s.frame) {
            ++out.back().frames;
        } else {
            out.push_back({s, 1});
        }
    }
    return out;
}

class Session {
  public:
    explicit Session(std::uint32_t seed) : m_seed(seed), m_rng(seed) {
        m_folders[0] = m_dir.filePath(QStringLiteral("a"));
        m_folders[1] = m_dir.filePath(QStringLiteral("b"));
        QDir().mkpath(m_folders[0]);
        QDir().mkpath(m_folders[1]);
        qputenv("XDG_STATE_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("state"))));
        SetSettingsFolder(m_dir.path());
        QFile list(m_dir.filePath(QStringLiteral("词表.txt")));
        if (list.open(QIODevice::WriteOnly)) {
            for (int i = 0; i < kItems; ++i) {
                list.write((itemName(i) + u'\n').toUtf8());
            }
        }
        openWindow(m_folders[0]);
    }
    ~Session() { closeWindow(); }

    // One random action; returns its name for the trace.
    std::string step() {
        // Each action with the share of the hundred picks below its bound; a gap otherwise.
        const struct {
            int below;
            const char* name;
            std::function<void()> act;
        } actions[] = {
            {30, "Enter", [this] { enter(); }},
            {45, "Down", [this] { move(+1); }},
            {50, "Up", [this] { move(-1); }},
            {52, "Home", [this] { t->form.列表框_录音文本列表->setCurrentRow(0); }},
            {57, "按钮1", [this] { button1(); }},
            {61, "按钮4", [this] { pauseOrResume(); }},
            {63, "F3", [this] { OnItemListKeyDown(t->app, kKeyF3, 0); }},
            {65, "Ctrl", [this] { OnItemListKeyDown(t->app, kKeyControl, 0); }},
            {68, "folder", [this] { switchFolder(); }},
            {70, "margins", [this] { changeMargins(); }},
            {71, "device lost", [this] { loseDevice(); }},
            {72, "device", [this] { switchDevice(); }},
            {73, "F4", [this] { OnItemListKeyDown(t->app, kKeyF4, 0); }},
            {74, "list load", [this] { loadList(); }},
            {75, "restart", [this] { restart(); }},
        };
        const int pick = std::uniform_int_distribution<int>(0, 99)(m_rng);
        for (const auto& action : actions) {
            if (pick < action.below) {
                action.act();
                moment();
                return action.name;
            }
        }
        gap(std::uniform_int_distribution<int>(0, 2000)(m_rng));
        return "gap";
    }

    // Stops what runs, lets every take close, and checks the model.
    void finish() {
        if (TakeRunning(t->app)) {
            enter();
        }
        gap(2100);
        m_field->settle();
        followRecorder();
        OnRecorderTick(t->app);
        const std::optional<std::string> problem = check();
        if (problem) {
            ADD_FAILURE() << *problem;
        }
    }

  private:
    int margin() { return std::uniform_int_distribution<int>(0, 2000)(m_rng); }

    // A fresh window over the session's folders, its device calls on a worker of its own.
    void openWindow(const QString& folder) {
        m_field = std::make_unique<FieldWorker>(
            m_seed + 7919U * static_cast<std::uint32_t>(++m_windows), kJobMoments, kAnswerMoments);
        t = std::make_unique<TestApp>(std::make_unique<audio::SimBackend>(), m_field->handOver());
        t->sim.setDevices({"甲", "乙"});
        const int base = static_cast<int>(m_closedOpenings.size());
        t->sim.setOpeningSignal([base](std::size_t opening, int channel, std::int64_t frame) {
            return channel == 0 ? leftOf(frame)
                                : rightOf(base + static_cast<int>(opening) + 1, frame);
        });
        OnMainWindowCreated(t->app);
        m_field->settle();
        t->app.recorder->setClock([this] { return m_clockMs; });
        t->form.组合框2->setCurrentIndex(t->form.组合框2->findData(static_cast<int>(kRate)));
        RecordingOptions& o = t->app.state.options;
        o.keep_input = true;
        o.preroll_ms = margin();
        o.postroll_ms = margin();
        t->form.编辑框_保存路径->setText(folder);
        for (int i = 0; i < kItems; ++i) {
            t->form.列表框_录音文本列表->addItem(itemName(i));
        }
        t->form.列表框_录音文本列表->setCurrentRow(0);
        KeepInputOpen(t->app);
        m_field->settle();
    }

    void closeWindow() {
        m_field->answerAtOnce(t->form.queuedCalls);
        OnMainWindowDestroyed(t->app);
        for (const audio::SimBackend::CaptureOpen& o : t->sim.captureOpens()) {
            m_closedOpenings.push_back(o.frames);
        }
        t.reset();
        m_field.reset();
    }

    // The user closes the window between takes, once the takes closing have come in, and starts
    // Quillar again over the same folders.
    void restart() {
        if (m_running >= 0) {
            return;
        }
        for (int i = 0; i < 300 && t->app.recorder->takesUnderway() > 0; ++i) {
            gap(10);
        }
        m_field->settle();
        // A take begun and stopped with 按钮1 is the user's to save: closing asks, and the
        // user lets it go.
        t->ui.confirmAnswers = {true};
        EXPECT_TRUE(ConfirmClose(t->app));
        t->ui.confirmAnswers.clear();
        const QString folder = folderNow();
        closeWindow();
        openWindow(folder);
    }

    // The same list chosen again with 选择: a take that runs is stopped and saved to its own
    // item first, and the list comes back at the row it left.
    void loadList() {
        if (m_running >= 0) {
            stopTake(true);
        }
        t->ui.openAnswers.push_back(m_dir.filePath(QStringLiteral("词表.txt")));
        ChooseItemFile(t->app);
    }
    int row() const { return t->form.列表框_录音文本列表->currentRow(); }
    QString folderNow() const { return t->form.编辑框_保存路径->text(); }

    // The latest opening of a device (from 1, over every window the session opened), and the
    // frames an opening has given so far.
    int latestEpoch() const {
        return static_cast<int>(m_closedOpenings.size() + t->sim.captureOpens().size());
    }
    std::int64_t framesOf(int epoch) const {
        const auto base = static_cast<int>(m_closedOpenings.size());
        if (epoch <= 0) {
            return 0;
        }
        return epoch <= base
                   ? m_closedOpenings[static_cast<std::size_t>(epoch - 1)]
                   : t->sim.captureOpens()[static_cast<std::size_t>(epoch - base - 1)].frames;
    }

    // A moment of the window: the server's answers that are due come back, and the model sees
    // which waiting takes have begun and which the recorder ended (a device that went).
    void moment() {
        m_field->moment();
        QCoreApplication::sendPostedEvents();
        followRecorder();
    }

    void followRecorder() {
        for (ModelTake& take : m_takes) {
            const std::shared_ptr<Take> real = take.take.lock();
            if (take.waiting && real && real->phase() != Take::Phase::Opening) {
                // It began at the first frame of the device that answered: the latest opened,
                // since a later opening would have made that answer stale.
                take.waiting = false;
                take.epoch = latestEpoch();
                take.ranges.push_back({0, -1});
            }
        }
        if (m_running >= 0 && !TakeRunning(t->app)) {
            // Ended by a device that went (its device gives no more: the model's ranges end
            // there by themselves), or never begun.
            m_takes[static_cast<std::size_t>(m_running)].waiting = false;
            m_running = -1;
            m_paused = false;
        }
    }

    void gap(int ms) {
        const std::int64_t frames = std::int64_t{ms} * kFramesPerMs;
        // In device-sized chunks, as a real device delivers, the clock moving with them.
        for (std::int64_t done = 0; done < frames;) {
            const std::int64_t n = std::min<std::int64_t>(80, frames - done);
            m_clockMs += n / kFramesPerMs;
            t->sim.pumpCapture(n);
            done += n;
            moment();
        }
    }

    void beginTake(bool enter, Recorder::Input inputAtKey) {
        ModelTake take;
        take.item = row();
        take.folder = folderNow();
        take.toItem = enter;
        take.take = t->app.recorder->latestTake();
        const std::shared_ptr<Take> real = take.take.lock();
        take.ownDevice =
            inputAtKey == Recorder::Input::Closed || inputAtKey == Recorder::Input::Lost;
        if (real && real->phase() == Take::Phase::Opening) {
            take.waiting = true;
        } else {
            take.epoch = latestEpoch();
            const std::int64_t pre = std::int64_t{t->app.state.options.preroll_ms} * kFramesPerMs;
            take.ranges.push_back({std::max<std::int64_t>(0, framesOf(take.epoch) - pre), -1});
        }
        m_takes.push_back(take);
        m_running = static_cast<int>(m_takes.size()) - 1;
    }

    void stopTake(bool enter) {
        ModelTake& take = m_takes[static_cast<std::size_t>(m_running)];
        take.toItem = take.toItem || enter;
        const std::int64_t post = std::int64_t{t->app.state.options.postroll_ms} * kFramesPerMs;
        if (take.waiting) {
            take.waiting = false;  // stopped before its device answered: nothing of it is kept
        } else if (!m_paused) {
            // A take on a device of its own without a post-roll ends where closing its device
            // ends it.
            take.ranges.back().second =
                take.ownDevice && post == 0 ? -1 : framesOf(take.epoch) + post;
        }
        m_running = -1;
        m_paused = false;
    }

    void enter() {
        if (m_running >= 0) {
            stopTake(true);
            OnItemListKeyDown(t->app, kKeyEnter, 0);
        } else if (row() >= 0) {
            const Recorder::Input input = t->app.recorder->input();
            OnItemListKeyDown(t->app, kKeyEnter, 0);
            beginTake(true, input);
        }
    }

    void button1() {
        if (m_running >= 0) {
            stopTake(false);
            t->form.按钮1->click();
        } else {
            const Recorder::Input input = t->app.recorder->input();
            t->form.按钮1->click();
            beginTake(false, input);
        }
    }

    void pauseOrResume() {
        if (m_running < 0 || m_takes[static_cast<std::size_t>(m_running)].ownDevice ||
            m_takes[static_cast<std::size_t>(m_running)].waiting) {
            // A take on a device of its own pauses the device: nothing to model; one that
            // waits for its device is not paused.
            return;
        }
        ModelTake& take = m_takes[static_cast<std::size_t>(m_running)];
        t->form.按钮4->click();
        if (!m_paused) {
            take.ranges.back().second = framesOf(take.epoch);
        } else {
            take.ranges.push_back({framesOf(take.epoch), -1});
        }
        m_paused = !m_paused;
    }

    void move(int by) {
        const int n = t->form.列表框_录音文本列表->count();
        t->form.列表框_录音文本列表->setCurrentRow(std::clamp(row() + by, 0, n - 1));
    }

    void switchFolder() {
        QLineEdit* box = t->form.编辑框_保存路径;
        const QString next = folderNow() == m_folders[0] ? m_folders[1] : m_folders[0];
        if (m_running >= 0) {
            stopTake(true);  // the running take is stopped into the folder it began in
        }
        box->setText(next);
        box->setModified(true);
        emit box->editingFinished();
    }

    void changeMargins() {
        if (m_running >= 0) {
            return;  // the options dialog never opens during a take
        }
        t->app.state.options.preroll_ms = margin();
        t->app.state.options.postroll_ms = margin();
    }

    // The device goes: takes on it end with what it gave, and one that Enter began is saved.
    void loseDevice() {
        t->sim.loseCapture();
        QCoreApplication::sendPostedEvents();  // the engine's notice is a queued call
    }

    // Another microphone: the kept input reopens on it once no take is underway.
    void switchDevice() {
        QComboBox* box = t->form.组合框1;
        if (box->isEnabled() && box->count() > 1) {
            box->setCurrentIndex(1 - box->currentIndex());
        }
    }

    // The files of a folder and of its earlier takes, with their stamps.
    std::map<QString, std::vector<Range>> filesOf(const QString& folder) const {
        std::map<QString, std::vector<Range>> files;
        for (const QString& sub : {folder, folder + QStringLiteral("/早前录音")}) {
            for (const QString& name :
                 QDir(sub).entryList({QStringLiteral("*.wav")}, QDir::Files)) {
                files[sub + u'/' + name] = rangesOfFile(sub + u'/' + name);
            }
        }
        return files;
    }

    std::optional<std::string> check() {
        if (TakeRunning(t->app) || TakeClosing(t->app) || t->app.recorder->takesUnderway() != 0) {
            return "a take is still underway after the session";
        }
        if (t->form.按钮1->text() != QStringLiteral("开始录音")) {
            return "按钮1 does not read 开始录音";
        }
        std::map<QString, std::vector<Range>> files = filesOf(m_folders[0]);
        files.merge(filesOf(m_folders[1]));
        int logged = 0;
        for (const QString& folder : m_folders) {
            QFile log(folder + QStringLiteral("/quillar-log.csv"));
            if (log.open(QIODevice::ReadOnly)) {
                logged += static_cast<int>(log.readAll().count("\r\n")) - 1;
            }
        }
        int expected = 0;
        for (std::size_t i = 0; i < m_takes.size(); ++i) {
            const ModelTake& take = m_takes[i];
            std::vector<Range> want;
            const std::int64_t given = framesOf(take.epoch);
            for (auto [from, to] : take.ranges) {
                to = to < 0 ? given : std::min(to, given);
                from = std::min(from, to);
                if (to <= from) {
                    continue;
                }
                // A resume at the frame of its pause goes on without a seam.
                if (!want.empty() && want.back().first.frame + want.back().frames == from) {
                    want.back().frames += to - from;
                } else {
                    want.push_back({{take.epoch, from}, to - from});
                }
            }
            if (!take.toItem || want.empty()) {
                continue;  // the user's own take, or one with no audio: no file
            }
            ++expected;
            const QString item = itemName(take.item);
            // Two takes keyed at the same frame hold the same audio: the file under the take's
            // own item and folder is the one that must hold it.
            const auto underItem = [&take, &item](const QString& path) {
                return path.startsWith(take.folder + u'/') &&
                       (QFileInfo(path).fileName() == item + QStringLiteral(".wav") ||
                        (path.contains(QStringLiteral("/早前录音/")) &&
                         QFileInfo(path).fileName().startsWith(item)));
            };
            auto found = files.end();
            for (auto it = files.begin(); it != files.end(); ++it) {
                const bool same = it->second.size() == want.size() &&
                                  std::equal(want.begin(), want.end(), it->second.begin(),
                                             [](const Range& a, const Range& b) {
                                                 return a.first == b.first && a.frames == b.frames;
                                             });
                if (same && (found == files.end() || underItem(it->first))) {
                    found = it;
                }
            }
            if (found == files.end()) {
                std::string left;
                for (const auto& [path, ranges] : files) {
                    left += "\n  " + path.toStdString() + ":";
                    for (const Range& r : ranges) {
                        left += " " + std::to_string(r.first.epoch) + "/" +
                                std::to_string(r.first.frame) + "+" + std::to_string(r.frames);
                    }
                }
                return "take " + std::to_string(i) + " of " + item.toStdString() + " from " +
                       std::to_string(want.front().first.frame) + " (" +
                       std::to_string(want.front().frames) + " frames in " +
                       std::to_string(want.size()) + " ranges, epoch " +
                       std::to_string(take.epoch) + ") is in no file; files left:" + left;
            }
            if (!underItem(found->first)) {
                return "take " + std::to_string(i) + " of " + item.toStdString() + " is in " +
                       found->first.toStdString();
            }
            files.erase(found);
        }
        if (!files.empty()) {
            return "a file holds no take of the session: " + files.begin()->first.toStdString();
        }
        if (logged != expected) {
            return "the log has " + std::to_string(logged) + " lines for " +
                   std::to_string(expected) + " takes";
        }
        return std::nullopt;
    }

    QTemporaryDir m_dir;
    QString m_folders[2];
    std::uint32_t m_seed;
    std::mt19937 m_rng;
    int m_windows = 0;
    // The frames each device opening of the windows closed so far gave, in order.
    std::vector<std::int64_t> m_closedOpenings;
    std::unique_ptr<FieldWorker> m_field;
    std::unique_ptr<TestApp> t;

  private:
    std::int64_t m_clockMs = 0;
    std::vector<ModelTake> m_takes;
    int m_running = -1;
    bool m_paused = false;
};

int envInt(const char* name, int fallback) {
    const QByteArray v = qgetenv(name);
    bool ok = false;
    const int n = v.toInt(&ok);
    return ok ? n : fallback;
}

TEST(TakeModel, RandomSessionsLeaveEveryTakeInItsOwnFile) {
    const int sessions = envInt("QUILLAR_MODEL_SESSIONS", 150);
    const auto first = static_cast<std::uint32_t>(envInt("QUILLAR_MODEL_SEED", 1));
    for (int n = 0; n < sessions; ++n) {
        const std::uint32_t seed = first + static_cast<std::uint32_t>(n);
        Session session(seed);
        std::mt19937 lengths(seed);
        const int steps = std::uniform_int_distribution<int>(5, 60)(lengths);
        std::vector<std::string> trace;
        for (int i = 0; i < steps; ++i) {
            trace.push_back(session.step());
        }
        session.finish();
        if (testing::Test::HasFailure()) {
            std::string steps_;
            for (const std::string& s : trace) {
                steps_ += s + ", ";
            }
            FAIL() << "replay with QUILLAR_MODEL_SESSIONS=1 QUILLAR_MODEL_SEED=" << seed
                   << "\nsteps: " << steps_;
        }
    }
}

}  // namespace
}  // namespace quillar::test
