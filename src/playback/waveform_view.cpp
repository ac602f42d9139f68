#include "playback/waveform_view.h"

#include <QFile>
#include <QImage>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "audio/sample_packing.h"
#include "kit/app.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "kit/shape_box.h"
#include "platform/file_io.h"
#include "playback/time_ruler.h"

namespace quillar {

namespace {

constexpr int kColumnCount = 21150;  // trace columns, whatever the file's length
constexpr int kCursorStart = 16;     // left of 外形框2 at the start of the waveform, pixels
const QColor kGridColour(105, 105, 105);

// 24-bit PCM and 32-bit float (Quillar's own wider recordings) are drawn with the geometry of
// the 16-bit layout of the same channel count.
enum class Layout {
    None,
    Mono8,
    Mono16,
    Stereo8,
    Stereo16,
    Mono24,
    Stereo24,
    MonoFloat,
    StereoFloat
};

constexpr int kFormatPcm = 1;
constexpr int kFormatFloat = 3;

// Which of the view's layouts a file has; the engine's reader has resolved an extensible format's
// tag.
Layout layoutOf(const WaveformSource& src) {
    const int ch = src.layout.channels;
    const int bits = src.layout.bits;
    const int tag = src.layout.formatTag;
    if (!src.wav || (ch != 1 && ch != 2)) {
        return Layout::None;
    }
    const bool mono = ch == 1;
    switch (bits) {
        case 8:
            return mono ? Layout::Mono8 : Layout::Stereo8;
        case 16:
            return mono ? Layout::Mono16 : Layout::Stereo16;
        case 24:
            return tag == kFormatPcm ? (mono ? Layout::Mono24 : Layout::Stereo24) : Layout::None;
        case 32:
            return tag == kFormatFloat ? (mono ? Layout::MonoFloat : Layout::StereoFloat)
                                       : Layout::None;
        default:
            return Layout::None;
    }
}

bool isMono(Layout layout) {
    return layout == Layout::Mono8 || layout == Layout::Mono16 || layout == Layout::Mono24 ||
           layout == Layout::MonoFloat;
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
        case Layout::Mono24:
        case Layout::MonoFloat:
            return {28, 32, 21.5, false};
        case Layout::Stereo8:
            return {16, 56, 32, true};
        case Layout::Stereo16:
        case Layout::Stereo24:
        case Layout::StereoFloat:
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

// The (up to) eight bytes the trace needs at one sample position; bytes outside the sample bytes
// read as 0.
class SampleReader {
  public:
    explicit SampleReader(const WaveformSource& s) : m_src(s) {}
    std::array<std::uint8_t, 8> at(std::int64_t offset) const {
        std::array<std::uint8_t, 8> out{};
        if (offset < 0 || offset >= m_src.sampleBytes) {
            return out;
        }
        const auto n = static_cast<std::size_t>(
            std::min<std::int64_t>(std::ssize(out), m_src.sampleBytes - offset));
        if (m_src.samples) {
            std::memcpy(out.data(), m_src.samples + offset, n);
        } else if (m_src.fd >= 0) {
            // A short or failed read (the file shrank meanwhile) leaves zeros.
            (void)platform::readAt(m_src.fd, out.data(), n,
                                   static_cast<std::uint64_t>(m_src.fileOffset + offset));
        }
        return out;
    }

  private:
    const WaveformSource& m_src;
};

// Paints vertical strokes straight into an RGB32 image. Pixel for pixel what DrawingBoard::line
// gives in fine units (ends truncated to fine units, then to pixels, both ends drawn, clipped),
// at a fraction of the cost of one QPainter per stroke.
class StrokePainter {
  public:
    // `image` is 32 bits per pixel.
    explicit StrokePainter(QImage& image)
        : m_bits(image.bits()), m_stride(image.bytesPerLine()), m_height(image.height()) {}
    void stroke(int px, double fineTop, double fineBottom, QRgb colour) {
        int y1 = static_cast<int>(std::trunc(fineTop) / DrawingBoard::kFineY);
        int y2 = static_cast<int>(std::trunc(fineBottom) / DrawingBoard::kFineY);
        if (y1 > y2) {
            std::swap(y1, y2);
        }
        y1 = std::max(y1, 0);
        y2 = std::min(y2, m_height - 1);
        uchar* row = m_bits + y1 * m_stride + px * qsizetype(sizeof(QRgb));
        for (int y = y1; y <= y2; ++y, row += m_stride) {
            *reinterpret_cast<QRgb*>(row) = colour;
        }
    }

  private:
    uchar* m_bits;
    qsizetype m_stride;  // bytes
    int m_height;
};

// Integer part of a fine-unit coordinate, in pixels, as DrawingBoard maps it.
int pixelColumn(double fineX) {
    return static_cast<int>(fineX / DrawingBoard::kFineX);
}

// Bytes between the sample positions of neighbouring frames, as each layout reads them: the
// frame size of its channels and width.
int layoutStride(Layout layout) {
    switch (layout) {
        case Layout::Mono8:
            return 1;
        case Layout::Mono16:
        case Layout::Stereo8:
            return 2;
        case Layout::Mono24:
            return 3;
        case Layout::Stereo16:
        case Layout::MonoFloat:
            return 4;
        case Layout::Stereo24:
            return 6;
        case Layout::StereoFloat:
            return 8;
        case Layout::None:
            break;
    }
    return 0;
}

// The two samples a column shows, as fractions of full scale (-1..1): for one channel the
// sample at the position and the next, for two the left and the right of the frame there. 8-bit
// layouts read their bytes themselves.
std::array<double, 2> samplesOf(Layout layout, const std::array<std::uint8_t, 8>& v) {
    const auto s24 = [&](int at) { return audio::readS24(v.data() + at) / 8388608.0; };
    const auto f32 = [&](int at) {
        float x;
        std::memcpy(&x, v.data() + at, sizeof x);
        return std::isfinite(x) ? std::clamp(double(x), -1.0, 1.0) : 0.0;
    };
    const auto i16 = [&](int at) {
        return static_cast<std::int16_t>(v[at] | (v[at + 1] << 8)) / 32768.0;
    };
    switch (layout) {
        case Layout::Mono16:
        case Layout::Stereo16:
            return {i16(0), i16(2)};
        case Layout::Mono24:
        case Layout::Stereo24:
            return {s24(0), s24(3)};
        case Layout::MonoFloat:
        case Layout::StereoFloat:
            return {f32(0), f32(4)};
        default:
            return {0.0, 0.0};
    }
}

// One trace column that lands on the canvas: its pixel column and the sample bytes it shows.
struct Column {
    int px;
    std::int64_t offset;            // into the sample bytes
    std::array<std::uint8_t, 8> v;  // the bytes at offset
};

void drawTrace(QImage& image, Layout layout, const WaveformSource& src, int w, int h) {
    const int stride = layoutStride(layout);
    const int dataColumns = static_cast<int>(w * DrawingBoard::kFineX);
    // The frame size of the channels and width, whatever the header's block align claims.
    const std::int64_t frames = src.dataSize / stride;
    const float sampleStep = dataColumns > 0 ? float(double(frames) / dataColumns) : 0.0f;

    std::vector<Column> columns;
    columns.reserve(kColumnCount);
    double x = 0;  // fine units
    for (int j = 1; j <= kColumnCount; ++j) {
        const int px = pixelColumn(x);
        if (px >= image.width()) {
            break;  // x only grows: the rest of the columns lie beyond the canvas
        }
        const auto k = static_cast<std::int64_t>(std::floor(j * double(sampleStep)));
        columns.push_back({px, stride * k, {}});
        // Every layout, two channels of 16 bits too, advances one fine unit a column: the trace
        // then spans the board as the ruler below it does, and a second of sound sits over its
        // second on the ruler.
        x += 1;
    }
    // One read per column: from a long file, pread of the few bytes each needs costs less than
    // faulting in a page for each (and a pool of reading threads measured slower still).
    const SampleReader reader(src);
    for (Column& col : columns) {
        col.v = reader.at(col.offset);
    }

    const double mono = std::trunc(h * 8.0);
    const double upper = std::trunc(h * 5.0);
    const double lower = std::trunc(h * 12.0);
    // Full scale reaches the edge of its band: the board's top and bottom around the mono
    // centre, the top edge for the upper trace, the board's bottom for the lower one. The inner
    // strokes keep their old share of the outer ones (12/26, 10/24, 6/11).
    const double monoReach = mono;
    const double upperReach = upper;
    const double lowerReach = h * double(DrawingBoard::kFineY) - lower;
    const QRgb green = qRgb(0, 255, 0);
    const QRgb darkGreen = qRgb(0, 236, 0);
    const QRgb red = qRgb(255, 0, 0);
    const QRgb darkRed = qRgb(232, 0, 0);
    StrokePainter paint(image);
    for (const Column& col : columns) {
        const auto& v = col.v;
        const int px = col.px;
        switch (layout) {
            case Layout::Mono8: {
                const double a = (v[0] - 128) / 128.0, b = (v[1] - 128) / 128.0;
                const double outer = monoReach, inner = monoReach * 12 / 26;
                paint.stroke(px, mono - a * outer, mono + b * outer, green);
                paint.stroke(px, mono - a * inner, mono + b * inner, darkGreen);
                break;
            }
            case Layout::Mono16:
            case Layout::Mono24:
            case Layout::MonoFloat: {
                const auto [a, b] = samplesOf(layout, v);
                const double outer = monoReach, inner = monoReach * 10 / 24;
                paint.stroke(px, mono - a * outer, mono + b * outer, green);
                paint.stroke(px, mono - a * inner, mono + b * inner, darkGreen);
                break;
            }
            case Layout::Stereo8: {
                const double a = (v[0] - 128) / 128.0, b = (v[1] - 128) / 128.0;
                const double c = (v[2] - 128) / 128.0, d = (v[3] - 128) / 128.0;
                paint.stroke(px, upper - a * upperReach, upper + b * upperReach, green);
                paint.stroke(px, upper - a * upperReach * 6 / 11, upper + b * upperReach * 6 / 11,
                             darkGreen);
                paint.stroke(px, lower - c * lowerReach, lower + d * lowerReach, red);
                paint.stroke(px, lower - c * lowerReach * 6 / 11, lower + d * lowerReach * 6 / 11,
                             darkRed);
                break;
            }
            case Layout::Stereo16:
            case Layout::Stereo24:
            case Layout::StereoFloat: {
                const auto [a, b] = samplesOf(layout, v);
                paint.stroke(px, upper - a * upperReach, upper + b * upperReach, green);
                break;
            }
            case Layout::None:
                return;
        }
    }
}

QRgb lastStrokeColour(Layout layout) {
    if (layout == Layout::Stereo8) {
        return qRgb(232, 0, 0);
    }
    return isMono(layout) ? qRgb(0, 236, 0) : qRgb(0, 255, 0);
}

}  // namespace

namespace {

constexpr std::int64_t kMapAtMost = 192ll << 20;  // bytes; see SampleAccess

// Four printable ASCII characters, as every chunk's id is; samples rarely are.
bool isChunkId(const std::uint8_t (&id)[4]) {
    return std::all_of(std::begin(id), std::end(id),
                       [](std::uint8_t c) { return c >= 0x20 && c <= 0x7E; });
}

// Everything but where the samples live, from the engine's reading of the file's chunks.
WaveformSource describe(const audio::WavReader& read, std::int64_t fileSize) {
    WaveformSource src;
    src.wav = fileSize > 0 && audio::readWavLayout(read, static_cast<std::uint64_t>(fileSize),
                                                   &src.layout) == audio::WavVerdict::Playable;
    if (!src.wav) {
        return src;
    }
    // The declared size, not whole frames only: a cut recording's last bytes still count.
    const std::int64_t available =
        std::max<std::int64_t>(0, fileSize - static_cast<std::int64_t>(src.layout.dataOffset));
    src.dataSize = std::min<std::int64_t>(src.layout.declaredDataBytes, available);
    // The last column's second sample may lie just past the data; the file's end bounds it, or a
    // chunk after the data (the "LIST" other programs write there), whose bytes are no samples.
    src.sampleBytes = available;
    const std::uint64_t declared = src.layout.declaredDataBytes;
    const std::uint64_t dataEnd = src.layout.dataOffset + declared + (declared & 1u);
    if (std::uint8_t id[4]; dataEnd + 8 <= static_cast<std::uint64_t>(fileSize) &&
                            read(dataEnd, id, 4) == 4 && isChunkId(id)) {
        src.sampleBytes =
            std::min<std::int64_t>(available, static_cast<std::int64_t>(dataEnd) -
                                                  static_cast<std::int64_t>(src.layout.dataOffset));
    }
    // A byte rate with the top bit set was always taken as negative: no duration.
    if (const std::uint32_t rate = src.layout.byteRate; rate > 0 && rate <= 0x7FFFFFFFu) {
        src.seconds = double(src.dataSize) / rate;
    }
    return src;
}

}  // namespace

WaveformSource waveformSourceOf(QByteArrayView file) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.data());
    const auto length = static_cast<std::uint64_t>(file.size());
    const audio::WavReader read = [bytes, length](std::uint64_t at, void* out, std::uint64_t n) {
        const std::uint64_t got = at >= length ? 0 : std::min(n, length - at);
        if (got > 0) {
            std::memcpy(out, bytes + at, got);
        }
        return got;
    };
    WaveformSource src = describe(read, file.size());
    if (src.sampleBytes > 0) {
        src.samples = bytes + src.layout.dataOffset;
    }
    return src;
}

