// The takes' life, without widgets. The capture is one continuous stream of frames: the input
// kept open between takes (or a device opened for one take) fills a ring with its latest
// seconds, and a take is a range of that stream, from the pre-roll before its key to the
// post-roll after its stop, with its own target, audio, journal and check. Every key acts at
// once: a take may begin while earlier ones still collect their post-roll, and several may be
// closing together; each is handed over, in the order the takes began, when its last frame has
// come. Device calls run on a DeviceWorker so the window never waits for the sound server. The
// window follows through one notification, always on the window thread.
//
// Threads: every member function is the window thread's, which also collects the takes' frames
// out of the ring (poll()). The capture thread only writes the ring (record/capture_ring.h).
// The journals' threads read their takes' audio and report through the setup's queued call.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include <QString>

#include "audio/audio_engine.h"
#include "record/take.h"
#include "record/take_check.h"
#include "record/take_journal.h"

namespace quillar {

class CaptureRing;
class DeviceWorker;

// What the receiver shares with the window: where the size of the latest block goes (may be
// null).
struct RecorderShared {
    std::atomic<std::uint32_t>* lastBlockSize = nullptr;
};

// What takes' journals need from the window. Without a `folder`, takes keep no journal.
struct JournalSetup {
    // The folder journals go to, asked at every take.
    std::function<QString()> folder;
    // Runs a function on the window thread later (a queued call): the journal's thread reports
    // through it.
    std::function<void(std::function<void()>)> post;
    // The journal's own hooks: its flush period, the memory reading (tests set them); the
    // reports are the recorder's.
    TakeJournalHooks hooks;
};

class Recorder {
  public:
    // The newest take's state, as the window shows it.
    enum class State {
        Idle,       // no take is underway (closed ones may wait to be taken, nextClosedTake())
        Opening,    // a take was asked for; its device is being opened
        Recording,  // a take captures
        Paused,     // a take runs, nothing is added
        Closing,    // no take runs; one or more collect their post-roll
    };
    enum class Input {
        Closed,   // not kept open (or not yet)
        Opening,  // being opened on the worker
        Open,     // capturing; the ring holds its latest moments
        Lost,     // the device went; opened again when asked
    };
    enum class Change {
        Started,      // the take captures (state Recording)
        StartFailed,  // its device could not be opened (the take is gone, empty)
        Paused,
        Resumed,
        Stopping,  // the stop was taken; the take closes when its post-roll is in
        Closed,    // a take is whole and waits to be taken (nextClosedTake())
        InputChanged,
        Clipped,      // checkTake() read a clipped block of the running take
        Unprotected,  // the running take's journal cannot be written: it is in memory only
        MemoryLow,    // available memory ran low while the journal followed the take
        SizeLimit,    // the running take reached the WAV size limit and stopped there
    };
    using Format = TakeFormat;
    using Notify = std::function<void(Change)>;

    // The longest margin either side of a take, ms.
    static constexpr std::uint32_t kMaxMarginMs = 2000;
    // How much of the stream the ring keeps beyond the margins, ms: the window thread collects
    // every few tens of milliseconds, so only a window held up this long could lose audio.
    static constexpr std::uint32_t kRingSlackMs = 20000;

    Recorder(audio::AudioEngine& engine, DeviceWorker& worker, Notify notify,
             RecorderShared shared = {});
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    State state() const;
    Input input() const { return m_input; }
    // The capture channel while a device is open (kept-open input or a take's own), else 0.
    audio::Handle channel() const { return m_channel; }
    // The format of the open device (or of the latest one opened).
    Format format() const { return m_format; }

    // Keeps `device` open in `format` from now on (the device open before is closed first, and
    // takes still closing on it finish with what it delivered). Refused (false) while a take
    // runs.
    bool openInput(int device, const Format& format);
    // Closes the kept input (not while a take runs).
    void closeInput();

    // Begins a take for `target`: with the input kept open at once, with `prerollMs` of audio
    // from before this call; otherwise its own device opens first (Opening), without pre-roll.
    // Earlier takes still closing go on. False when refused (a take runs).
    bool start(int device, const Format& format, std::uint32_t prerollMs, TakeTarget target = {});
    // Begins a take on the kept input `prerollMs` before frame `onset` of its stream (a frame
    // already captured: a voice heard a moment ago). False when refused: a take runs, or the
    // input is not open in `format`.
    bool startAt(std::uint64_t onset, const Format& format, std::uint32_t prerollMs,
                 TakeTarget target);
    // Stops the running take; capture goes on for `postrollMs` before it closes (not after a
    // pause). A take still opening is called off. False when no take runs.
    bool stop(std::uint32_t postrollMs);
    // Stops the running take on the kept input at frame `end` of its stream, then `postrollMs`
    // (never before the take began). False when no take records there.
    bool stopAt(std::uint64_t end, std::uint32_t postrollMs);
    bool pause();
    bool resume();
    // Closes every closing take at once with what has come (the window is closing, or waited
    // long enough): no wait for the rest of the post-roll.
    void finishNow();

    // The window thread's look, every few tens of ms while a take is underway: collects the
    // frames that came, closes the takes whose last frame came and hands them over in order.
    void poll();
    // Whether poll() has anything to do.
    bool needsPolling() const;

