#include "record/status_display.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <cmath>
#include <limits>

#include "kit/app.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "kit/ui_texts.h"
#include "record/clip_check.h"
#include "record/recording_control.h"
#include "record/size_texts.h"
#include "spectrum/live_display.h"

namespace quillar {

namespace {

// Whole seconds toward zero. NaN and values beyond the int range (a garbage position) are clamped
// first, since converting them to int is undefined; negatives read as 00:00:00 downstream.
std::int32_t WholeSeconds(double seconds) {
    if (std::isnan(seconds)) {
        return 0;
    }
    constexpr double kMax = std::numeric_limits<std::int32_t>::max();
    constexpr double kMin = std::numeric_limits<std::int32_t>::min();
    if (seconds >= kMax) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (seconds <= kMin) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(seconds);
}

// The time box is written 33 times a second; an unchanged text is left alone so the line edit
// does not relayout and repaint for nothing.
void SetText(QLineEdit* box, const QString& text) {
    if (box->text() != text) {
        box->setText(text);
    }
}

int SpectrumStyle(const MainForm& form) {
    return form.单选框2->isChecked() ? 1 : 0;
}

}  // namespace

bool IsSilentLevel(std::uint32_t level) {
    return level == 0xFFFFFFFFu || (level & 0xFFFFu) < kSilenceLevel;
}

void ShowRecordedTime(App& app) {
    // The take's own audio, as its file will hold it: an input kept open has captured since long
    // before the take, so the channel's position would count the time between takes too.
    const audio::Handle channel = app.state.record_handle.load(std::memory_order_acquire);
    const auto bytes = static_cast<std::int64_t>(ShownRecording(app).size());
    const std::int32_t t = WholeSeconds(app.engine.bytesToSeconds(channel, bytes));
    SetText(app.form.编辑框2, Texts::tr("录制时间 ") + FormatHms(t));
}

float PositionSeconds(const audio::AudioEngine& engine, audio::Handle channel) {
    return static_cast<float>(engine.bytesToSeconds(channel, engine.positionBytes(channel)));
}

float LengthSeconds(const audio::AudioEngine& engine, audio::Handle channel) {
    return static_cast<float>(engine.bytesToSeconds(channel, engine.lengthBytes(channel)));
}

void OnStatusTick(App& app) {
    ProgramState& s = app.state;
    MainForm& f = app.form;
    s.status_ticks += 1;
    CheckTakeClipping(app, SteadyMs());
    const audio::Handle channel = s.record_handle.load(std::memory_order_acquire);
    const std::uint32_t level = app.engine.level(channel);

    ShowRecordedTime(app);

    if (s.status_ticks == kSizeRefreshTick) {
        SetText(f.编辑框3, Texts::tr("每帧大小 ") +
                               FormatByteSize(s.last_block_size.load(std::memory_order_relaxed)));
        SetText(f.编辑框4, Texts::tr("文件大小 ") + FormatByteSize(ShownRecording(app).size()));
    }
    if (s.status_ticks >= kStatusTickCycle) {
        s.status_ticks = 0;
    }

    if (IsSilentLevel(level)) {
        // Saturates rather than wrapping after years of silence, which would bring the spectrum
        // back for 40 ticks.
        if (s.silence_ticks < std::numeric_limits<int>::max()) {
            s.silence_ticks += 1;
        }
        if (s.silence_ticks > kSilentTicksShown) {
            s.signal_active = 0;
            return;
        }
    } else {
        s.silence_ticks = 0;
        s.signal_active = 1;
    }
    开始绘制频谱(channel, SpectrumStyle(f));
}

void OnBlinkTick(App& app) {
    if (app.state.signal_active != 0) {
        return;
    }
    app.form.画板2->clear();
    // isHidden, not isVisible: the label's own flag, whatever its parents' state.
    app.form.标签4->setVisible(app.form.标签4->isHidden());
}

void OnAuditionTick(App& app) {
    const audio::Handle stream = app.state.audition_stream;
    开始绘制频谱(stream, SpectrumStyle(app.form));
    const double remaining =
        double(LengthSeconds(app.engine, stream)) - double(PositionSeconds(app.engine, stream));
    SetText(app.form.编辑框2, Texts::tr("剩余时间 ") + FormatHms(WholeSeconds(remaining)));
}

}  // namespace quillar
