#include "export/session_join.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "audio/wav_layout.h"
#include "export/take_conversion.h"
#include "platform/descriptor_io.h"
#include "platform/file_io.h"
#include "quality/take_judge.h"

namespace quillar {

namespace {

constexpr std::uint16_t kPcmTag = 1;
constexpr std::uint16_t kFloatTag = 3;
// Bytes moved per read: large enough that the calls cost nothing next to the copying, small
// enough that a session of any length needs the same memory.
constexpr std::size_t kPieceBytes = std::size_t{1} << 20;
// Names listed in a refusal before "and N more".
constexpr int kNamedAtMost = 10;

struct TakeSource {
    const ExportItem* item = nullptr;
    audio::WavLayout layout;
    TakeFormat format;
};

// The header of a WAV of `dataBytes` bytes in `f`: PCM with the plain 16-byte "fmt ", float with
// the 18-byte one and a "fact" chunk, as the WAV rules ask of data that is not PCM.
QByteArray wavHeader(const TakeFormat& f, std::uint64_t dataBytes, std::uint64_t frames) {
    QByteArray h;
    const auto u16 = [&](std::uint32_t v) {
        h.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
    };
    const auto u32 = [&](std::uint32_t v) {
        u16(v & 0xffff);
        u16(v >> 16);
    };
    const std::uint32_t blockAlign = f.channels * (f.bits / 8u);
    const std::uint32_t fmtBytes = f.isFloat ? 18 : 16;
    const std::uint32_t factBytes = f.isFloat ? 12 : 0;
    const std::uint64_t riff = 4 + (8 + fmtBytes) + factBytes + 8 + dataBytes + (dataBytes & 1u);
    h.append("RIFF");
    u32(static_cast<std::uint32_t>(riff));
    h.append("WAVEfmt ");
    u32(fmtBytes);
    u16(f.isFloat ? kFloatTag : kPcmTag);
    u16(f.channels);
    u32(f.rate);
    u32(f.rate * blockAlign);
    u16(blockAlign);
    u16(f.bits);
    if (f.isFloat) {
        u16(0);
        h.append("fact");
        u32(4);
        u32(static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, 0xffffffffu)));
    }
    h.append("data");
    u32(static_cast<std::uint32_t>(dataBytes));
    return h;
}

// Moves one take's samples into the session file, converted when its format is not the
// session's, and judges what it wrote (the speech is found in the session's own samples).
class TakeWriter {
  public:
    TakeWriter(int out, const TakeFormat& target) : m_out(out), m_target(target) {
        quality::SampleFormatOf(target.bits, target.isFloat, &m_targetSample);
    }

    // Appends the take at `path`; false with the reason.
    bool append(const QString& path, const TakeSource& take, JoinedTake* joined, QString* error) {
        const platform::FileHandle in = platform::openForReading(path);
        if (!in) {
            *error = QStringLiteral("cannot read %1").arg(path);
            return false;
        }
        platform::adviseSequential(in.fd());
        quality::TakeJudge judge(m_targetSample, m_target.channels, m_target.rate);
        const bool same = take.format == m_target;
        if (!same && !m_conversion.start(take.format, m_target, take.layout.storedFrameBytes,
                                         take.item->file, error)) {
            return false;
        }
        const std::uint64_t frameBytes = take.layout.storedFrameBytes;
        const std::size_t piece =
            std::max<std::size_t>(frameBytes, kPieceBytes - kPieceBytes % frameBytes);
        m_in.resize(piece);
        std::uint64_t at = take.layout.dataOffset;
        std::uint64_t left = take.layout.dataBytes;
        const std::uint64_t before = m_written;
        while (left > 0) {
            const std::uint64_t want = std::min<std::uint64_t>(left, piece);
            const std::uint64_t got = platform::readFullyAt(in.fd(), m_in.data(), want, at);
            if (got != want) {
                *error = QStringLiteral("cannot read %1: it ended early").arg(path);
                return false;
            }
            at += got;
            left -= got;
            if (same) {
                if (!put(m_in.data(), got, judge, error)) {
                    return false;
                }
            } else if (!m_conversion.convert(
                           m_in.data(), got / frameBytes, left == 0,
                           [&](const std::uint8_t* data, std::size_t bytes) {
                               return put(data, bytes, judge, error);
                           },
                           error)) {
                return false;
            }
        }
        const quality::Judgement j = judge.judge();
        joined->frames = (m_written - before) / (m_target.channels * (m_target.bits / 8u));
        joined->speech = j.speech;
        joined->converted = !same;
        return true;
    }

    std::uint64_t written() const { return m_written; }

