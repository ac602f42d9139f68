#include "playback/file_playback.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <cmath>

#include "audio/audio_engine.h"
#include "kit/app.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "kit/media_player.h"
#include "kit/shape_box.h"
#include "kit/ui_seam.h"
#include "kit/ui_texts.h"
#include "naming/recording_names.h"
#include "playback/prompt_playback.h"

namespace quillar {

namespace {

// Between 10 and 15 ms: steps of a 1.5-second item still show, and an idle core stays idle.
constexpr int kPollMs = 12;
constexpr int kCursorStart = 16;  // left of 外形框2, pixels
constexpr int kPointerStart = 3;  // left of 标签_指针, pixels
constexpr int kSteps = 100;
const char kPollName[] = "playback poll";
const char kNoticeHoldName[] = "notice hold";

void moveLeft(QWidget* w, int left) {
    w->move(left, w->y());
}

QString formatName(const audio::FileVerdict& v) {
    switch (v.formatTag) {
        case 1:
            return Texts::tr("%1 位 PCM").arg(v.bits);
        case 3:
            return Texts::tr("%1 位浮点").arg(v.bits);
        case 0x55:
            return QStringLiteral("MP3");
        default:
            return Texts::tr("格式代码 0x%1，%2 位")
                .arg(v.formatTag, 4, 16, QChar(u'0'))
                .arg(v.bits);
    }
}

}  // namespace

QString WhyNotPlayable(const audio::FileVerdict& v) {
    using audio::FileProblem;
    switch (v.problem) {
        case FileProblem::None:
            break;
        case FileProblem::NoOutput:
            return Texts::tr("没有可用的声音输出设备。");
        case FileProblem::CannotOpen:
            return Texts::tr("文件不存在或无法读取。");
        case FileProblem::Empty:
            return Texts::tr("文件是空的（0 字节）。");
        case FileProblem::NotWav:
            return Texts::tr("这不是 WAV 文件。");
        case FileProblem::Damaged:
            return Texts::tr("WAV 文件头不完整或已损坏。");
        case FileProblem::NoAudio:
            return Texts::tr("WAV 文件中没有声音数据。");
        case FileProblem::UnsupportedFormat:
            return Texts::tr("不支持这种声音格式（%1，%2 声道，%3 Hz）。")
                .arg(formatName(v))
                .arg(v.channels)
                .arg(v.rate);
    }
    return QString();
}

namespace {

const LaterText kNoPlaybackDuringTake{QT_TRANSLATE_NOOP("Quillar", "录音中不能播放")};

// Tells why a file does not play. Not during a take: a box would take the keyboard from the item
// list, and the Enter meant to stop the take would close the box instead.
void reportNotPlayable(App& app, const QString& path) {
    MainForm& f = app.form;
    if (app.state.recording_state != RecordingState::Idle) {
        return;
    }
    app.ui.message(&f, Texts::tr("系统提示"),
                   Texts::tr("无法播放录音文件：\n%1\n\n%2")
                       .arg(ElideMiddle(QDir::toNativeSeparators(path)),
                            WhyNotPlayable(f.媒体播放1->verdict())),
                   MessageIcon::Warning);
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

    void start(App& app) {
        MainForm& f = m_form;
        m_timer.stop();
        f.媒体播放1->stop();  // a second request starts the file again from the beginning
        moveLeft(f.外形框2, kCursorStart);
        moveLeft(f.标签_指针, kPointerStart);
        const QString path = f.编辑框_当前录音文件->text();
        if (!f.媒体播放1->open(path)) {
            end();
            reportNotPlayable(app, path);
            return;
        }
        f.媒体播放1->play();
        f.按钮_播放录音->setEnabled(false);
        f.进度条1->setVisible(true);
        f.进度条1->setMaximum(kSteps);
        f.进度条1->setValue(0);
        m_step = 1;
        m_timer.start();
        poll();  // a stream that did not start (no device) ends here and now
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
    StopPrompt(app);  // one sound at a time
    // Recording, paused or collecting a post-roll: the microphone would hear it in the take.
    if (app.state.recording_state != RecordingState::Idle) {
        ShowNoPlaybackDuringTake(app);
        return;
    }
    pollOf(app.form).start(app);
}

void ShowNoPlaybackDuringTake(App& app) {
    ShowPlaybackNotice(app, kNoPlaybackDuringTake);
}

void ShowPlaybackNotice(App& app, const QString& text, const QString& detail) {
    QLabel* notice = app.form.标签_播放提示;
    notice->setText(text);
    notice->setToolTip(detail);
    auto* hold = notice->findChild<QTimer*>(kNoticeHoldName, Qt::FindDirectChildrenOnly);
    if (hold == nullptr) {
        hold = new QTimer(notice);
        hold->setObjectName(kNoticeHoldName);
        hold->setSingleShot(true);
        QObject::connect(hold, &QTimer::timeout, notice, &QWidget::hide);
    }
    // Not a box: the list keeps the keyboard, and the Enter that stops the take stays its own.
    notice->show();
    notice->raise();
    hold->start(kNoPlaybackNoticeMs);
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
