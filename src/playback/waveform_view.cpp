#include "playback/waveform_view.h"

#include <QFile>
#include <QImage>
#include <algorithm>
#include <cmath>
#include <limits>

#include "app/app.h"
#include "app/drawing_board.h"
#include "app/main_form.h"
#include "app/shape_box.h"
#include "playback/time_ruler.h"

namespace quillar {

namespace {

constexpr int kColumnCount = 21150;  // trace columns, whatever the file's length
constexpr int kCursorStart = 16;     // left of 外形框2 at the start of the waveform, pixels
const QColor kGridColour(105, 105, 105);

enum class Layout { None, Mono8, Mono16, Stereo8, Stereo16 };

Layout layoutOf(const WavHeader& h) {
    const int ch = h.fmt.channels;
    const int bits = h.fmt.bits_per_sample;
    if ((ch != 1 && ch != 2) || (bits != 8 && bits != 16)) {
        return Layout::None;
    }
    if (ch == 1) {
        return bits == 8 ? Layout::Mono8 : Layout::Mono16;
    }
    return bits == 8 ? Layout::Stereo8 : Layout::Stereo16;
}

struct GridShape {
    int count;
    double vertical;    // pixels between vertical lines
    double horizontal;  // pixels between horizontal lines
    bool stereo;        // the line at 128 is dash-dot-dot
};

GridShape gridOf(Layout layout) {
    switch (layout) {
        case Layout::Mono8:
        case Layout::Mono16:
            return {28, 32, 21.5, false};
        case Layout::Stereo8:
            return {16, 56, 32, true};
        case Layout::Stereo16:
            return {28, 32, 32, true};
        case Layout::None:
            break;
    }
    return {0, 0, 0, false};
}

void drawGrid(DrawingBoard& board, Layout layout, int w, int h) {
    const GridShape g = gridOf(layout);
    board.setUnit(DrawingBoard::kPixels);
    board.setPenColour(kGridColour);
    for (int i = 1; i <= g.count; ++i) {
        board.setPenStyle(0);
        const int v = static_cast<int>(g.vertical * i);
        board.line(v, 0, v, h);
        const int y = static_cast<int>(g.horizontal * i);
        if (y <= 256) {
            if (g.stereo && y == 128) {
                board.setPenStyle(4);
            }
            board.line(0, y, w, y);
        }
    }
}

// Bounds-checked reads of the sample bytes; anything outside them reads as 0.
class SampleReader {
  public:
    explicit SampleReader(const WaveformSource& s) : m_p(s.samples), m_n(s.sampleBytes) {}
    int u8(std::int64_t at) const { return at >= 0 && at < m_n ? m_p[at] : 0; }
    int s16(std::int64_t at) const {
        if (at < 0 || at + 1 >= m_n) {
            return 0;
        }
        return static_cast<std::int16_t>(m_p[at] | (m_p[at + 1] << 8));
    }

  private:
    const std::uint8_t* m_p;
    std::int64_t m_n;
};

// Paints vertical strokes straight into an RGB32 image. Pixel for pixel what DrawingBoard::line
// gives in fine units (ends truncated to fine units, then to pixels, both ends drawn, clipped),
// at a fraction of the cost of one QPainter per stroke.
class StrokePainter {
  public:
    explicit StrokePainter(QImage& image) : m_image(image) {}
    void stroke(int px, double fineTop, double fineBottom, QRgb colour) {
        int y1 = static_cast<int>(std::trunc(fineTop) / DrawingBoard::kFineY);
        int y2 = static_cast<int>(std::trunc(fineBottom) / DrawingBoard::kFineY);
        if (y1 > y2) {
            std::swap(y1, y2);
        }
        y1 = std::max(y1, 0);
        y2 = std::min(y2, m_image.height() - 1);
        for (int y = y1; y <= y2; ++y) {
            reinterpret_cast<QRgb*>(m_image.scanLine(y))[px] = colour;
        }
    }

