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

QColor noiseColourOf(double dbfs) {
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

// What does not move between looks: the channel letters, the unlit bars, the scale and the
// noise floor line, drawn once and again only when one of them changes. Shaping their text 20
// times a second cost more than everything else the meter does.
struct StillPart {
    int width = 0;
    int height = 0;
    QRgb background = 0;
    std::uint32_t channels = 0;
    QString noise;
    QRgb noiseColour = 0;
    QImage image;
};

void drawStillPart(StillPart& still) {
    const int width = still.width;
    QImage& image = still.image;
    image = QImage(width, still.height, QImage::Format_RGB32);
    image.fill(still.background);
    QPainter p(&image);
    QFont font = p.font();
    font.setPixelSize(10);
    p.setFont(font);
    const int full = xOf(0.0, width);
    for (std::uint32_t c = 0; c < still.channels; ++c) {
        const int top = kBarTop + static_cast<int>(c) * kBarPitch;
        if (still.channels > 1) {
            p.setPen(kMarks);
            p.drawText(QRect(0, top, kBarLeft - 2, kBarHeight), Qt::AlignCenter,
                       c == 0 ? QStringLiteral("L") : QStringLiteral("R"));
        }
        p.fillRect(kBarLeft, top, full - kBarLeft, kBarHeight, kUnlit);
    }
    // The scale under the bars.
    const int scaleTop = kBarTop + static_cast<int>(still.channels) * kBarPitch;
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
    const int noiseTop = scaleTop + 22;
    const QColor colour = QColor::fromRgb(still.noiseColour);
    p.fillRect(2, noiseTop + 2, 10, 10, colour);
    p.setPen(colour);
    font.setPixelSize(12);
    p.setFont(font);
    p.drawText(QRect(kBarLeft + 2, noiseTop, width - kBarLeft - 2, 14), Qt::AlignVCenter,
               still.noise);
}

// A solid rectangle, clipped to the image; nothing for an empty one.
void fill(QImage& image, int x, int y, int w, int h, const QColor& colour) {
    const QRect area = QRect(x, y, w, h).intersected(image.rect());
    const QRgb pixel = colour.rgb();
    for (int row = area.top(); row <= area.bottom(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        std::fill(line + area.left(), line + area.right() + 1, pixel);
    }
}

}  // namespace

void DrawLevelMeter(DrawingBoard& board, const quality::LevelMeter& meter) {
    const int width = board.width() - kMeterLeft;
    if (width <= kBarLeft + kBarRight + kClipWidth) {
        return;
    }
    const std::uint32_t channels = meter.channels();
    if (channels == 0) {
        QImage empty(width, board.height(), QImage::Format_RGB32);
        empty.fill(board.background());
        board.blit(kMeterLeft, 0, empty);
        return;
    }
    // The noise floor, once there is enough of it to stand for the room.
    QString figure = QStringLiteral("…");
    QColor noiseColour = kMarks;
    if (meter.hasNoiseFloor()) {
        const double noise = std::max(meter.noiseFloorDbfs(), -120.0);
        figure = QString::number(noise, 'f', 1) + QStringLiteral(" dBFS");
        noiseColour = noiseColourOf(noise);
    }
    static StillPart still;
    const QString noiseText = Texts::tr("底噪 ") + figure;
    if (still.image.isNull() || still.width != width || still.height != board.height() ||
        still.background != board.background().rgb() || still.channels != channels ||
        still.noise != noiseText || still.noiseColour != noiseColour.rgb()) {
        still.width = width;
        still.height = board.height();
        still.background = board.background().rgb();
        still.channels = channels;
        still.noise = noiseText;
        still.noiseColour = noiseColour.rgb();
        drawStillPart(still);
    }
    QImage image = still.image;  // the bars below make it a copy of its own
    const int full = xOf(0.0, width);
    const int amberFrom = xOf(quality::kLoudPeakDbfs, width);
    for (std::uint32_t c = 0; c < channels; ++c) {
        const int top = kBarTop + static_cast<int>(c) * kBarPitch;
        const int peak = xOf(meter.peakDbfs(c), width);
        fill(image, kBarLeft, top, std::min(peak, amberFrom) - kBarLeft, kBarHeight, kGreen);
        if (peak > amberFrom) {
            fill(image, amberFrom, top, peak - amberFrom, kBarHeight, kAmber);
        }
        const bool clipping = meter.clipping(c);
        if (clipping) {
            fill(image, full - kClipWidth, top, kClipWidth, kBarHeight, kRed);
        }
        const double hold = meter.holdDbfs(c);
        if (hold > kFloorDb) {
            const int x = std::min(xOf(hold, width), full - 2);
            fill(image, x, top, 2, kBarHeight, clipping ? kRed : QColor(Qt::white));
        }
    }
    // A steady level draws the same picture: the board repaints only the rows that changed.
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
