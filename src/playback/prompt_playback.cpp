#include "playback/prompt_playback.h"

#include <QTimer>
#include <chrono>
#include <utility>

#include "kit/app.h"
#include "kit/main_form.h"
#include "kit/media_player.h"
#include "playback/audition.h"
#include "playback/file_playback.h"

namespace quillar {

namespace {

const char kPlayerName[] = "prompt player";

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The prompt in progress. Lives on the form, so a prompt never outlives the window and its
// `ended` goes with it unrun.
class PromptPlayer : public QObject {
  public:
    PromptPlayer(MainForm& form, audio::AudioEngine& engine)
        : QObject(&form), m_player(engine) {
        setObjectName(kPlayerName);
        m_timer.setInterval(kPromptPollMs);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
    }

    bool active() const { return m_phase != Phase::Idle; }
    audio::Handle stream() const {
        return m_phase == Phase::Playing ? audio::Handle(m_player.streamHandle()) : 0;
    }
    void setClock(std::function<std::int64_t()> clock) {
        m_clock = clock ? std::move(clock) : steadyMs;
    }

    bool play(const QString& path, std::function<void()> ended, QString* why) {
        const bool carried = !ended && m_ended;
        if (carried) {
            ended = std::move(m_ended);
        }
        stop();
        if (!m_player.open(path)) {
            if (why) {
                *why = WhyNotPlayable(m_player.verdict());
            }
            if (carried) {
                // The wait it was carried from goes on as though the prompt had just ended.
                m_ended = std::move(ended);
                m_phase = Phase::Settling;
                m_endMs = m_clock();
                m_timer.start();
            }
            return false;
        }
        m_player.play();
        m_ended = std::move(ended);
        m_phase = Phase::Playing;
        m_timer.start();
        poll();  // a stream that did not start (no device) ends here
        return true;
    }

    void stop() {
        m_timer.stop();
        m_player.stop();
        m_phase = Phase::Idle;
        m_ended = nullptr;
    }

    void poll() {
        if (m_phase == Phase::Playing) {
            // Stopped short of the end means the output went: as good as ended, so a wait
            // for the prompt never hangs on a device that is gone.
            if (m_player.state() == 1 && m_player.position() < m_player.length()) {
                return;
            }
            m_player.stop();
            m_phase = Phase::Settling;
            m_endMs = m_clock();
        }
        if (m_phase == Phase::Settling && m_clock() - m_endMs >= kPromptSettleMs) {
            // Cleared first: `ended` may play the next item's prompt.
            std::function<void()> ended = std::move(m_ended);
            stop();
            if (ended) {
                ended();
            }
        }
    }

  private:
    enum class Phase { Idle, Playing, Settling };

    MediaPlayer m_player;
    QTimer m_timer;
    Phase m_phase = Phase::Idle;
    std::int64_t m_endMs = 0;  // m_clock's reading when the prompt was seen to end
    std::function<void()> m_ended;
    std::function<std::int64_t()> m_clock = steadyMs;
};

PromptPlayer* existingPlayerOf(App& app) {
    return dynamic_cast<PromptPlayer*>(
        app.form.findChild<QObject*>(kPlayerName, Qt::FindDirectChildrenOnly));
}

PromptPlayer& playerOf(App& app) {
    PromptPlayer* found = existingPlayerOf(app);
    return found ? *found : *new PromptPlayer(app.form, app.engine);
}

}  // namespace

bool PlayPromptFile(App& app, const QString& path, std::function<void()> ended, QString* why) {
    // One sound at a time: the speaker hears the prompt alone.
    EndCurrentRecordingPlayback(app);
    if (app.state.auditioning) {
        ToggleAudition(app);
    }
    return playerOf(app).play(path, std::move(ended), why);
}

void StopPrompt(App& app) {
    if (PromptPlayer* player = existingPlayerOf(app)) {
        player->stop();
    }
}

bool PromptActive(App& app) {
    const PromptPlayer* player = existingPlayerOf(app);
    return player != nullptr && player->active();
}

audio::Handle PromptStream(App& app) {
    const PromptPlayer* player = existingPlayerOf(app);
    return player != nullptr ? player->stream() : 0;
}

void PollPrompt(App& app) {
    if (PromptPlayer* player = existingPlayerOf(app)) {
        player->poll();
    }
}

void SetPromptClock(App& app, std::function<std::int64_t()> clockMs) {
    playerOf(app).setClock(std::move(clockMs));
}

}  // namespace quillar