  private:
    QImage& m_image;
};

// Integer part of a fine-unit coordinate, in pixels, as DrawingBoard maps it.
int pixelColumn(double fineX) {
    return static_cast<int>(fineX / DrawingBoard::kFineX);
}

void drawTrace(QImage& image, Layout layout, const WaveformSource& src, int w, int h) {
    const int dataColumns = static_cast<int>(w * DrawingBoard::kFineX);
    const int frameBytes = src.header.fmt.block_align > 0 ? src.header.fmt.block_align
                                                          : (layout == Layout::Stereo16 ? 4
                                                             : layout == Layout::Mono8  ? 1
                                                                                        : 2);
    const std::int64_t frames = src.dataSize / frameBytes;
    const float sampleStep = dataColumns > 0 ? float(double(frames) / dataColumns) : 0.0f;
    const double mono = std::trunc(h * 8.0);
    const double upper = std::trunc(h * 5.0);
    const double lower = std::trunc(h * 12.0);
    const SampleReader r(src);
    StrokePainter paint(image);
    const QRgb green = qRgb(0, 255, 0);
    const QRgb darkGreen = qRgb(0, 236, 0);
    const QRgb red = qRgb(255, 0, 0);
    const QRgb darkRed = qRgb(232, 0, 0);
    const double stereo16Advance = w > 0 ? (double(kColumnCount) / w) / 16.0 : 0.0;

    double x = 0;  // fine units
    for (int j = 1; j <= kColumnCount; ++j) {
        const int px = pixelColumn(x);
        if (px >= image.width()) {
            break;  // x only grows: the rest of the columns lie beyond the canvas
        }
        const auto k = static_cast<std::int64_t>(std::floor(j * double(sampleStep)));
        switch (layout) {
            case Layout::Mono8: {
                const int a = r.u8(k) - 128, b = r.u8(k + 1) - 128;
                paint.stroke(px, mono - a * 26, mono + b * 26, green);
                paint.stroke(px, mono - a * 12, mono + b * 12, darkGreen);
                break;
            }
            case Layout::Mono16: {
                const int a = r.s16(2 * k), b = r.s16(2 * k + 2);
                paint.stroke(px, mono - a / 10.0, mono + b / 10.0, green);
                paint.stroke(px, mono - a / 24.0, mono + b / 24.0, darkGreen);
                break;
            }
            case Layout::Stereo8: {
                const int a = r.u8(2 * k) - 128, b = r.u8(2 * k + 1) - 128;
                const int c = r.u8(2 * k + 2) - 128, d = r.u8(2 * k + 3) - 128;
                paint.stroke(px, upper - a * 11, upper + b * 11, green);
                paint.stroke(px, upper - a * 6, upper + b * 6, darkGreen);
                paint.stroke(px, lower - c * 11, lower + d * 11, red);
                paint.stroke(px, lower - c * 6, lower + d * 6, darkRed);
                break;
            }
            case Layout::Stereo16: {
                const int a = r.s16(4 * k), b = r.s16(4 * k + 2);
                paint.stroke(px, upper - a / 22.0, upper + b / 22.0, green);
                break;
            }
            case Layout::None:
                return;
        }
        // Two channels of 16 bits advance about every second column, so that trace is about
        // half as wide as the others.
        if (layout != Layout::Stereo16 || stereo16Advance * x <= j + 1e-7) {
            x += 1;
        }
    }
}

QRgb lastStrokeColour(Layout layout) {
    return layout == Layout::Stereo8    ? qRgb(232, 0, 0)
           : layout == Layout::Stereo16 ? qRgb(0, 255, 0)
                                        : qRgb(0, 236, 0);
}

}  // namespace

WaveformSource waveformSourceOf(QByteArrayView file) {
    WaveformSource src;
    src.header = ReadWavHeader(file);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.data());
    const std::int64_t n = file.size();
    std::int64_t offset = kWavHeaderSize;
    // The size field is read as unsigned: our own recordings may pass 2 GiB.
    std::uint32_t declared = static_cast<std::uint32_t>(src.header.data.chunk_size);
    if (!src.header.dataIdAt36()) {
        // Taken for a file with an 18-byte fmt chunk: size at 42, samples from 46.
        offset = 46;
        declared = 0;
        for (int i = 3; i >= 0; --i) {
            declared = (declared << 8) | (42 + i < n ? bytes[42 + i] : 0u);
        }
    }
    const std::int64_t available = std::max<std::int64_t>(0, n - offset);
    src.dataSize = std::min<std::int64_t>(declared, available);
    src.samples = available > 0 ? bytes + offset : nullptr;
    // With "data" at 36 the sample bytes run to the end of the file; otherwise they end with
    // the data.
    src.sampleBytes = src.header.dataIdAt36() ? available : src.dataSize;
    if (src.header.fmt.byte_rate > 0) {
        src.seconds = double(src.dataSize) / src.header.fmt.byte_rate;
    }
    return src;
}

void drawWaveform(DrawingBoard& board, const WaveformSource& source) {
    board.clear();
    const Layout layout = layoutOf(source.header);
    if (layout == Layout::None) {
        return;
    }
    const int w = board.width();
    const int h = board.height();
    drawGrid(board, layout, w, h);

    board.setUnit(DrawingBoard::kFineUnits);
    board.setPenStyle(0);
    QImage image = board.canvas();
    drawTrace(image, layout, source, w, h);
    board.blit(0, 0, image);
    board.setPenColour(lastStrokeColour(layout));
}

void ShowWaveform(App& app, const QString& path) {
    MainForm& f = app.form;
    f.外形框2->move(kCursorStart, f.外形框2->y());
    app.state.waveform_path = path;

    QFile file(path);
    QByteArray copy;  // only when the file cannot be mapped
    QByteArrayView bytes;
    if (file.open(QIODevice::ReadOnly) && file.size() > 0) {
        if (const uchar* mapped = file.map(0, file.size())) {
            bytes = QByteArrayView(mapped, file.size());
        } else {
            copy = file.readAll();
            bytes = copy;
        }
    }
    const WaveformSource source = waveformSourceOf(bytes);
    app.state.waveform_seconds = static_cast<float>(source.seconds);

    f.画板3->setVisible(true);
    f.画板4->setVisible(false);
    f.画板4->clear();
    drawWaveform(*f.画板3, source);
    DrawTimeRuler(*f.画板5, app.state.waveform_seconds, f.画板3->width());
    file.close();  // also unmaps
}

}  // namespace quillar