  private:
    bool put(const std::uint8_t* data, std::uint64_t bytes, quality::TakeJudge& judge,
             QString* error) {
        judge.feed(data, static_cast<std::size_t>(bytes));
        if (!platform::writeAll(m_out, data, bytes)) {
            *error = QStringLiteral("cannot write the session: %1")
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        m_written += bytes;
        return true;
    }

    int m_out;
    TakeFormat m_target;
    quality::SampleFormat m_targetSample = quality::SampleFormat::S16;
    std::uint64_t m_written = 0;  // data bytes
    std::vector<std::uint8_t> m_in;
    TakeConversion m_conversion;
};

bool readLayout(const QString& path, audio::WavLayout* layout) {
    const platform::FileHandle file = platform::openForReading(path);
    if (!file) {
        return false;
    }
    const int fd = file.fd();
    const std::optional<std::uint64_t> size = platform::sizeOf(fd);
    return size && audio::readWavLayout(
                       [fd](std::uint64_t at, void* out, std::uint64_t n) -> std::uint64_t {
                           const std::int64_t got = platform::readAt(fd, out, n, at);
                           return got > 0 ? static_cast<std::uint64_t>(got) : 0;
                       },
                       *size, layout) == audio::WavVerdict::Playable;
}

QString errnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A small file written whole beside `path` and renamed to it, never replacing anything.
bool writeNewFile(const QString& path, const QByteArray& bytes, QString* error) {
    const QString temporary = path + QStringLiteral(".%1.part").arg(platform::processId());
    {
        const platform::FileHandle out = platform::createNewFile(temporary);
        if (!out ||
            !platform::writeAll(out.fd(), bytes.constData(),
                                static_cast<std::uint64_t>(bytes.size())) ||
            !platform::syncData(out.fd())) {
            *error = QStringLiteral("cannot write %1: %2").arg(path, errnoText());
            platform::removeFile(temporary);
            return false;
        }
    }
    if (!platform::renameNoReplace(temporary, path)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, errnoText());
        platform::removeFile(temporary);
        return false;
    }
    return true;
}

}  // namespace

SessionPaths SessionPathsOf(const QString& folder, const QString& name) {
    QString base = name;
    if (base.endsWith(QStringLiteral(".wav"), Qt::CaseInsensitive)) {
        base.chop(4);
    }
    if (!base.contains(u'/')) {
        base = folder + u'/' + base;
    }
    base = QFileInfo(base).absoluteFilePath();
    return {base + QStringLiteral(".wav"), base + QStringLiteral(".TextGrid"),
            base + QStringLiteral(".eaf")};
}

bool JoinSession(const ExportFolder& folder, const SessionJoinOptions& options,
                 SessionJoinResult* result, QString* error, const ExportProgress& progress) {
    *result = SessionJoinResult{};
    result->table = folder.table;
    result->paths = SessionPathsOf(folder.folder, options.name);
    const SessionPaths& paths = result->paths;
    for (const QString& p : {paths.wav, paths.textGrid, paths.eaf}) {
        if (QFileInfo::exists(p)) {
            *error =
                QStringLiteral("%1 already exists; the session is never written over it").arg(p);
            return false;
        }
    }
    std::vector<TakeSource> takes;
    for (const ExportItem& item : folder.items) {
        if (!item.hasTake()) {
            result->withoutTake.append(item.text);
            continue;
        }
        TakeSource take;
        take.item = &item;
        if (!readLayout(folder.folder + u'/' + item.file, &take.layout)) {
            *error = QStringLiteral("cannot read %1 as a WAV file").arg(item.file);
            return false;
        }
        take.format = {take.layout.rate, take.layout.bits, take.layout.channels,
                       take.layout.formatTag == kFloatTag};
        takes.push_back(take);
    }
    if (takes.empty()) {
        *error = QStringLiteral("no item has a take in %1").arg(folder.folder);
        return false;
    }
    const TakeFormat target = takes.front().format;
    QStringList differing;
    std::uint64_t dataBytes = 0;
    for (const TakeSource& t : takes) {
        if (!(t.format == target)) {
            differing.append(QStringLiteral("%1 (%2)").arg(t.item->file, TakeFormatText(t.format)));
        }
        dataBytes += t.layout.dataBytes;
    }
    if (!differing.isEmpty() && !options.convert) {
        const qsizetype count = differing.size();
        if (count > kNamedAtMost) {
            differing.resize(kNamedAtMost);
            differing.append(QStringLiteral("and %1 more").arg(count - kNamedAtMost));
        }
        *error = QStringLiteral(
                     "the takes are not all in the format of the first, %1 (%2): %3; "
                     "--convert converts them to it")
                     .arg(takes.front().item->file, TakeFormatText(target), differing.join(u", "));
        return false;
    }
    // RIFF counts in 32 bits; a conversion may grow a take, so judge by the widest it can be.
    const std::uint64_t limit = 0xffffffffull - 100;
    if (differing.isEmpty() ? dataBytes > limit : dataBytes > limit / 16) {
        *error = QStringLiteral("the session would be too long for one WAV file");
        return false;
    }

    // A session kept apart from the takes may go into a folder not made yet.
    if (!QDir().mkpath(QFileInfo(paths.wav).absolutePath())) {
        *error = QStringLiteral("cannot make the folder of %1").arg(paths.wav);
        return false;
    }
    const QString temporary = paths.wav + QStringLiteral(".%1.part").arg(platform::processId());
    const auto fail = [&](const QString& why) {
        *error = why;
        platform::removeFile(temporary);
        return false;
    };
    {
        const platform::FileHandle out = platform::createNewFile(temporary);
        if (!out) {
            *error = QStringLiteral("cannot write %1: %2").arg(paths.wav, errnoText());
            return false;
        }
        const QByteArray placeholder = wavHeader(target, 0, 0);
        if (!platform::writeAll(out.fd(), placeholder.constData(),
                                static_cast<std::uint64_t>(placeholder.size()))) {
            return fail(QStringLiteral("cannot write %1: %2").arg(paths.wav, errnoText()));
        }
        TakeWriter writer(out.fd(), target);
        const int total = static_cast<int>(takes.size());
        std::uint64_t at = 0;
        for (int i = 0; i < total; ++i) {
            const TakeSource& t = takes[static_cast<std::size_t>(i)];
            JoinedTake joined;
            joined.file = t.item->file;
            joined.itemText = t.item->text;
            if (folder.table) {
                joined.gloss = t.item->entry.gloss;
            }
            joined.begin = at;
            QString why;
            if (!writer.append(folder.folder + u'/' + t.item->file, t, &joined, &why)) {
                return fail(why);
            }
            at += joined.frames;
            result->takes.push_back(std::move(joined));
            if (progress) {
                progress(i + 1, total);
            }
        }
        const std::uint64_t bytes = writer.written();
        if (bytes > limit) {
            return fail(QStringLiteral("the session would be too long for one WAV file"));
        }
        const QByteArray header = wavHeader(target, bytes, at);
        const char pad = 0;
        if (((bytes & 1u) && !platform::writeAll(out.fd(), &pad, 1)) ||
            !platform::writeAllAt(out.fd(), header.constData(),
                                  static_cast<std::uint64_t>(header.size()), 0) ||
            !platform::syncData(out.fd())) {
            return fail(QStringLiteral("cannot write %1: %2").arg(paths.wav, errnoText()));
        }
        result->frames = at;
    }
    if (!platform::renameNoReplace(temporary, paths.wav)) {
        return fail(QStringLiteral("cannot write %1: %2").arg(paths.wav, errnoText()));
    }
    result->rate = target.rate;
    result->bits = target.bits;
    result->channels = target.channels;
    result->isFloat = target.isFloat;

    const double seconds = double(result->frames) / target.rate;
    if (!writeNewFile(paths.textGrid, annotation::TextGridText(0.0, seconds, SessionTiers(*result)),
                      error)) {
        return false;
    }
    const QString author = folder.session ? folder.session->fieldworker : QString();
    if (!writeNewFile(paths.eaf, annotation::EafText(SessionEaf(*result, author)), error)) {
        return false;
    }
    platform::syncFolder(QFileInfo(paths.wav).absolutePath());
    return true;
}

