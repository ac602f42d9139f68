#include "quality/take_judge.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "audio/sample_packing.h"
#include "quality/level_math.h"
#include "quality/quality_limits.h"

namespace quillar::quality {

namespace {

// Sample readers: raw values in their own units. Integer widths are summed in 64-bit integers
// within a window (exact, and the fast path for the usual 16-bit takes); 32-bit PCM and floats
// in doubles.
struct U8Reader {
    static constexpr bool kInteger = true;
    static constexpr int kMin = -128;
    static constexpr int kMax = 127;
    static int read(const std::uint8_t* p) { return int{p[0]} - 128; }
};
struct S16Reader {
    static constexpr bool kInteger = true;
    static constexpr int kMin = -32768;
    static constexpr int kMax = 32767;
    static int read(const std::uint8_t* p) {
        std::int16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
};
struct S24Reader {
    static constexpr bool kInteger = true;
    static constexpr int kMin = -8388608;
    static constexpr int kMax = 8388607;
    static int read(const std::uint8_t* p) { return audio::readS24(p); }
};
struct S32Reader {
    static constexpr bool kInteger = false;
    static double read(const std::uint8_t* p) {
        std::int32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    static bool clips(double v) { return v <= -2147483648.0 || v >= 2147483647.0; }
};
struct F32Reader {
    static constexpr bool kInteger = false;
    static double read(const std::uint8_t* p) {
        float v;
        std::memcpy(&v, p, 4);
        return v;
    }
    static bool clips(double v) { return !(std::fabs(v) < kFloatFullScale); }
};
struct F64Reader {
    static constexpr bool kInteger = false;
    static double read(const std::uint8_t* p) {
        double v;
        std::memcpy(&v, p, 8);
        return v;
    }
    static bool clips(double v) { return !(std::fabs(v) < kFloatFullScale); }
};

}  // namespace

bool SampleFormatOf(std::uint16_t bits, bool isFloat, SampleFormat* format) {
    if (isFloat) {
        if (bits != 32 && bits != 64) {
            return false;
        }
        *format = bits == 32 ? SampleFormat::F32 : SampleFormat::F64;
        return true;
    }
    switch (bits) {
        case 8:
            *format = SampleFormat::U8;
            return true;
        case 16:
            *format = SampleFormat::S16;
            return true;
        case 24:
            *format = SampleFormat::S24;
            return true;
        case 32:
            *format = SampleFormat::S32;
            return true;
        default:
            return false;
    }
}

std::size_t BytesPerSample(SampleFormat format) {
    switch (format) {
        case SampleFormat::U8:
            return 1;
        case SampleFormat::S16:
            return 2;
        case SampleFormat::S24:
            return 3;
        case SampleFormat::S32:
        case SampleFormat::F32:
            return 4;
        case SampleFormat::F64:
            return 8;
    }
    return 2;
}

void SettleVerdict(Judgement& j) {
    constexpr std::uint32_t kRedoProblems = kClipped | kSilent | kCutStart | kCutEnd | kUnreadable;
    if ((j.problems & kRedoProblems) != 0 || (j.has(kNoisy) && j.noiseRedo)) {
        j.verdict = Verdict::Redo;
    } else {
        j.verdict = j.problems != 0 ? Verdict::Check : Verdict::Good;
    }
}

QString VerdictName(Verdict v) {
    switch (v) {
        case Verdict::Good:
            return QStringLiteral("good");
        case Verdict::Check:
            return QStringLiteral("check");
        case Verdict::Redo:
            return QStringLiteral("redo");
    }
    return QString();
}

namespace {

struct ProblemText {
    Problem problem;
    const char* ascii;
    const char* words;  // in the interface's language once translated
};
constexpr ProblemText kProblemTexts[] = {
    {kClipped, "clipped", QT_TRANSLATE_NOOP("Quillar", "削波")},
    {kSilent, "silent", QT_TRANSLATE_NOOP("Quillar", "没有声音")},
    {kCutStart, "cut_start", QT_TRANSLATE_NOOP("Quillar", "开头被截断")},
    {kCutEnd, "cut_end", QT_TRANSLATE_NOOP("Quillar", "结尾被截断")},
    {kNoisy, "noisy", QT_TRANSLATE_NOOP("Quillar", "噪声太大")},
    {kTooQuiet, "too_quiet", QT_TRANSLATE_NOOP("Quillar", "音量太小")},
    {kTooLoud, "too_loud", QT_TRANSLATE_NOOP("Quillar", "音量太大")},
    {kDeadChannel, "dead_channel", QT_TRANSLATE_NOOP("Quillar", "一个声道没有声音")},
    {kDcOffset, "dc_offset", QT_TRANSLATE_NOOP("Quillar", "直流偏移")},
    {kUnreadable, "unreadable", QT_TRANSLATE_NOOP("Quillar", "无法读取")},
    {kFormat, "format", QT_TRANSLATE_NOOP("Quillar", "格式不符")},
};

}  // namespace

QStringList ProblemNames(const Judgement& j) {
    QStringList names;
    for (const ProblemText& t : kProblemTexts) {
        if (j.has(t.problem)) {
            names.append(QLatin1String(t.ascii));
        }
    }
    return names;
}

bool ParseVerdict(QByteArrayView name, Verdict* v) {
    static constexpr std::pair<const char*, Verdict> kNames[] = {
        {"good", Verdict::Good}, {"check", Verdict::Check}, {"redo", Verdict::Redo}};
    for (const auto& [text, verdict] : kNames) {
        if (name == text) {
            *v = verdict;
            return true;
        }
    }
    return false;
}

std::uint32_t ProblemsOf(QByteArrayView names) {
    std::uint32_t problems = 0;
    while (!names.isEmpty()) {
        const qsizetype end = names.indexOf(';');
        const QByteArrayView name = end < 0 ? names : names.first(end);
        for (const ProblemText& t : kProblemTexts) {
            if (name == t.ascii) {
                problems |= t.problem;
            }
        }
        names = end < 0 ? QByteArrayView() : names.sliced(end + 1);
    }
    return problems;
}

QStringList ProblemWords(const Judgement& j) {
    QStringList words;
    for (const ProblemText& t : kProblemTexts) {
        if (j.has(t.problem)) {
            words.append(QCoreApplication::translate("Quillar", t.words));
        }
    }
    return words;
}

QString DbText(double db, int decimals) {
    if (std::isinf(db)) {
        return db < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
    }
    // No "-0.0" for a figure that rounds to zero.
    const double rounded = std::round(db * std::pow(10.0, decimals)) / std::pow(10.0, decimals);
    return QString::number(rounded == 0.0 ? 0.0 : rounded, 'f', decimals);
}

TakeJudge::TakeJudge(SampleFormat format, int channels, std::uint32_t rate)
    : m_format(format),
      m_channels(std::clamp(channels, 1, 8)),
      m_frameBytes(BytesPerSample(format) * static_cast<std::size_t>(m_channels)),
      m_windowFrames(WindowFramesAt(rate)),
      m_open(static_cast<std::size_t>(m_channels)),
      m_rate(rate),
      m_speechFrames(SpeechFramesAt(rate)),
      m_speechOpen(static_cast<std::size_t>(m_channels)),
      m_peak(static_cast<std::size_t>(m_channels), 0.0),
      m_clipped(static_cast<std::size_t>(m_channels), 0) {
    switch (format) {
        case SampleFormat::U8:
            m_scale = 1.0 / 128;
            break;
        case SampleFormat::S16:
            m_scale = 1.0 / 32768;
            break;
        case SampleFormat::S24:
            m_scale = 1.0 / 8388608;
            break;
        case SampleFormat::S32:
            m_scale = 1.0 / 2147483648.0;
            break;
        case SampleFormat::F32:
        case SampleFormat::F64:
            m_scale = 1.0;
            break;
    }
}

void TakeJudge::closeWindow() {
    m_windows.insert(m_windows.end(), m_open.begin(), m_open.end());
    std::fill(m_open.begin(), m_open.end(), Window{});
    m_inWindow = 0;
}

template <class Reader>
void TakeJudge::feedFrames(const std::uint8_t* data, std::size_t frames) {
    const std::size_t width = BytesPerSample(m_format);
    while (frames > 0) {
        const std::size_t n = std::min<std::size_t>(
            frames, std::min(m_windowFrames - m_inWindow, m_speechFrames - m_inSpeech));
        for (int c = 0; c < m_channels; ++c) {
            const std::uint8_t* p = data + static_cast<std::size_t>(c) * width;
            const std::size_t c_ = static_cast<std::size_t>(c);
            if constexpr (Reader::kInteger) {
                std::int64_t sum = 0;
                std::int64_t squares = 0;
                int lo = 0;
                int hi = 0;
                for (std::size_t i = 0; i < n; ++i, p += m_frameBytes) {
                    const int v = Reader::read(p);
                    sum += v;
                    squares += std::int64_t{v} * v;
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
                m_open[c_].sum += static_cast<double>(sum);
                m_open[c_].squares += static_cast<double>(squares);
                m_speechOpen[c_].sum += static_cast<double>(sum);
                m_speechOpen[c_].squares += static_cast<double>(squares);
                m_peak[c_] = std::max(m_peak[c_], static_cast<double>(std::max(-lo, hi)));
                m_clipped[c_] |= lo <= Reader::kMin || hi >= Reader::kMax;
            } else {
                double sum = 0.0;
                double squares = 0.0;
                double peak = 0.0;
                bool clipped = false;
                for (std::size_t i = 0; i < n; ++i, p += m_frameBytes) {
                    double v = Reader::read(p);
                    clipped |= Reader::clips(v);
                    if (!std::isfinite(v)) {
                        v = 1.0 / m_scale;  // counts as a full-scale sample
                    }
                    sum += v;
                    squares += v * v;
                    peak = std::max(peak, std::fabs(v));
                }
                m_open[c_].sum += sum;
                m_open[c_].squares += squares;
                m_speechOpen[c_].sum += sum;
                m_speechOpen[c_].squares += squares;
                m_peak[c_] = std::max(m_peak[c_], peak);
                m_clipped[c_] |= clipped;
            }
        }
        data += n * m_frameBytes;
        frames -= n;
        m_frames += n;
        m_inWindow += static_cast<std::uint32_t>(n);
        if (m_inWindow == m_windowFrames) {
            closeWindow();
        }
        m_inSpeech += static_cast<std::uint32_t>(n);
        if (m_inSpeech == m_speechFrames) {
            m_speech.insert(m_speech.end(), m_speechOpen.begin(), m_speechOpen.end());
            std::fill(m_speechOpen.begin(), m_speechOpen.end(), Window{});
            m_inSpeech = 0;
        }
    }
}

void TakeJudge::feed(const std::uint8_t* data, std::size_t bytes) {
    if (m_channels == 0 || bytes == 0) {
        return;
    }
    const auto run = [this](const std::uint8_t* d, std::size_t frames) {
        switch (m_format) {
            case SampleFormat::U8:
                feedFrames<U8Reader>(d, frames);
                break;
            case SampleFormat::S16:
                feedFrames<S16Reader>(d, frames);
                break;
            case SampleFormat::S24:
                feedFrames<S24Reader>(d, frames);
                break;
            case SampleFormat::S32:
                feedFrames<S32Reader>(d, frames);
                break;
            case SampleFormat::F32:
                feedFrames<F32Reader>(d, frames);
                break;
            case SampleFormat::F64:
                feedFrames<F64Reader>(d, frames);
                break;
        }
    };
    if (m_carried > 0) {
        const std::size_t take = std::min(bytes, m_frameBytes - m_carried);
        std::memcpy(m_carry + m_carried, data, take);
        m_carried += take;
        data += take;
        bytes -= take;
        if (m_carried < m_frameBytes) {
            return;
        }
        run(m_carry, 1);
        m_carried = 0;
    }
    const std::size_t frames = bytes / m_frameBytes;
    run(data, frames);
    m_carried = bytes - frames * m_frameBytes;
    std::memcpy(m_carry, data + frames * m_frameBytes, m_carried);
}

Judgement TakeJudge::judge() const {
    Judgement j;
    j.frames = m_frames;
    if (m_frames == 0) {
        j.problems = kUnreadable;
        SettleVerdict(j);
        return j;
    }
    const auto channels = static_cast<std::size_t>(m_channels);
    // The windows judged: the closed ones, and the open one when it is at least half a window
    // (a few ms at the end would stand for the take's last 50 ms) or the only one.
    std::vector<Window> windows = m_windows;
    std::uint32_t lastFrames = m_windowFrames;
    if (m_inWindow > 0 && (m_inWindow * 2 >= m_windowFrames || windows.empty())) {
        windows.insert(windows.end(), m_open.begin(), m_open.end());
        lastFrames = m_inWindow;
    }
    const WindowLevels levels =
        LevelsOfWindows(windows, channels, m_windowFrames, lastFrames, m_scale);
    const std::vector<double>& windowDb = levels.db;

    // Each channel's mean over the whole take, the short tail included, for its DC offset.
    std::vector<double> mean(channels, 0.0);
    for (std::size_t c = 0; c < channels; ++c) {
        double sum = m_open[c].sum;
        for (std::size_t w = c; w < m_windows.size(); w += channels) {
            sum += m_windows[w].sum;
        }
        mean[c] = sum / static_cast<double>(m_frames);
    }

    j.peakDbfs = toDb(m_peak[levels.channel] * m_scale);
    j.noiseDbfs = NoiseDbfsOf(windowDb);
    const double speech = percentile(windowDb, kSpeechPercentile);
    j.snrDb = std::isinf(j.noiseDbfs) && std::isinf(speech) ? 0.0 : speech - j.noiseDbfs;

    std::uint32_t p = 0;
    for (std::size_t c = 0; c < channels; ++c) {
        p |= m_clipped[c] ? kClipped : 0;
        p |= std::fabs(mean[c] * m_scale) > kDcOffsetLimit ? kDcOffset : 0;
    }
    p |= j.peakDbfs < kSilentPeakDbfs ? kSilent : 0;
    const auto cut = [&j](double db) {
        return db > kCutEdgeDbfs && db >= j.noiseDbfs + kCutEdgeAboveNoiseDb;
    };
    p |= cut(windowDb.front()) ? kCutStart : 0;
    p |= cut(windowDb.back()) ? kCutEnd : 0;
    if (j.noiseDbfs > kNoiseCheckDbfs) {
        p |= kNoisy;
        j.noiseRedo = j.noiseDbfs > kNoiseRedoDbfs;
    }
    p |= (p & kSilent) == 0 && j.peakDbfs < kQuietPeakDbfs ? kTooQuiet : 0;
    p |= (p & kClipped) == 0 && j.peakDbfs > kLoudPeakDbfs ? kTooLoud : 0;
    if (channels == 2) {
        const double a = toDb(m_peak[0] * m_scale);
        const double b = toDb(m_peak[1] * m_scale);
        if ((a < kDeadChannelPeakDbfs && b > kSilentPeakDbfs) ||
            (b < kDeadChannelPeakDbfs && a > kSilentPeakDbfs)) {
            p |= kDeadChannel;
        }
    }
    j.problems = p;
    SettleVerdict(j);

    j.speech = SpeechIntervalOf(
        m_speech,
        m_inSpeech > 0 ? std::span<const Window>(m_speechOpen) : std::span<const Window>(),
        channels, levels.channel, levels.mean, m_scale, m_frames, m_rate, j.noiseDbfs);
    return j;
}

Judgement JudgeSamples(SampleFormat format, int channels, std::uint32_t rate,
                       const std::uint8_t* data, std::size_t bytes) {
    TakeJudge judge(format, channels, rate);
    judge.feed(data, bytes);
    return judge.judge();
}

}  // namespace quillar::quality
