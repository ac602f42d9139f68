#include "playback/file_playback.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <cmath>

#include "kit/app.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "kit/media_player.h"
#include "kit/shape_box.h"

namespace quillar {

namespace {

// Between 10 and 15 ms: steps of a 1.5-second item still show, and an idle core stays idle.
constexpr int kPollMs = 12;
constexpr int kCursorStart = 16;  // left of 外形框2, pixels
constexpr int kPointerStart = 3;  // left of 标签_指针, pixels
constexpr int kSteps = 100;
const char kPollName[] = "playback poll";

void moveLeft(QWidget* w, int left) {
    w->move(left, w->y());
}

// The playback in progress: the poll timer and play_step, the next progress step to show
// (1..101). Lives on the form, so it goes with the window.
class PlaybackPoll : public QObject {
  public:
    explicit PlaybackPoll(MainForm& form) : QObject(&form), m_form(form) {
        setObjectName(kPollName);
        m_timer.setInterval(kPollMs);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
    }

    bool running() const { return m_timer.isActive(); }

    void start() {
        MainForm& f = m_form;
        m_timer.stop();
        f.媒体播放1->stop();  // a second request starts the file again from the beginning
        moveLeft(f.外形框2, kCursorStart);
        moveLeft(f.标签_指针, kPointerStart);
        f.媒体播放1->open(f.编辑框_当前录音文件->text());
        f.媒体播放1->play();
        f.按钮_播放录音->setEnabled(false);
        f.进度条1->setVisible(true);
        f.进度条1->setMaximum(kSteps);
        f.进度条1->setValue(0);
        m_step = 1;
        m_timer.start();
        poll();  // a file that did not open ends here and now
    }

    void poll() {
        MainForm& f = m_form;
        MediaPlayer& player = *f.媒体播放1;
        if (player.state() != 1) {
            // Stopped without reaching the end (never opened, or the device went): ends as the
            // end does, so that no bar is left standing at a position nothing plays.
            end();
            return;
        }
        if (m_step <= kSteps) {
            const double p = double(player.position());
            const double length = double(player.length());
            if (p - (length / 100.0) * m_step >= -0.0000001) {
                f.进度条1->setValue(m_step);
                const double w = f.画板5->width();
                moveLeft(f.标签_指针, static_cast<int>(std::trunc(w / 100.0 * m_step + 3)));
                moveLeft(f.外形框2, static_cast<int>(std::trunc(w / 100.0 * m_step + 16)));
                ++m_step;
            }
        }
        if (player.position() == player.length()) {
            end();
        }
    }

    // The end of a playback, whatever ends it: the file played out, another item was selected,
    // a recording started, or the file never played.
    void end() {
        MainForm& f = m_form;
        m_timer.stop();
        f.媒体播放1->stop();
        f.进度条1->setVisible(false);
        moveLeft(f.标签_指针, kPointerStart);
        moveLeft(f.外形框2, kCursorStart);
        // The selection may have moved to an item without a recording while the file played;
        // the button then stays disabled, as the selection left it.
        f.按钮_播放录音->setEnabled(!f.编辑框_当前录音文件->text().isEmpty());
        f.列表框_录音文本列表->setFocus();
    }

  private:
    MainForm& m_form;
    QTimer m_timer;
    int m_step = 1;
};

PlaybackPoll* existingPollOf(MainForm& form) {
    return dynamic_cast<PlaybackPoll*>(
        form.findChild<QObject*>(kPollName, Qt::FindDirectChildrenOnly));
}

PlaybackPoll& pollOf(MainForm& form) {
    PlaybackPoll* found = existingPollOf(form);
    return found ? *found : *new PlaybackPoll(form);
}

}  // namespace

void PlayCurrentRecording(App& app) {
    pollOf(app.form).start();
}

bool IsPlayingCurrentRecording(App& app) {
    return pollOf(app.form).running();
}

void EndCurrentRecordingPlayback(App& app) {
    PlaybackPoll* poll = existingPollOf(app.form);
    if (poll != nullptr && poll->running()) {
        poll->end();
    }
}

void PollCurrentRecording(App& app) {
    PlaybackPoll& poll = pollOf(app.form);
    if (poll.running()) {
        poll.poll();
    }
}

}  // namespace quillar
