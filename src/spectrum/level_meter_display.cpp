#include "spectrum/level_meter_display.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "kit/app.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "kit/ui_texts.h"
#include "quality/level_meter.h"
#include "quality/quality_limits.h"

namespace quillar {

namespace {

// The bars span -48..0 dBFS: the noise limit at the left edge, the level marks well apart.
constexpr double kFloorDb = -48.0;
constexpr int kBarLeft = 14;  // in the meter's own image
constexpr int kBarRight = 6;  // margin at the right
constexpr int kBarTop = 6;
constexpr int kBarHeight = 12;
constexpr int kBarPitch = 16;
constexpr int kClipWidth = 5;  // the full-scale end of a bar, lit red while a peak is held there

const QColor kGreen(0, 200, 0);
const QColor kAmber(255, 176, 0);
const QColor kRed(230, 0, 0);
const QColor kUnlit(0, 40, 60);
const QColor kMarks(220, 220, 220);

int xOf(double db, int width) {
    const double t = std::clamp((db - kFloorDb) / -kFloorDb, 0.0, 1.0);
    return kBarLeft + static_cast<int>(std::lround(t * (width - kBarLeft - kBarRight)));
}

QColor noiseColour(double dbfs) {
    switch (quality::ClassifyNoise(dbfs)) {
        case quality::NoiseClass::Good:
            return kGreen;
        case quality::NoiseClass::Check:
            return kAmber;
        case quality::NoiseClass::Redo:
            break;
    }
    return kRed;
}

}  // namespace

void DrawLevelMeter(DrawingBoard& board, const quality::LevelMeter& meter) {
    const int width = board.width() - kMeterLeft;
    if (width <= kBarLeft + kBarRight + kClipWidth) {
        return;
    }
    QImage image(width, board.height(), QImage::Format_RGB32);
    image.fill(board.background());
    const std::uint32_t channels = meter.channels();
    if (channels > 0) {
        QPainter p(&image);
        QFont font = p.font();
        font.setPixelSize(10);
        p.setFont(font);
        const int full = xOf(0.0, width);
        const int amberFrom = xOf(quality::kLoudPeakDbfs, width);
        for (std::uint32_t c = 0; c < channels; ++c) {
            const int top = kBarTop + static_cast<int>(c) * kBarPitch;
            if (channels > 1) {
                p.setPen(kMarks);
                p.drawText(QRect(0, top, kBarLeft - 2, kBarHeight), Qt::AlignCenter,
                           c == 0 ? QStringLiteral("L") : QStringLiteral("R"));
            }
            p.fillRect(kBarLeft, top, full - kBarLeft, kBarHeight, kUnlit);
            const int peak = xOf(meter.peakDbfs(c), width);
            p.fillRect(kBarLeft, top, std::min(peak, amberFrom) - kBarLeft, kBarHeight, kGreen);
            if (peak > amberFrom) {
                p.fillRect(amberFrom, top, peak - amberFrom, kBarHeight, kAmber);
            }
            const bool clipping = meter.clipping(c);
            if (clipping) {
                p.fillRect(full - kClipWidth, top, kClipWidth, kBarHeight, kRed);
            }
            const double hold = meter.holdDbfs(c);
            if (hold > kFloorDb) {
                const int x = std::min(xOf(hold, width), full - 2);
                p.fillRect(x, top, 2, kBarHeight, clipping ? kRed : QColor(Qt::white));
            }
        }
        // The scale under the bars.
        const int scaleTop = kBarTop + static_cast<int>(channels) * kBarPitch;
        const struct {
            double db;
            const char* text;
        } marks[] = {{quality::kQuietPeakDbfs, "-18"},
                     {-12.0, "-12"},
                     {quality::kLoudPeakDbfs, "-6"},
                     {0.0, "0"}};
        for (const auto& m : marks) {
            const int x = xOf(m.db, width);
            const QColor colour = m.db == 0.0 ? kRed : kMarks;
            p.fillRect(x - (m.db == 0.0 ? 1 : 0), scaleTop, 1, 4, colour);
            p.setPen(colour);
            p.drawText(QRect(x - 12, scaleTop + 4, 24, 12), Qt::AlignCenter,
                       QString::fromLatin1(m.text));
        }
        // The noise floor, once there is enough of it to stand for the room.
        const int noiseTop = scaleTop + 22;
        QString figure = QStringLiteral("…");
        QColor colour = kMarks;
        if (meter.hasNoiseFloor()) {
            const double noise = std::max(meter.noiseFloorDbfs(), -120.0);
            figure = QString::number(noise, 'f', 1) + QStringLiteral(" dBFS");
            colour = noiseColour(noise);
        }
        p.fillRect(2, noiseTop + 2, 10, 10, colour);
        p.setPen(colour);
        font.setPixelSize(12);
        p.setFont(font);
        p.drawText(QRect(kBarLeft + 2, noiseTop, width - kBarLeft - 2, 14), Qt::AlignVCenter,
                   Texts::tr("底噪 ") + figure);
    }
    // A steady level draws the same picture: the window system is spared a repaint.
    if (board.canvas().copy(QRect(QPoint(kMeterLeft, 0), image.size())) == image) {
        return;
    }
    board.blit(kMeterLeft, 0, image);
}

void OnMeterTick(App& app, audio::Handle channel, std::int64_t nowMs) {
    ProgramState& s = app.state;
    quality::LevelMeter& meter = s.level_meter;
    const std::uint32_t channels = channel != 0 ? app.engine.channelCount(channel) : 0;
    if (channel != s.meter_channel || channels != meter.channels()) {
        s.meter_channel = channel;
        s.meter_cursor = audio::AudioEngine::kFromNow;
        meter.restart(channels > 0 ? app.engine.sampleRate(channel) : 0, channels);
        DrawLevelMeter(*app.form.画板2, meter);  // empty until audio comes
    }
    if (channels == 0) {
        return;
    }
    // A tick's audio (50 ms) fits in one read; a window thread held up reads on in pieces.
    constexpr std::uint32_t kChunkFrames = 8192;
    static std::vector<float> buffer;
    buffer.resize(std::size_t{kChunkFrames} * channels);
    bool any = false;
    for (;;) {
        std::uint64_t skipped = 0;
        const std::uint32_t got = app.engine.samplesSince(channel, &s.meter_cursor, buffer.data(),
                                                          kChunkFrames, &skipped);
        if (got == 0 && skipped == 0) {
            break;
        }
        // Every piece feeds the noise windows and the held peak; the bars show the last one.
        meter.feed(buffer.data(), got, nowMs, skipped > 0);
        any = true;
        if (got < kChunkFrames) {
            break;
        }
    }
    if (!any) {
        meter.feed(nullptr, 0, nowMs);
    }
    DrawLevelMeter(*app.form.画板2, meter);
}

}  // namespace quillar