WaveformSource waveformSourceOf(QFile& file, SampleAccess access) {
    const std::int64_t size = file.size();
    if (access == SampleAccess::Automatic) {
        access = size <= kMapAtMost ? SampleAccess::Map : SampleAccess::Read;
    }
    if (access == SampleAccess::Map && size > 0) {
        if (const uchar* mapped = file.map(0, size)) {
            return waveformSourceOf(QByteArrayView(mapped, size));
        }
    }
    const int fd = file.handle();
    const audio::WavReader read = [fd](std::uint64_t at, void* out, std::uint64_t n) {
        const std::int64_t got = platform::readAt(fd, out, n, at);
        return got > 0 ? static_cast<std::uint64_t>(got) : 0;
    };
    WaveformSource src = describe(read, size);
    src.fd = fd;
    src.fileOffset = static_cast<std::int64_t>(src.layout.dataOffset);
    return src;
}

void drawWaveform(DrawingBoard& board, const WaveformSource& source) {
    board.clear();
    const Layout layout = layoutOf(source);
    if (layout == Layout::None) {
        return;
    }
    const int w = board.width();
    const int h = board.height();
    drawGrid(board, layout, w, h);

    board.setUnit(DrawingBoard::kFineUnits);
    board.setPenStyle(0);
    QImage image = board.canvas().convertToFormat(QImage::Format_RGB32);
    drawTrace(image, layout, source, w, h);
    board.blit(0, 0, image);
    board.setPenColour(lastStrokeColour(layout));
}

void ShowWaveform(App& app, const QString& path) {
    ShowWaveform(app, path, SampleAccess::Automatic);
}

void ShowWaveform(App& app, const QString& path, SampleAccess access) {
    MainForm& f = app.form;
    f.外形框2->move(kCursorStart, f.外形框2->y());
    app.state.waveform_path = path;

    QFile file(path);
    WaveformSource source;
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        source = waveformSourceOf(file, access);
    }
    app.state.waveform_seconds = static_cast<float>(source.seconds);

    f.画板3->setVisible(true);
    f.画板4->setVisible(false);
    f.画板4->clear();
    drawWaveform(*f.画板3, source);
    DrawTimeRuler(*f.画板5, app.state.waveform_seconds, f.画板3->width());
    file.close();  // also unmaps
}

}  // namespace quillar
