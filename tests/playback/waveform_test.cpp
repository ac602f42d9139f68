#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>

#include "board_pixels.h"
#include "kit/drawing_board.h"
#include "kit/main_form.h"
#include "kit/shape_box.h"
#include "playback/time_ruler.h"
#include "playback/waveform_view.h"
#include "record/wav_image.h"
#include "support/test_app.h"
#include "wav_bytes.h"

namespace quillar::test {
namespace {

TEST(Waveform, EachLayoutHasItsGrid) {
    const struct {
        const char* name;
        std::int16_t channels, bits;
        QByteArray samples;
        std::vector<int> vertical, horizontal;
    } cases[] = {
        {"mono 8",
         1,
         8,
         pcm8(1, 8000, [](int, int) { return 128; }),
         multiples(32, 640),
         {21, 43, 64, 86}},
        {"mono 16",
         1,
         16,
         pcm16(1, 8000, [](int, int) { return 0; }),
         multiples(32, 640),
         {21, 43, 64, 86}},
        {"stereo 8",
         2,
         8,
         pcm8(2, 8000, [](int, int) { return 128; }),
         multiples(56, 616),
         {32, 64}},
        {"stereo 16",
         2,
         16,
         pcm16(2, 8000, [](int, int) { return 0; }),
         multiples(32, 640),
         {32, 64}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto board = makeBoard();
        WavFields f;
        f.channels = c.channels;
        f.bits = c.bits;
        draw(*board, wavBytes(f, c.samples));
        const QImage& img = board->canvas();
        EXPECT_EQ(columnsWith(img, 2, kGrey), c.vertical);
        EXPECT_EQ(rowsWith(img, 5, kGrey), c.horizontal);
    }
}

// The first and last column of row y that the trace covers, in any of its colours.
std::pair<int, int> traceSpan(const QImage& img, int y) {
    std::vector<int> xs;
    for (QRgb c : {kGreen, qRgb(0, 236, 0), qRgb(255, 0, 0), qRgb(232, 0, 0)}) {
        const std::vector<int> with = columnsWith(img, y, c);
        xs.insert(xs.end(), with.begin(), with.end());
    }
    if (xs.empty()) {
        return {-1, -1};
    }
    return {*std::min_element(xs.begin(), xs.end()), *std::max_element(xs.begin(), xs.end())};
}

// Trace and ruler agree in every layout: a 2-second file silent for its first second shows its
// sound from the ruler's 1-second mark (x = 664 * 1000 / 2000 = 332) to the board's right edge.
TEST(Waveform, EveryLayoutDrawsItsSecondsOverTheRuler) {
    const auto loudLate = [](int, int i) { return i < 8000 ? 0 : 30000; };
    const auto loudLate8 = [](int, int i) { return i < 8000 ? 128 : 250; };
    const struct {
        const char* name;
        int channels, bits;
        QByteArray samples;
    } cases[] = {
        {"mono 8", 1, 8, pcm8(1, 16000, loudLate8)},
        {"mono 16", 1, 16, pcm16(1, 16000, loudLate)},
        {"stereo 8", 2, 8, pcm8(2, 16000, loudLate8)},
        {"stereo 16", 2, 16, pcm16(2, 16000, loudLate)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto board = makeBoard();
        WavFields f;
        f.channels = c.channels;
        f.bits = c.bits;
        f.rate = 8000;
        draw(*board, wavBytes(f, c.samples));
        const QImage& img = board->canvas();
        const auto [first, last] = traceSpan(img, 10);
        EXPECT_NEAR(first, 332, 1);
        EXPECT_EQ(last, 663);
    }
}

TEST(Waveform, StereoSixteenBitDrawsLeftUpAndRightDownAroundTheUpperCentre) {
    auto board = makeBoard();
    // The upper centre lies at 455 fine units (91 * 5), and full scale reaches the top edge. Left
    // at half scale reaches 227.5 fine units above it (row 227 / 16 = 14); right at a quarter
    // 113.75 below it (row 568 / 16 = 35).
    draw(*board,
         wavBytes(WavFields{}, pcm16(2, 4000, [](int ch, int) { return ch == 0 ? 16384 : 8192; })));
    const std::vector<int> rows = rowsWith(board->canvas(), 100, kGreen);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front(), 14);
    EXPECT_EQ(rows.back(), 35);
}

// Where full scale reaches in each layout of a 91-pixel board (1456 fine units): a take at full
// scale touches the edge of its band and no more, one at half scale half way. Before, the
// factors put full scale 3 to 4.5 times beyond the board, so every well-levelled take was a
// solid block and a clipped one looked the same.
TEST(Waveform, FullScaleJustReachesTheEdgeOfItsBand) {
    const QRgb red = qRgb(255, 0, 0), darkGreen = qRgb(0, 236, 0);
    constexpr double kFull = 1.0, kHalf = 0.5, kZero = 0.0;
    const struct {
        const char* name;
        std::int16_t channels, bits;
        double left, right;  // fractions of full scale, the same in every frame
        QRgb colour;         // of the stroke looked at
        int top, bottom;     // its first and last row in column 100 (-1: not looked at)
    } cases[] = {
        // Mono: centre 728 (91 * 8); up by a * 728, down by b * 728.
        {"mono 16 full", 1, 16, kFull, kFull, kGreen, 0, 90},
        {"mono 16 half", 1, 16, kHalf, kHalf, kGreen, 22, 68},            // 364 .. 1092
        {"mono 16 half, inner", 1, 16, kHalf, kHalf, darkGreen, 36, 54},  // 10/24 of that
        {"mono 8 full", 1, 8, kFull, kFull, kGreen, 0, 90},
        // Stereo 8: the upper trace (centre 455) reaches the top edge with the left channel; the
        // lower one (centre 1092) the bottom edge with the right channel.
        {"stereo 8 upper, full left", 2, 8, kFull, kZero, kGreen, 0, -1},
        {"stereo 8 lower, full right", 2, 8, kZero, kFull, red, -1, 90},
        // Stereo 16: left up from 455 to the top edge.
        {"stereo 16 full left", 2, 16, kFull, kZero, kGreen, 0, 28},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto board = makeBoard();
        WavFields f;
        f.channels = c.channels;
        f.bits = c.bits;
        const auto level = [&](int ch) { return ch == 0 ? c.left : c.right; };
        const QByteArray samples =
            c.bits == 8
                ? pcm8(c.channels, 8000,
                       [&](int ch, int) { return std::min(255, 128 + int(level(ch) * 128)); })
                : pcm16(c.channels, 8000,
                        [&](int ch, int) { return std::min(32767, int(level(ch) * 32768)); });
        draw(*board, wavBytes(f, samples));
        const std::vector<int> rows = rowsWith(board->canvas(), 100, c.colour);
        ASSERT_FALSE(rows.empty());
        if (c.top >= 0) {
            EXPECT_EQ(rows.front(), c.top);
        }
        if (c.bottom >= 0) {
            EXPECT_EQ(rows.back(), c.bottom);
        }
    }
}

// Quillar's own wider recordings: 24-bit PCM and 32-bit float are drawn with the geometry of the
// 16-bit layout of the same channel count, so the same sound gives the same picture.
TEST(Waveform, TwentyFourBitAndFloatDrawLikeSixteenBit) {
    const auto value = [](int ch, int i) {  // multiples of 1/256 of full scale: exact in all
        return ((i / 50) % 200 - 100) * (ch == 0 ? 256 : 128);
    };
    for (const std::int16_t channels : {1, 2}) {
        SCOPED_TRACE(channels);
        WavFields f16;
        f16.channels = channels;
        auto reference = makeBoard();
        draw(*reference, wavBytes(f16, pcm16(channels, 20000, value)));
        QByteArray s24, sFloat;
        for (int i = 0; i < 20000; ++i) {
            for (int ch = 0; ch < channels; ++ch) {
                putLe(s24, std::uint32_t(value(ch, i) * 256) & 0xFFFFFFu, 3);
                const float x = float(value(ch, i) / 32768.0);
                std::uint32_t bits;
                std::memcpy(&bits, &x, 4);
                putLe(sFloat, bits, 4);
            }
        }
        WavFields f24 = f16, fFloat = f16;
        f24.bits = 24;
        fFloat.bits = 32;
        fFloat.formatTag = 3;
        for (const auto& [name, file] : {std::pair{"24-bit", wavBytes(f24, s24)},
                                         std::pair{"float", wavBytes(fFloat, sFloat)}}) {
            auto board = makeBoard();
            draw(*board, file);
            EXPECT_FALSE(onlyBackground(board->canvas(), kWaveBackground.rgb())) << name;
            EXPECT_TRUE(board->canvas() == reference->canvas()) << name;
        }
    }
}

TEST(Waveform, FormatsWithoutALayoutLeaveTheBoardCleared) {
    const struct {
        const char* name;
        std::int16_t tag, channels, bits;
    } cases[] = {{"32-bit integer PCM", 1, 2, 32},
                 {"24-bit float", 3, 1, 24},
                 {"three channels", 1, 3, 16},
                 {"no channels", 1, 0, 16},
                 {"negative channels", 1, -1, 16}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto board = makeBoard();
        board->line(0, 0, 600, 80);  // something to clear
        WavFields f;
        f.formatTag = c.tag;
        f.channels = c.channels;
        f.bits = c.bits;
        f.blockAlign = 4;
        draw(*board, wavBytes(f, QByteArray(8000, '\x40')));
        EXPECT_TRUE(onlyBackground(board->canvas(), kWaveBackground.rgb()));
    }
}

TEST(Waveform, EighteenByteFmtChunkIsDrawnFromOffset46) {
    // Loud frames first: with the samples taken from 46 the first column reaches 16000 / 32768 of
    // the way from the centre (728) to the top, row 372 / 16 = 23; taken from 44 it would read
    // the size bytes (2000) instead and stay near the centre, row 42.
    QByteArray samples = pcm16(1, 1000, [](int, int i) { return i < 30 ? 16000 : 0; });
    WavFields f;
    f.channels = 1;
    f.fmt18 = true;
    const QByteArray file = wavBytes(f, samples);
    const WaveformSource src = waveformSourceOf(file);
    EXPECT_EQ(src.samples, reinterpret_cast<const std::uint8_t*>(file.constData()) + 46);
    EXPECT_EQ(src.dataSize, 2000);
    EXPECT_EQ(src.sampleBytes, 2000);
    EXPECT_DOUBLE_EQ(src.seconds, 1000.0 / 44100);

    auto board = makeBoard();
    drawWaveform(*board, src);
    EXPECT_EQ(rowsWith(board->canvas(), 0, kGreen).front(), 23);
}

// What the header says against what the file holds.
TEST(Waveform, SourceNeverReachesBeyondTheFile) {
    const QByteArray samples(1000, '\0');
    const struct {
        const char* name;
        std::int64_t dataSize, byteRate;
        std::int64_t wantData;
        double wantSeconds;
    } cases[] = {
        {"as written", -1, 4000, 1000, 0.25},
        {"oversized", 400000000, 4000, 1000, 0.25},
        {"top bit set", 0xFFFFFFFF, 4000, 1000, 0.25},
        {"shorter than the file", 400, 4000, 400, 0.1},
        {"zero data", 0, 4000, 0, 0.0},
        {"byte rate 0", -1, 0, 1000, 0.0},
        {"negative byte rate", -1, 0x80000000, 1000, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WavFields f;
        f.dataSize = c.dataSize;
        f.byteRate = c.byteRate;
        const QByteArray file = wavBytes(f, samples);
        const WaveformSource src = waveformSourceOf(file);
        EXPECT_EQ(src.dataSize, c.wantData);
        EXPECT_EQ(src.sampleBytes, 1000);  // with "data" at 36 the samples run to the end
        EXPECT_DOUBLE_EQ(src.seconds, c.wantSeconds);
    }
    for (int length : {0, 1, 43, 44, 45}) {
        const WaveformSource src = waveformSourceOf(wavBytes(WavFields{}, samples).left(length));
        EXPECT_EQ(src.dataSize, std::max(0, length - 44)) << length;
        EXPECT_EQ(src.sampleBytes, std::max(0, length - 44)) << length;
    }
}

// Files whose samples do not start at byte 44: the "data" chunk is found wherever it is, so the
// picture is the one of the same samples in a plain file, from memory and read from disk alike.
TEST(Waveform, ChunksBeforeTheDataOrAnExtensibleFormatDrawTheSamePicture) {
    const QByteArray samples = pcm16(
        2, 3000, [](int ch, int i) { return int(20000 * std::sin(i * (ch == 0 ? 0.01 : 0.023))); });
    const QByteArray plain = wavBytes(WavFields{}, samples);
    const auto withChunk = [&](const char* id, int size) {
        QByteArray chunk(id, 4);
        putLe(chunk, std::uint64_t(size), 4);
        chunk.append(QByteArray(size + (size & 1), 'x'));  // chunks are padded to an even size
        return QByteArray(plain).insert(36, chunk);
    };
    WavFields extensible;
    extensible.subFormat = 1;
    // Another program's LIST after the samples, the RIFF size counting it: a reader that took
    // its bytes for samples would draw them in the last column.
    QByteArray listAfter = plain + QByteArray("LIST\x10\0\0\0INFOINAM\x04\0\0\0abc\0", 24);
    QByteArray riffSize;
    putLe(riffSize, std::uint64_t(listAfter.size() - 8), 4);
    listAfter.replace(4, 4, riffSize);
    const struct {
        const char* name;
        QByteArray file;
    } cases[] = {
        {"LIST chunk before the data", withChunk("LIST", 26)},
        {"LIST chunk after the data", listAfter},
        {"odd-sized chunk and its pad byte", withChunk("junk", 5)},
        {"extensible fmt chunk", wavBytes(extensible, samples)},
    };
    const auto expected = makeBoard();
    draw(*expected, plain);
    ASSERT_GE(rightmostWith(expected->canvas(), kGreen), 0);
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const WaveformSource src = waveformSourceOf(c.file);
        EXPECT_EQ(src.dataSize, samples.size());
        EXPECT_DOUBLE_EQ(src.seconds, 3000.0 / 44100);
        auto board = makeBoard();
        drawWaveform(*board, src);
        EXPECT_EQ(board->canvas(), expected->canvas());

        QFile file(dir.filePath("take.wav"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(c.file);
        file.close();
        ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
        drawWaveform(*board, waveformSourceOf(file, SampleAccess::Read));
        EXPECT_EQ(board->canvas(), expected->canvas());
    }
}

TEST(Waveform, HostileHeadersDrawWithoutFault) {
    const QByteArray samples = pcm16(2, 3000, [](int, int i) { return (i * 37) % 30000 - 15000; });
    const auto with = [&](auto edit) {
        WavFields f;
        edit(f);
        return wavBytes(f, samples);
    };
    const struct {
        const char* name;
        QByteArray file;
        bool trace;
    } cases[] = {
        {"block align 0", with([](WavFields& f) { f.blockAlign = 0; }), true},
        {"negative block align", with([](WavFields& f) { f.blockAlign = 0x8000; }), true},
        {"byte rate 0", with([](WavFields& f) { f.byteRate = 0; }), true},
        {"data size -1", with([](WavFields& f) { f.dataSize = 0xFFFFFFFF; }), true},
        {"data size 2^31", with([](WavFields& f) { f.dataSize = 0x80000000; }), true},
        {"18-byte fmt, size beyond the file", with([](WavFields& f) {
             f.fmt18 = true;
             f.dataSize = 0x7FFFFFFF;
         }),
         true},
        {"header only", with([](WavFields&) {}).left(44), true},
        {"ten bytes", with([](WavFields&) {}).left(10), false},
        {"empty", QByteArray(), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto board = makeBoard();
        draw(*board, c.file);
        EXPECT_EQ(columnsWith(board->canvas(), 2, kGrey).empty(), !c.trace);
    }
}

// An independent, slow drawing of the same picture, one board line per stroke, straight from
// each layout's stroke formulas: the fast painter must give the same pixels.
void referenceDrawing(DrawingBoard& b, const QByteArray& file) {
    const auto u8 = [&](std::int64_t at) {
        return at + 44 < file.size() ? int(std::uint8_t(file[int(at + 44)])) : 0;
    };
    const auto s16 = [&](std::int64_t at) { return int(std::int16_t(u8(at) | u8(at + 1) << 8)); };
    const auto field = [&](int at, int n) {
        std::int64_t v = 0;
        for (int i = n - 1; i >= 0; --i) {
            v = v << 8 | std::uint8_t(file[at + i]);
        }
        return v;
    };
    const int channels = int(field(22, 2)), bits = int(field(34, 2));
    const std::int64_t frames = field(40, 4) / field(32, 2);
    const int w = b.width(), h = b.height();
    const float step = float(double(frames) / int(w * 23.5));
    b.clear();
    b.setUnit(0);
    b.setPenColour(QColor(105, 105, 105));
    const bool stereo = channels == 2;
    const int count = channels == 2 && bits == 8 ? 16 : 28;
    const double vStep = channels == 2 && bits == 8 ? 56 : 32, hStep = stereo ? 32 : 21.5;
    for (int i = 1; i <= count; ++i) {
        b.setPenStyle(0);
        b.line(int(vStep * i), 0, int(vStep * i), h);
        if (int(hStep * i) <= 256) {
            if (stereo && int(hStep * i) == 128) {
                b.setPenStyle(4);
            }
            b.line(0, int(hStep * i), w, int(hStep * i));
        }
    }
    b.setUnit(2);
    const double mono = int(h * 8), upper = int(h * 5), lower = int(h * 12);
    const auto stroke = [&](double x, double c, double up, double down, QColor colour) {
        b.setPenColour(colour);
        b.line(x, std::trunc(c - up), x, std::trunc(c + down));
    };
    const QColor g(0, 255, 0), dg(0, 236, 0), r(255, 0, 0), dr(232, 0, 0);
    double x = 0;
    for (int j = 1; j <= 21150; ++j) {
        const auto k = std::int64_t(j * double(step));
        // Full scale reaches the band's edge: mono's top, the upper trace's top, the board's
        // bottom for the lower trace; inner strokes 12/26, 10/24 and 6/11 of the outer ones.
        const double bottom = h * 16 - lower;
        const auto n8 = [&](std::int64_t at) { return (u8(at) - 128) / 128.0; };
        const auto n16 = [&](std::int64_t at) { return s16(at) / 32768.0; };
        if (channels == 1 && bits == 8) {
            stroke(x, mono, n8(k) * mono, n8(k + 1) * mono, g);
            stroke(x, mono, n8(k) * mono * 12 / 26, n8(k + 1) * mono * 12 / 26, dg);
        } else if (channels == 1) {
            stroke(x, mono, n16(2 * k) * mono, n16(2 * k + 2) * mono, g);
            stroke(x, mono, n16(2 * k) * mono * 10 / 24, n16(2 * k + 2) * mono * 10 / 24, dg);
        } else if (bits == 8) {
            stroke(x, upper, n8(2 * k) * upper, n8(2 * k + 1) * upper, g);
            stroke(x, upper, n8(2 * k) * upper * 6 / 11, n8(2 * k + 1) * upper * 6 / 11, dg);
            stroke(x, lower, n8(2 * k + 2) * bottom, n8(2 * k + 3) * bottom, r);
            stroke(x, lower, n8(2 * k + 2) * bottom * 6 / 11, n8(2 * k + 3) * bottom * 6 / 11, dr);
        } else {
            stroke(x, upper, n16(4 * k) * upper, n16(4 * k + 2) * upper, g);
        }
        x += 1;
    }
}

TEST(Waveform, FastPainterMatchesOneLinePerStroke) {
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 1.0);
    const auto speechLike = [&](double scale) {
        return [&, scale](int ch, int i) {
            const double env = std::sin(i / 3000.0) * std::sin(i / 3000.0);
            return int(std::clamp(scale * env * (noise(rng) + (ch ? 0.3 : -0.3)), -scale, scale));
        };
    };
    const struct {
        const char* name;
        std::int16_t channels, bits;
        int frames;
        int w, h;
    } cases[] = {
        {"mono 8", 1, 8, 30000, 664, 91},
        {"mono 16", 1, 16, 90000, 664, 91},
        {"stereo 8", 2, 8, 50000, 664, 91},
        {"stereo 16", 2, 16, 120000, 664, 91},
        {"stereo 16, few frames", 2, 16, 700, 664, 91},
        {"mono 16, narrow", 1, 16, 5000, 200, 60},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WavFields f;
        f.channels = c.channels;
        f.bits = c.bits;
        const QByteArray samples =
            c.bits == 8 ? pcm8(c.channels, c.frames,
                               [&](int ch, int i) { return 128 + speechLike(127)(ch, i); })
                        : pcm16(c.channels, c.frames, speechLike(32767));
        const QByteArray file = wavBytes(f, samples);
        auto fast = makeBoard(c.w, c.h);
        auto slow = makeBoard(c.w, c.h);
        draw(*fast, file);
        referenceDrawing(*slow, file);
        ASSERT_EQ(fast->canvas().size(), QSize(c.w, c.h));
        EXPECT_TRUE(fast->canvas() == slow->canvas());
    }
}

// A take as the program writes it (its own 44-byte header) draws what the reading of fixed
// offsets drew before the view read the chunks.
TEST(Waveform, ATakeTheProgramWroteDrawsAsBefore) {
    for (const std::uint16_t channels : {1, 2}) {
        for (const std::uint16_t bits : {8, 16}) {
            SCOPED_TRACE(testing::Message() << channels << " channels, " << bits << " bits");
            const int frames = 20000;
            const auto value = [&](int ch, int i) {
                const double v = std::sin(i * (ch == 0 ? 0.003 : 0.011)) * std::sin(i / 900.0);
                return bits == 8 ? 128 + int(127 * v) : int(32767 * v);
            };
            const QByteArray samples =
                bits == 8 ? pcm8(channels, frames, value) : pcm16(channels, frames, value);
            const auto header =
                wavHeaderBytes(std::uint32_t(samples.size()), 44100, bits, channels);
            const QByteArray file =
                QByteArray(reinterpret_cast<const char*>(header.data()), qsizetype(header.size())) +
                samples;
            auto drawn = makeBoard();
            auto before = makeBoard();
            draw(*drawn, file);
            referenceDrawing(*before, file);
            EXPECT_TRUE(drawn->canvas() == before->canvas());
        }
    }
}

}  // namespace
}  // namespace quillar::test