    // The take that runs (opening, recording or paused), null when none.
    Take* runningTake() const;
    // Takes begun and not yet handed over (the running one and those closing).
    std::size_t takesUnderway() const { return m_takes.size(); }
    // The next closed take, in the order they began; null when none waits.
    std::shared_ptr<Take> nextClosedTake();
    // The newest take begun (running, closing or closed), null before the first.
    const std::shared_ptr<Take>& latestTake() const { return m_latest; }

    // The clock that places a stop after a stall, ms (the steady clock unless a test sets its
    // own, which moves with the frames it pumps).
    void setClock(std::function<std::int64_t()> clock) { m_clock = std::move(clock); }
    // The largest data a take may hold, bytes (tests lower it; the WAV limit otherwise).
    void setTakeDataLimit(std::uint64_t bytes) { m_takeDataLimit = bytes; }

    // Takes keep a journal from now on.
    void keepJournals(JournalSetup setup);
    // The newest take exists only in memory: it runs, or it closed and is neither saved nor
    // dropped.
    bool takeOnlyInMemory() const { return m_latest && m_latest->journal() != nullptr; }
    TakeJournal* journal() const { return m_latest ? m_latest->journal() : nullptr; }
    void takeSaved();
    void dropTake() { takeSaved(); }
    // Its journal was handed over (its files are someone else's now): forgotten, not deleted.
    void journalHandedOver() {
        if (m_latest) {
            m_latest->journalHandedOver();
        }
    }
    // The program ends without the user's word: every take's journal takes the last of its
    // audio and stays, to be recovered at the next start.
    void leaveJournalForRecovery();

    // The newest take's clipping check and judgement.
    const TakeCheck& check() const;
    // The window's look while a take runs: the check reads what was collected since the last
    // look, and a clipped block is told as Clipped. `nowMs`: the steady clock's reading.
    void checkTake(std::int64_t nowMs);

    // The device of the kept input or of the take went (the engine's lost-device notice).
    void deviceLost();
    // Between takes: a kept input that stalled and came back is opened afresh, since it now
    // lags the room by the length of the stall. Call now and then (the window's tick).
    void refreshInputAfterStall();

  private:
    static constexpr std::uint64_t kOpenFrom = ~std::uint64_t{0};
    static std::uint64_t msToFrames(std::uint64_t ms, std::uint32_t rate) {
        return ms * rate / 1000;
    }
    std::int64_t nowMs() const;
    std::uint64_t framesNow() const;
    std::uint64_t framesByClock(const Take& take) const;
    std::shared_ptr<CaptureRing> makeRing(const Format& format) const;
    void openDevice(int device, const Format& format,
                    std::function<void(audio::Handle, std::shared_ptr<CaptureRing>)> done);
    void closeDevice(std::function<void()> done);
    // `from`: the first frame when it is not the pre-roll before the key.
    void beginOnKeptInput(Take& take, std::uint64_t key, std::int64_t keyMs,
                          std::uint64_t from = kOpenFrom);
    void beginOnOwnDevice(const std::shared_ptr<Take>& take, int device);
    void inputOpened(audio::Handle channel, std::shared_ptr<CaptureRing> ring);
    // A take captures: its check begins, Started is told, then its journal begins.
    void takeBegins(Take& take);
    void startJournal(Take& take);
    void collect(Take& take);
    // The take is whole: its journal takes the last of it, the check reads the rest and judges.
    void closeTake(Take& take);
    void handOver();
    void journalReport(std::uint32_t serial, Change c);
    void tell(Change c);

    audio::AudioEngine& m_engine;
    DeviceWorker& m_worker;
    Notify m_notify;
    RecorderShared m_shared;

    Input m_input = Input::Closed;
    Format m_format;
    audio::Handle m_channel = 0;
    // The stream of the open device; takes hold it too, so one still closing reads on from it
    // after the device has gone.
    std::shared_ptr<CaptureRing> m_ring;
    // The ring the engine may deliver into: the device opened last, from the moment its opening
    // is asked for until its close is. It outlives any block the engine can deliver.
    std::shared_ptr<CaptureRing> m_deviceRing;
    // Counts opens and closes asked for: an open's completion that a later close overtook is
    // stale.
    std::uint32_t m_deviceGeneration = 0;
    bool m_keptOpen = false;  // the open device is the kept input
    int m_inputDevice = -1;
    int m_deviceCalls = 0;    // opens and closes submitted and not completed
    bool m_sawStall = false;  // the kept input stalled since it was opened
    JournalSetup m_journalSetup;
    std::uint32_t m_takeSerial = 0;
    std::deque<std::shared_ptr<Take>> m_takes;   // underway, in the order they began
    std::deque<std::shared_ptr<Take>> m_closed;  // closed, waiting to be taken
    std::shared_ptr<Take> m_latest;
    TakeCheck m_noCheck;
    std::function<std::int64_t()> m_clock;
    std::uint64_t m_takeDataLimit = RecordBuffer::kMaxDataBytes;
    // Lets a report queued by a journal's thread find out whether the recorder is still there.
    std::shared_ptr<Recorder*> m_self = std::make_shared<Recorder*>(this);
};

}  // namespace quillar
