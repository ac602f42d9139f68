#include "spectrum/live_display.h"

#include <vector>

#include "spectrum/palette_frame.h"

namespace quillar {

int spectrum_bar_count = 0;
int spectrum_height = 0;
int spectrum_width = 0;
QPointer<DrawingBoard> spectrum_window;
SpectrumBitmapInfo spectrum_bitmap_info;

namespace {

// Only dereferenced while spectrum_window is alive: the engine outlives the window's controls.
const audio::AudioEngine* spectrum_engine = nullptr;

// Working memory kept between frames so that a frame allocates no buffers of its own; every frame
// overwrites all of it before use, so nothing carries over.
struct Scratch {
    spectrum::Frame frame{};
    spectrum::Frame shown{};  // the frame `image` holds, once it holds one
    QImage image;             // the frame as the board shows it, 32-bit
    std::vector<float> samples;
    std::array<float, spectrum::kFftBins> bins{};
};

Scratch& scratch() {
    static Scratch s;
    return s;
}

void CopyFrameToBoard(const spectrum::Frame& frame) {
    Scratch& s = scratch();
    const bool fresh = s.image.isNull();
    if (fresh) {
        s.image = QImage(spectrum_width, spectrum_height, QImage::Format_RGB32);
    }
    spectrum::FrameToRgb32(frame, spectrum_bitmap_info.colour_table, s.image,
                           fresh ? nullptr : &s.shown);
    s.shown = frame;
    spectrum_window->blit(0, 0, s.image);
}

}  // namespace

void 初始化频谱(DrawingBoard& board, const audio::AudioEngine& engine) {
    spectrum_bar_count = spectrum::kBarCount;
    spectrum_height = spectrum::kFrameHeight;
    spectrum_width = spectrum::kFrameWidth;
    board.resize(505, spectrum_height);
    spectrum_window = &board;
    spectrum_engine = &engine;
    spectrum_bitmap_info.width = spectrum_width;
    spectrum_bitmap_info.height = spectrum_height;
    spectrum_bitmap_info.bit_count = 8;
    spectrum_bitmap_info.colours_used = 256;
    spectrum_bitmap_info.colour_table = spectrum::ColourTable();
    scratch().image = QImage();
}

void 开始绘制频谱(audio::Handle channel, int style) {
    if (spectrum_window.isNull() || spectrum_engine == nullptr) {
        return;
    }
    if (style == 0) {
        DrawWaveFrame(channel);
    } else if (style == 1) {
        DrawBarFrame(channel);
    }
}

void DrawWaveFrame(audio::Handle channel) {
    if (spectrum_window.isNull() || spectrum_engine == nullptr) {
        return;
    }
    Scratch& s = scratch();
    const std::uint32_t chans = spectrum_engine->channelCount(channel);
    s.samples.assign(std::size_t(chans) * spectrum::kWaveFrames, 0.0f);
    if (chans > 0) {
        // On failure the buffer stays zero: a flat line per channel, as for silence.
        spectrum_engine->latestSamples(channel, s.samples.data(), spectrum::kWaveFrames);
    }
    spectrum::FillWaveFrame(s.samples, chans, s.frame);
    CopyFrameToBoard(s.frame);
}

void DrawBarFrame(audio::Handle channel) {
    if (spectrum_window.isNull() || spectrum_engine == nullptr) {
        return;
    }
    Scratch& s = scratch();
    s.bins.fill(0.0f);
    // On failure the bins stay zero and every bar is empty: a black frame.
    spectrum_engine->spectrum2048(channel, s.bins.data());
    spectrum::FillBarFrame(s.bins, s.frame);
    CopyFrameToBoard(s.frame);
}

}  // namespace quillar
