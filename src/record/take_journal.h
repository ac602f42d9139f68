// The take's journal: while a recording runs, a thread of its own copies what the capture thread
// has appended to record_buffer into a WAV file in the state folder, rewrites the header's sizes
// (and the pad byte after an odd count of bytes) and flushes the file to disk every half second, so
// that a crash, a kill or a dead battery loses at most the last second and the file opens in any
// audio tool. A TakeInfo file beside it says what recovery needs. The capture callback knows
// nothing of it.
//
// Lifetime, all on the GUI thread: made once a take has started (record_buffer cleared, the
// format known); finish() once the capture has stopped, so its last flush sees every byte, and
// always before record_buffer is wrapped into the WAV image or cleared; remove() when the take is
// safe in a file or deliberately dropped. Until then the files stay, and an exclusive flock on
// the journal tells any other Quillar that it belongs to a live take. Destroying the object
// without remove() keeps the files for recovery at the next start.
#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "audio/wav_layout.h"
#include "record/take_info.h"

namespace quillar {

class RecordBuffer;

// Journal files are "take-<start time>-<pid>-<serial>.wav" with ".json" beside for the TakeInfo.
inline constexpr char kJournalPrefix[] = "take-";
QString takeInfoPathOf(const QString& journalPath);
// A journal left by a take that has ended, opened and locked for its new owner; -1 when a running
// Quillar holds it or it went meanwhile.
int ClaimJournal(const QString& path);

// Where a journal's audio lies.
struct JournalAudio {
    std::uint64_t offset = 0;  // bytes from the start of the file
    std::uint64_t bytes = 0;   // of whole frames, at most RecordBuffer::kMaxDataBytes
};
// The audio of a journal file of `fileBytes` bytes, read through `read`, of a take in `info`'s
// format: where its own header says the samples start (a journal left by an older Quillar may
// have a shorter header), as far as the file goes, without the pad byte. Any thread.
JournalAudio JournalAudioOf(const audio::WavReader& read, std::uint64_t fileBytes,
                            const TakeInfo& info);

// What a journal tells its owner, and how often it flushes.
struct TakeJournalHooks {
    // Once per take, when the journal cannot be made or a later write or flush fails: the
    // take goes on in memory only. On the GUI thread from the constructor, else on the
    // journal thread.
    std::function<void()> unprotected;
    // Once, on the journal thread, when available memory falls below kLowMemoryMarginBytes.
    std::function<void()> memoryLow;
    // Available memory in bytes; availableMemoryBytes() when empty (tests replace it).
    std::function<std::optional<std::uint64_t>()> availableMemory;
    // On the journal thread after every flush, with the data bytes then on disk.
    std::function<void(std::uint64_t)> flushed;
    // Time between two flushes; under a second so that at most a second is ever lost.
    std::chrono::milliseconds period{500};
};

class TakeJournal {
  public:
    using Hooks = TakeJournalHooks;

    // GUI thread. Creates `folder` if needed, writes the TakeInfo and an empty WAV journal, and
    // starts the thread that follows `buffer`. A journal that cannot be made leaves the object
    // unprotected (the memory watch still runs).
    TakeJournal(const RecordBuffer& buffer, const QString& folder, const TakeInfo& info,
                Hooks hooks = {});
    ~TakeJournal();
    TakeJournal(const TakeJournal&) = delete;
    TakeJournal& operator=(const TakeJournal&) = delete;

    // GUI thread, after the capture stopped: a last flush of everything in the buffer, then the
    // thread ends. The files and the lock stay. Later calls do nothing.
    void finish();
    // GUI thread: finish(), then the journal and its TakeInfo are deleted and the lock released.
    void remove();

    // False once the journal could not be made or a write failed (any thread).
    bool isProtected() const { return !m_failed.load(std::memory_order_acquire); }
    // Data bytes on disk at the latest flush (any thread).
    std::uint64_t flushedBytes() const { return m_flushed.load(std::memory_order_acquire); }
    // What the journal was made with.
    const TakeInfo& info() const { return m_info; }
    // GUI thread, after finish(): the journal's open, locked descriptor passes to the caller,
    // who keeps the take (its files stay; remove() and the destructor then leave them alone).
    // -1 when there is no journal on disk.
    int releaseLock();

    // The journal's WAV file and its TakeInfo file; empty when they could not be named.
    const QString& path() const { return m_path; }
    const QString& infoPath() const { return m_infoPath; }

  private:
    bool create(const QString& folder);
    void run();
    void flush();
    void watchMemory();
    void fail();

    const RecordBuffer& m_buffer;
    const std::uint8_t* m_data = nullptr;  // the buffer's captured data, fixed for its life
    TakeInfo m_info;
    Hooks m_hooks;
    const std::uint64_t m_serial;  // its own number in this run, for the file name
    QString m_path;
    QString m_infoPath;
    int m_fd = -1;  // journal, opened and locked by the constructor, closed by remove() or ~

    // Journal thread only while it runs; the GUI thread's after finish() has joined it.
    std::uint64_t m_written = 0;      // data bytes written to the file
    std::uint64_t m_headerBytes = 0;  // data length the header on disk says
    std::uint64_t m_syncedBytes = 0;  // data length at the latest fdatasync
    bool m_memoryLowSent = false;

    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_unprotectedSent{false};
    std::atomic<std::uint64_t> m_flushed{0};

    std::mutex m_stopMutex;  // guards m_stop; never taken by the capture thread
    std::condition_variable m_stopSignal;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace quillar
