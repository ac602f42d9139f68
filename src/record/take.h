// One take: what it belongs to, fixed when it begins, its ranges of the capture stream, its audio,
// its journal and its clipping check and judgement. The recorder makes it and moves it through
// its life; once it hands it over closed, the window saves it, whatever has begun since.
//
// Threads: the window thread's. Its journal's thread reads its audio below the published size.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "audio/audio_engine.h"
#include "kit/record_buffer.h"
#include "record/take_check.h"
#include "record/take_info.h"
#include "record/take_journal.h"

namespace quillar {

class CaptureRing;

// WAV bits per sample for the sample flags of 组合框3: 8, 16, 24 or 32 (float). Any thread.
std::uint16_t bitsForSampleFlags(std::uint32_t flags);

struct TakeFormat {
    std::uint32_t rate = 44100;
    std::uint32_t channels = 2;
    std::uint32_t flags = 0;  // sample flags, as 组合框3 holds them
    bool operator==(const TakeFormat&) const = default;
    std::uint32_t bytesPerFrame() const;
};

// What a take belongs to, handed to the recorder when it begins and never read again from the
// window: the list may move, the folder change and a new list load meanwhile.
struct TakeTarget {
    QString item;            // the item's text
    int occurrence = 1;      // which item of that text in the list (homographs), from 1
    int row = -1;            // its row in the list then; -1: no item
    std::uint64_t list = 0;  // which load of the word list that row is of
    QString folder;          // the auto-save folder then
    QDateTime started;       // local time of the key
    QString device;          // the capture device's name
    // Begun with Enter in the item list: saved to its item when it closes.
    bool enter = false;
    // Begun by the speaker's voice in hands-free mode (also `enter`): logged as such.
    bool handsFree = false;
    TakeLabels labels;  // id, note, gloss, composed name, list and session
};

class Take {
  public:
    enum class Phase {
        Opening,    // its device (or the kept input) is still being opened
        Recording,  // its range is open: frames come in
        Paused,     // its range stands; a resume opens another
        Closing,    // stopped: the last frames (the post-roll) are still to come
        Closed,     // whole: collected, its journal and check finished
    };

    Take(std::uint32_t serial, TakeTarget target, TakeFormat format, std::uint32_t prerollMs);
    ~Take();
    Take(const Take&) = delete;
    Take& operator=(const Take&) = delete;

    // 1, 2, 3… in the order takes began in this run.
    std::uint32_t serial() const { return m_serial; }
    const TakeTarget& target() const { return m_target; }
    const TakeFormat& format() const { return m_format; }
    Phase phase() const { return m_phase; }
    bool underway() const { return m_phase != Phase::Closed; }

    // Its audio: data while it runs, the WAV image once the window has built it.
    RecordBuffer& audio() { return m_audio; }
    const RecordBuffer& audio() const { return m_audio; }
    const TakeCheck& check() const { return m_check; }

    // Saved to its item's file when it closes: begun with Enter, or stopped by Enter, a list
    // load or a folder change.
    bool savesToItem() const { return m_target.enter || m_saveToItem; }
    void saveToItem() { m_saveToItem = true; }

    // Its device went while it recorded (or closed): it ended with what came before.
    bool endedByLoss() const { return m_endedByLoss; }
    // Its audio reached the WAV size limit (about 4 GB): it stopped there.
    bool reachedSizeLimit() const { return m_audio.refusedAppend(); }
    // How much shorter its pre-roll is than asked, ms: the input had not been open that long.
    std::uint32_t prerollShortMs() const { return m_prerollShortMs; }
    // Frames the window thread fell too far behind to collect (filled with silence).
    std::uint64_t lostFrames() const { return m_lostFrames; }
    // Its length in seconds, from what it holds.
    double seconds() const;

    // What its journal and a pending copy say of it.
    TakeInfo info() const;
    // The journal while it exists only in memory (null when none: never made, dropped or handed
    // over).
    TakeJournal* journal() const { return m_journal.get(); }
    // Safe in a file, or let go by the user: its journal is deleted.
    void dropJournal();
    // The journal's files are someone else's now (a pending take): forgotten, not deleted.
    void journalHandedOver() { m_journal.reset(); }
    // The program ends without the user's word: the journal takes the last audio and stays.
    void leaveJournalForRecovery();

  private:
    friend class Recorder;

    static constexpr std::uint64_t kOpenEnd = std::numeric_limits<std::uint64_t>::max();
    struct Range {
        std::uint64_t from = 0;
        std::uint64_t to = kOpenEnd;  // excluded; kOpenEnd while the range is open
    };

    // The frame its last range ends at (kOpenEnd while open, or when it has none yet).
    std::uint64_t lastFrame() const;
    // Whether every frame of its ranges is in its audio.
    bool collected() const;
    // No frame from `frame` on belongs to it: its device delivered no more, or the window closes.
    void endAt(std::uint64_t frame);

    const std::uint32_t m_serial;
    const TakeTarget m_target;
    const TakeFormat m_format;
    const std::uint32_t m_prerollMs;
    Phase m_phase = Phase::Opening;
    bool m_saveToItem = false;
    bool m_endedByLoss = false;
    std::uint32_t m_prerollShortMs = 0;
    std::uint64_t m_lostFrames = 0;

    // The stream it is cut from, and that stream's device (0 once closed).
    std::shared_ptr<CaptureRing> m_ring;
    audio::Handle m_channel = 0;
    bool m_ownDevice = false;  // a device opened for this take alone (no kept input)
    bool m_calledOff = false;  // stopped before its device opened: it stays empty
    bool m_sizeLimitTold = false;
    std::vector<Range> m_ranges;
    std::size_t m_range = 0;          // the range being collected
    std::uint64_t m_collectedTo = 0;  // next frame of that range to collect
    // Steady-clock ms and frame of its latest start or resume: a stop is placed by the clock
    // from there, since after a stall the frames come no faster than in real time.
    std::int64_t m_refMs = 0;
    std::uint64_t m_refFrame = 0;
    // Begun before its device gave a frame: the clock counts from the first frame, not the key,
    // or a device slow to start would place the stop that far into the words after it.
    bool m_refAtFirstFrame = false;

    RecordBuffer m_audio;
    TakeCheck m_check;
    std::shared_ptr<TakeJournal> m_journal;
};

}  // namespace quillar
