// Any bytes as a recording: the chunk reader over a file and over memory, the player's conversion
// of what it found, the judgement of the image and of the file (as quillar-check reads it), and
// where a journal's audio lies. The readers must agree with each other and never claim audio the
// input does not hold.
#include <cmath>
#include <cstring>
#include <vector>

#include "audio/wav_layout.h"
#include "fuzz_support.h"
#include "quality/wav_judgement.h"
#include "record/take_info.h"
#include "record/take_journal.h"

using namespace quillar;
using fuzz::check;

namespace {

void checkJudgement(const quality::WavJudgement& j, std::size_t size) {
    check(std::isfinite(j.seconds) && j.seconds >= 0, "seconds finite");
    check(j.judgement.frames <= size, "no more frames than bytes");
    check(j.judgement.speech.end <= j.judgement.frames, "speech inside the take");
    // Float samples may lie beyond full scale; a peak is still a figure.
    check(!std::isnan(j.judgement.peakDbfs), "peak a figure");
    check(!std::isnan(j.judgement.noiseDbfs) && !std::isnan(j.judgement.snrDb), "noise a figure");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const audio::WavReader read = [&](std::uint64_t at, void* out, std::uint64_t n) {
        check(at <= size, "read starts inside the file");
        const std::uint64_t got = std::min<std::uint64_t>(n, size - at);
        std::memcpy(out, data + at, got);
        return got;
    };
    audio::WavLayout fromFile;
    audio::WavLayout fromImage;
    const audio::WavVerdict verdict = audio::readWavLayout(read, size, &fromFile);
    const bool playable = audio::parseWavLayout(data, size, &fromImage);
    check(playable == (verdict == audio::WavVerdict::Playable), "both readers agree");

    if (playable) {
        const audio::WavLayout& l = fromImage;
        check(l.storedFrameBytes > 0, "a frame has bytes");
        check(l.dataOffset <= size && l.dataBytes <= size - l.dataOffset, "data inside the file");
        check(l.dataBytes % l.storedFrameBytes == 0, "whole frames");
        check(fromFile.dataOffset == l.dataOffset && fromFile.dataBytes == l.dataBytes,
              "same data either way");
        // The player converts the frames a block at a time, as a stream does.
        constexpr std::uint64_t kBlockFrames = 256;
        std::vector<std::uint8_t> out(kBlockFrames * l.format.bytesPerFrame());
        const std::uint64_t frames = l.dataBytes / l.storedFrameBytes;
        for (std::uint64_t f = 0; f < frames; f += kBlockFrames) {
            const std::uint64_t n = std::min(kBlockFrames, frames - f);
            audio::convertStoredFrames(l, data + l.dataOffset + f * l.storedFrameBytes, out.data(),
                                       n);
        }
    }

    const quality::WavJudgement image = quality::JudgeWavImage(data, size);
    checkJudgement(image, size);
    const QString path = fuzz::scratch().filePath(QStringLiteral("take.wav"));
    fuzz::writeFile(path, fuzz::bytesOf(data, size));
    static std::vector<std::uint8_t> scratch;
    const quality::WavJudgement file = quality::JudgeWavFile(path, quality::Profile::None, scratch);
    checkJudgement(file, size);
    check(file.judgement.frames == image.judgement.frames &&
              file.judgement.problems == image.judgement.problems &&
              file.judgement.speech == image.judgement.speech,
          "a file is judged as its image");

    // Recovery reads a journal's audio with the format its TakeInfo gives: here the header's.
    TakeInfo info;
    info.rate = fromFile.rate;
    info.bits = fromFile.bits;
    info.channels = fromFile.channels;
    if (info.hasUsableFormat()) {
        const JournalAudio audio = JournalAudioOf(read, size, info);
        // No audio may lie at an offset past the end (where a header alone would put it).
        check(audio.bytes == 0 || (audio.offset <= size && audio.bytes <= size - audio.offset),
              "journal audio inside");
        check(audio.bytes % info.blockAlign() == 0, "journal audio whole frames");
    }
    return 0;
}
