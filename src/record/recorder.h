// A take's life, without widgets: its state, the capture that feeds record_buffer, the input kept
// open between takes with the last moments before a take in a ring (pre-roll), the capture that
// goes on after the stop (post-roll), the take's journal on disk and its clipping check and
// judgement, and the device calls, which run on a DeviceWorker so the window never waits for the
// sound server. The window follows through one notification, always on the window thread.
//
// Threads: every member function is the window thread's. The block receiver runs on the capture
// thread and only copies (ring and record_buffer); what it shares with the window thread is
// atomics. The journal's thread reads record_buffer below its published size and reports through
// the setup's queued call. record_buffer is the window thread's again once the recorder says
// Closed.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QString>

#include "audio/audio_engine.h"
#include "record/take_check.h"
#include "record/take_journal.h"

namespace quillar {

class DeviceWorker;
class RecordBuffer;

// WAV bits per sample for the sample flags of 组合框3: 8, 16, 24 or 32 (float). Any thread.
std::uint16_t bitsForSampleFlags(std::uint32_t flags);

// What the receiver shares with the window besides record_buffer: the push stream that hears
// what the take adds (0: none; the engine's own monitoring feed takes over when armed), and
// where the size of the latest block goes. Either may be null.
struct RecorderShared {
    const std::atomic<audio::Handle>* monitor = nullptr;
    std::atomic<std::uint32_t>* lastBlockSize = nullptr;
};

// What a take's journal needs from the window. Without a `describe`, takes keep no journal.
struct JournalSetup {
    // The folder journals go to, asked at every take.
    std::function<QString()> folder;
    // What the take beginning now belongs to (item, occurrence, folder, device, start); the
    // recorder fills in the format. Asked after the Started change has been told.
    std::function<TakeInfo()> describe;
    // Runs a function on the window thread later (a queued call): the journal's thread reports
    // through it.
    std::function<void(std::function<void()>)> post;
    // The journal's own hooks: its flush period, the memory reading (tests set them); the
    // reports are the recorder's.
    TakeJournalHooks hooks;
};

class Recorder {
  public:
    enum class State {
        Idle,       // no take (the latest one, if any, is in record_buffer)
        Opening,    // a take was asked for; its device is being opened
        Recording,  // capturing into record_buffer
        Paused,     // a take runs, nothing is added
        Closing,    // stopped: the post-roll comes in, or the device is being closed
    };
    enum class Input {
        Closed,   // not kept open (or not yet)
        Opening,  // being opened on the worker
        Open,     // capturing; the ring holds its latest moments
        Lost,     // the device went; opened again when asked
    };
    enum class Change {
        Started,      // the take captures (state Recording)
        StartFailed,  // its device could not be opened (state Idle, record_buffer empty)
        Paused,
        Resumed,
        Stopping,  // the stop was taken; the take closes when its post-roll is in
        Closed,  // the take is whole in record_buffer (data only), journal and check finished; Idle
        InputChanged,
        Clipped,      // checkTake() read a clipped block (at check().lastClipMs())
        Unprotected,  // the running take's journal cannot be written: it is in memory only
        MemoryLow,    // available memory ran low while the journal followed the take
    };
    struct Format {
        std::uint32_t rate = 44100;
        std::uint32_t channels = 2;
        std::uint32_t flags = 0;  // sample flags, as 组合框3 holds them
        bool operator==(const Format&) const = default;
    };
    using Notify = std::function<void(Change)>;
    // Told on the capture thread that record_buffer refused a block (its size limit); only a
    // queued call may be made there.
    using Refused = std::function<void()>;

    // The longest margin either side of a take, ms; the ring keeps both and a block more.
    static constexpr std::uint32_t kMaxMarginMs = 2000;

    Recorder(audio::AudioEngine& engine, RecordBuffer& buffer, DeviceWorker& worker, Notify notify,
             Refused refused = {}, RecorderShared shared = {});
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    State state() const { return m_state; }
    Input input() const { return m_input; }
    // The capture channel while a device is open (kept-open input or a take's own), else 0.
    audio::Handle channel() const { return m_channel; }
    Format format() const { return m_format; }
    // A take asked for while the previous one closes begins right after its Closed.
    bool startQueued() const { return m_queuedStart; }

    // Keeps `device` open in `format` from now on (closing whatever input was open), so that a
    // take can begin with audio from before its key. Idle only; false when refused.
    bool openInput(int device, const Format& format);
    // Closes the kept input (Idle only).
    void closeInput();

    // Begins a take: with the input kept open at once, with `prerollMs` of audio from before
    // this call; otherwise the device opens first (Opening), without pre-roll. While a take
    // closes, the start is queued, its pre-roll counted from now. False when refused (a take
    // runs, or one is queued already).
    bool start(int device, const Format& format, std::uint32_t prerollMs);
    // Stops a take; capture goes on for `postrollMs` before it closes (not after a pause).
    // A take still opening is called off. False when refused.
    bool stop(std::uint32_t postrollMs);
    bool pause();
    bool resume();
    // Finishes a closing take at once with what has come (the window is closing, or the
    // device went): no wait for the post-roll.
    void finishNow();

    // The window thread's look, every few ms while a take opens, closes or is queued: moves
    // the take on when the capture has caught up. The window calls it from a timer.
    void poll();
    // Whether poll() has anything to do.
    bool needsPolling() const;