std::vector<annotation::IntervalTier> SessionTiers(const SessionJoinResult& joined) {
    annotation::IntervalTier item{QStringLiteral("item"), {}};
    annotation::IntervalTier gloss{QStringLiteral("gloss"), {}};
    annotation::IntervalTier take{QStringLiteral("take"), {}};
    const double rate = joined.rate;
    for (const JoinedTake& t : joined.takes) {
        if (t.frames == 0) {
            continue;  // nothing to mark
        }
        const bool speech = t.speech.found();
        const double from = double(t.begin + (speech ? t.speech.begin : 0)) / rate;
        const double to = double(t.begin + (speech ? t.speech.end : t.frames)) / rate;
        item.intervals.push_back({from, to, t.itemText});
        if (t.gloss) {
            gloss.intervals.push_back({from, to, *t.gloss});
        }
        take.intervals.push_back({double(t.begin) / rate, double(t.begin + t.frames) / rate,
                                  QFileInfo(t.file).fileName()});
    }
    std::vector<annotation::IntervalTier> tiers{item};
    if (joined.table) {
        tiers.push_back(gloss);
    }
    tiers.push_back(take);
    return tiers;
}

annotation::EafDocument SessionEaf(const SessionJoinResult& joined, const QString& author) {
    annotation::EafDocument doc;
    doc.mediaRelativeUrl = QStringLiteral("./") + QFileInfo(joined.paths.wav).fileName();
    doc.mediaUrl = QUrl::fromLocalFile(joined.paths.wav).toString();
    doc.author = author;
    doc.date = QDateTime::currentDateTime();
    // Rounded to the ms, but never past the end of the media.
    const auto last = static_cast<std::int64_t>(
        std::floor(double(joined.frames) * 1000.0 / std::max<std::uint32_t>(joined.rate, 1)));
    const auto ms = [&](double seconds) {
        return std::min<std::int64_t>(std::llround(seconds * 1000.0), last);
    };
    for (const annotation::IntervalTier& tier : SessionTiers(joined)) {
        if (tier.name == QLatin1String("take")) {
            continue;
        }
        annotation::EafTier eaf{tier.name, {}};
        for (const annotation::Interval& i : tier.intervals) {
            eaf.annotations.push_back({ms(i.start), ms(i.end), i.text});
        }
        doc.tiers.push_back(std::move(eaf));
    }
    return doc;
}

}  // namespace quillar
