// The judgement of a take: its level, background noise and signal-to-noise ratio from 50 ms
// windows, the problems found and the verdict (good, check or redo). One definition serves the
// window (fed block by block as the take is made), the take log and quillar-check (fed a file).
// A TakeJudge belongs to one thread at a time; nothing here touches a widget or a file.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "quality/speech_interval.h"
#include "quality/window_levels.h"

namespace quillar::quality {

// How the samples are stored (little-endian, interleaved frames).
enum class SampleFormat : std::uint8_t { U8, S16, S24, S32, F32, F64 };

// The format of `bits` per sample with `isFloat`; false when none fits.
bool SampleFormatOf(std::uint16_t bits, bool isFloat, SampleFormat* format);
std::size_t BytesPerSample(SampleFormat format);

// Problems, as bits of Judgement::problems, in the order they are named.
using Problem = std::uint32_t;
inline constexpr Problem kClipped = 1u << 0;
inline constexpr Problem kSilent = 1u << 1;
inline constexpr Problem kCutStart = 1u << 2;
inline constexpr Problem kCutEnd = 1u << 3;
inline constexpr Problem kNoisy = 1u << 4;
inline constexpr Problem kTooQuiet = 1u << 5;
inline constexpr Problem kTooLoud = 1u << 6;
inline constexpr Problem kDeadChannel = 1u << 7;
inline constexpr Problem kDcOffset = 1u << 8;
inline constexpr Problem kUnreadable = 1u << 9;
inline constexpr Problem kFormat = 1u << 10;

enum class Verdict : std::uint8_t { Good, Check, Redo };

struct Judgement {
    // dBFS; -inf for digital silence. snr is the speech windows' level over the noise's
    // (+inf over digitally silent noise, 0 when both are silent).
    // NaN: not known (a take logged before takes were judged).
    double peakDbfs = -INFINITY;
    double noiseDbfs = -INFINITY;
    double snrDb = 0.0;
    std::uint32_t problems = 0;  // Problem bits
    bool noiseRedo = false;      // kNoisy at the redo level rather than the check level
    Verdict verdict = Verdict::Good;
    std::uint64_t frames = 0;
    // Where the speech lies (speech_interval.h); empty for a take without any.
    SpeechInterval speech{};

    bool has(Problem p) const { return (problems & p) != 0; }
};

// Sets j's verdict from its problems.
void SettleVerdict(Judgement& j);

// "good", "check", "redo".
QString VerdictName(Verdict v);
// The verdict named `name` (UTF-8); false for any other text.
bool ParseVerdict(QByteArrayView name, Verdict* v);
// The names of j's problems in their order ("clipped", "cut_start", ...).
QStringList ProblemNames(const Judgement& j);
// The Problem bits of `;`-separated names (UTF-8); unknown names are passed over.
std::uint32_t ProblemsOf(QByteArrayView names);
// The same problems in words for the user ("开头被截断", ...).
QStringList ProblemWords(const Judgement& j);
// A figure in dBFS or dB with `decimals` decimals; "-inf" / "inf" for the infinities.
QString DbText(double db, int decimals = 1);

// Reads the samples of a take as they come, in pieces of any size (a frame may be split across
// two calls), and judges what it has read so far. Memory grows by 16 bytes per channel and 10 ms
// (the speech frames) and as much per 50 ms (the windows).
class TakeJudge {
  public:
    TakeJudge() = default;
    // `channels` 1..8, `rate` in Hz.
    TakeJudge(SampleFormat format, int channels, std::uint32_t rate);

    void feed(const std::uint8_t* data, std::size_t bytes);
    // The judgement of everything fed so far (the last window may be short).
    Judgement judge() const;
    std::uint64_t frames() const { return m_frames; }

  private:
    using Window = WindowSums;
    template <class Reader>
    void feedFrames(const std::uint8_t* data, std::size_t frames);
    void closeWindow();

    SampleFormat m_format = SampleFormat::S16;
    int m_channels = 0;
    std::size_t m_frameBytes = 0;
    std::uint32_t m_windowFrames = 1;
    // Raw sample units; the scale turns them into fractions of full scale.
    double m_scale = 1.0;
    std::uint64_t m_frames = 0;
    std::uint32_t m_inWindow = 0;   // frames in the open window
    std::vector<Window> m_open;     // per channel, the open window
    std::vector<Window> m_windows;  // closed windows, channel by channel within a window
    std::uint32_t m_rate = 0;
    std::uint32_t m_speechFrames = 1;     // frames in one speech frame
    std::uint32_t m_inSpeech = 0;         // frames in the open speech frame
    std::vector<Window> m_speechOpen;     // per channel, the open speech frame
    std::vector<Window> m_speech;         // closed speech frames, as m_windows
    std::vector<double> m_peak;           // per channel, largest magnitude (raw units)
    std::vector<std::uint8_t> m_clipped;  // per channel
    std::uint8_t m_carry[64] = {};        // a frame split across two feeds
    std::size_t m_carried = 0;
};

// The judgement of a whole stretch of samples.
Judgement JudgeSamples(SampleFormat format, int channels, std::uint32_t rate,
                       const std::uint8_t* data, std::size_t bytes);

}  // namespace quillar::quality