    // Takes keep a journal from now on (made at each Started, after the change is told).
    void keepJournals(JournalSetup setup);
    // The take exists only in memory: it runs, or it closed and is neither saved nor dropped.
    bool takeOnlyInMemory() const { return m_journal != nullptr; }
    // The journal of that take (null when none), so that the pending takes may take it over.
    TakeJournal* journal() const { return m_journal.get(); }
    // The take is safe in a file, or the user let it go: its journal is deleted.
    void takeSaved() { dropJournal(); }
    void dropTake() { dropJournal(); }
    // The journal was handed over (its files are someone else's now): forgotten, not deleted.
    void journalHandedOver() { m_journal.reset(); }
    // The program ends without the user's word: the journal takes the last of the audio and its
    // files stay, to be recovered at the next start.
    void leaveJournalForRecovery();

    // The take's clipping check and judgement.
    const TakeCheck& check() const { return m_check; }
    // The window's look while a take runs: the check reads what was captured since the last
    // look, and a clipped block is told as Clipped. `nowMs`: the steady clock's reading.
    void checkTake(std::int64_t nowMs);

    // The device of the kept input or of the take went (the engine's lost-device notice).
    void deviceLost();
    // Between takes: a kept input that stalled and came back is opened afresh, since it now
    // lags the room by the length of the stall. Call now and then (the window's tick).
    void refreshInputAfterStall();

  private:
    static bool onBlock(audio::Handle channel, const void* data, std::uint32_t bytes, void* self);
    bool receive(const std::uint8_t* data, std::uint32_t bytes);
    // `monitored`: the capture thread's copy, which the monitoring stream hears too.
    void copyRange(std::uint64_t from, std::uint64_t to, bool monitored);
    void takeWhatCameFromRing();

    std::uint64_t framesNow() const;
    // The frame the kept input should be at now by the clock, from the take's start or resume:
    // after a stall the server hands over what it held back no faster than in real time, so the
    // count of frames come lags the key by the stall's length.
    std::uint64_t framesByClock() const;
    void openDevice(int device, const Format& format, std::function<void(bool)> done);
    void closeDevice(std::function<void()> done);
    void armCapture(const Format& format);
    void beginSegment(std::uint64_t startFrame);
    void beginTakeAt(std::uint64_t key, std::int64_t keyMs, std::uint32_t prerollMs);
    void becomeClosed();
    // A take captures: its check begins, Started is told, then its journal begins.
    void takeBegins();
    // The take is whole: its journal takes the last of it (and goes when it is empty), the check
    // reads the rest and judges.
    void finishTake();
    void dropJournal();
    void journalReport(Change c);
    void waitOutOfBlock() const;
    void changeTo(State s, Change c);

    audio::AudioEngine& m_engine;
    RecordBuffer& m_buffer;
    DeviceWorker& m_worker;
    Notify m_notify;
    Refused m_refused;
    RecorderShared m_shared;

    // Window thread.
    State m_state = State::Idle;
    Input m_input = Input::Closed;
    Format m_format;
    audio::Handle m_channel = 0;
    bool m_keptOpen = false;  // the open device is the kept input
    int m_inputDevice = -1;
    bool m_cancelOpening = false;  // stop() while Opening
    bool m_queuedStart = false;    // start() while Closing
    std::uint64_t m_queuedFrame = 0;
    std::int64_t m_queuedMs = 0;
    std::uint32_t m_queuedPreroll = 0;
    bool m_queuedResume = false;  // resume() before the pause's frame came in
    std::uint64_t m_resumeFrame = 0;
    bool m_deviceClosing = false;  // a device close runs on the worker
    std::uint32_t m_bytesPerFrame = 4;
    std::int64_t m_refMs = 0;      // steady-clock ms of the latest start or resume
    std::uint64_t m_refFrame = 0;  // the frame of that key
    bool m_sawStall = false;       // the kept input stalled since it was opened
    JournalSetup m_journalSetup;
    std::uint32_t m_takeSerial = 0;  // counts takes begun
    TakeCheck m_check;
    // The take's journal while it exists only in memory; its thread reads record_buffer, which
    // outlives the recorder.
    std::shared_ptr<TakeJournal> m_journal;
    // Lets a report queued by the journal's thread find out whether the recorder is still there.
    std::shared_ptr<Recorder*> m_self = std::make_shared<Recorder*>(this);

    // Shared with the capture thread.
    std::atomic<bool> m_appendOn{false};
    std::atomic<std::uint32_t> m_segment{0};      // a new value: a new range begins
    std::atomic<std::uint64_t> m_segStart{0};     // frame the range begins at
    std::atomic<std::uint64_t> m_stopFrame{0};    // frame the range ends at (excluded)
    std::atomic<bool> m_closing{false};           // the range that ends is the take's last
    std::atomic<bool> m_closedByCapture{false};   // the last range is in
    std::atomic<std::uint64_t> m_appendedAt{0};   // frame up to which the take has its audio
    std::atomic<std::uint64_t> m_deliveredAt{0};  // frames the receiver has had
    std::atomic<std::uint32_t> m_inBlock{0};      // odd while the receiver runs

    // Capture thread (set up by the window thread while no device delivers).
    std::vector<std::uint8_t> m_ring;
    std::uint64_t m_ringFrames = 0;
    std::uint32_t m_seenSegment = 0;
    std::uint64_t m_appended = 0;
};

}  // namespace quillar
