#include "record/take_journal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <system_error>

#include "kit/record_buffer.h"
#include "platform/file_io.h"
#include "platform/thread_name.h"
#include "record/memory_watch.h"
#include "record/wav_image.h"

namespace quillar {

namespace {

std::atomic<std::uint64_t> g_journalSerial{0};

}  // namespace

QString takeInfoPathOf(const QString& journalPath) {
    QString stem = journalPath;
    if (stem.endsWith(QStringLiteral(".wav"))) {
        stem.chop(4);
    }
    return stem + QStringLiteral(".json");
}

int ClaimJournal(const QString& path) {
    platform::FileHandle file = platform::openForReading(path);
    // The lock may have been won just as its owner made the take safe and removed the file:
    // only a journal still under its name is a take to recover.
    if (!file || !platform::lockExclusive(file.fd()) || !platform::stillNamed(file.fd(), path)) {
        return -1;
    }
    return file.release();
}

JournalAudio JournalAudioOf(const audio::WavReader& read, std::uint64_t fileBytes,
                            const TakeInfo& info) {
    audio::WavLayout layout;
    const bool known =
        audio::readWavLayout(read, fileBytes, &layout) == audio::WavVerdict::Playable;
    JournalAudio audio;
    audio.offset = known ? layout.dataOffset : wavHeaderSize(info.bits);
    if (fileBytes <= audio.offset || info.blockAlign() == 0) {
        return audio;
    }
    std::uint64_t bytes = fileBytes - audio.offset;
    // The pad byte goes on disk after the header that counts the data before it, so a file one
    // byte longer than an odd count its header gives ends in the pad, not in a sample.
    if (known && (layout.declaredDataBytes & 1u) != 0 &&
        bytes == std::uint64_t{layout.declaredDataBytes} + 1) {
        bytes -= 1;
    }
    // A file whose RIFF size counts every byte of it is whole, as a journal is once its last
    // header is on disk: its samples are the "data" chunk alone, and a chunk after them (another
    // program's "LIST") is no audio. A journal being written holds more than its header says.
    std::uint8_t riffSize[4];
    if (known && bytes > layout.declaredDataBytes && read(4, riffSize, 4) == 4 &&
        (std::uint64_t{riffSize[0]} | std::uint64_t{riffSize[1]} << 8 |
         std::uint64_t{riffSize[2]} << 16 | std::uint64_t{riffSize[3]} << 24) +
                8 ==
            fileBytes) {
        bytes = layout.declaredDataBytes;
    }
    // A torn last write leaves part of a frame: only whole frames are audio.
    bytes = std::min<std::uint64_t>(bytes, RecordBuffer::kMaxDataBytes);
    audio.bytes = bytes - bytes % info.blockAlign();
    return audio;
}

TakeJournal::TakeJournal(const RecordBuffer& buffer, const QString& folder, const TakeInfo& info,
                         Hooks hooks)
    : m_buffer(buffer),
      m_data(buffer.stableCapturedData()),
      m_info(info),
      m_hooks(std::move(hooks)),
      m_serial(++g_journalSerial) {
    if (!create(folder)) {
        fail();
    }
    try {
        m_thread = std::thread([this] { run(); });
        platform::nameThread(m_thread, "quillar-journal");
    } catch (const std::system_error&) {
        // No thread to be had: nothing follows the take, which lives on in memory alone.
        fail();
    }
}

TakeJournal::~TakeJournal() {
    finish();
    if (m_fd >= 0) {
        platform::closeFile(m_fd);
    }
}

bool TakeJournal::create(const QString& folder) {
    // With heap backing an append may move the data under the reader: no journal then.
    if (m_data == nullptr || !m_info.hasUsableFormat() || folder.isEmpty()) {
        return false;
    }
    const QString stem = QStringLiteral("%1/%2%3-%4-%5")
                             .arg(folder, QLatin1String(kJournalPrefix),
                                  m_info.started.toString(QStringLiteral("yyyyMMdd-HHmmss")))
                             .arg(platform::processId())
                             .arg(m_serial);
    m_path = stem + QStringLiteral(".wav");
    m_infoPath = stem + QStringLiteral(".json");
    if (!QDir().mkpath(folder) || !writeTakeInfo(m_infoPath, m_info)) {
        QFile::remove(m_infoPath);
        return false;
    }
    // Made and locked under a name recovery does not look at, then renamed: another Quillar
    // starting up never sees the journal unlocked.
    const QString making = QStringLiteral("%1/.%2.new").arg(folder, QFileInfo(m_path).fileName());
    platform::FileHandle file = platform::createNewFile(making, 0600);
    const auto header = wavHeaderBytes(0, m_info.rate, m_info.bits, m_info.channels);
    if (!file || !platform::lockExclusive(file.fd()) ||
        !platform::writeAllAt(file.fd(), header.data(), header.size(), 0) ||
        !platform::syncData(file.fd()) || !platform::renameReplacing(making, m_path)) {
        if (file) {
            file.close();
            QFile::remove(making);
        }
        QFile::remove(m_infoPath);
        return false;
    }
    m_fd = file.release();
    platform::syncFolder(folder);
    return true;
}

void TakeJournal::fail() {
    m_failed.store(true, std::memory_order_release);
    if (!m_unprotectedSent.exchange(true) && m_hooks.unprotected) {
        m_hooks.unprotected();
    }
}

void TakeJournal::run() {
    std::unique_lock<std::mutex> lock(m_stopMutex);
    for (;;) {
        const bool stopping =
            m_stopSignal.wait_for(lock, m_hooks.period, [this] { return m_stop; });
        lock.unlock();
        // The stop comes after the capture's last delivery: this flush takes the take's end.
        flush();
        if (!stopping) {
            watchMemory();
        }
        lock.lock();
        if (stopping) {
            return;
        }
    }
}

void TakeJournal::flush() {
    if (m_fd < 0 || !isProtected()) {
        return;
    }
    // The acquire load of the length makes every byte below it visible here.
    std::uint64_t size = m_buffer.size();
    size -= size % m_info.blockAlign();
    if (size < m_written) {
        return;  // the buffer was cleared under a live journal: never write from it again
    }
    const std::uint64_t dataAt = wavHeaderSize(m_info.bits);
    if (size > m_written) {
        // Over the pad byte of the last flush, if any.
        if (!platform::writeAllAt(m_fd, m_data + m_written, size - m_written, dataAt + m_written)) {
            fail();
            return;
        }
        m_written = size;
    }
    if (m_headerBytes != m_written) {
        const auto header = wavHeaderBytes(static_cast<std::uint32_t>(m_written), m_info.rate,
                                           m_info.bits, m_info.channels);
        if (!platform::writeAllAt(m_fd, header.data(), header.size(), 0)) {
            fail();
            return;
        }
        // After the header that counts the data, so that recovery never reads the pad as a
        // sample.
        const std::uint8_t pad = 0;
        if (wavPadBytes(m_written) != 0 &&
            !platform::writeAllAt(m_fd, &pad, 1, dataAt + m_written)) {
            fail();
            return;
        }
        m_headerBytes = m_written;
    }
    if (m_syncedBytes == m_written) {
        return;  // paused: nothing new since the last flush
    }
    if (!platform::syncData(m_fd)) {
        fail();
        return;
    }
    m_syncedBytes = m_written;
    m_flushed.store(m_written, std::memory_order_release);
    if (m_hooks.flushed) {
        m_hooks.flushed(m_written);
    }
}

void TakeJournal::watchMemory() {
    if (m_memoryLowSent) {
        return;
    }
    const std::optional<std::uint64_t> available =
        m_hooks.availableMemory ? m_hooks.availableMemory() : availableMemoryBytes();
    if (available && *available < kLowMemoryMarginBytes) {
        m_memoryLowSent = true;
        if (m_hooks.memoryLow) {
            m_hooks.memoryLow();
        }
    }
}

void TakeJournal::finish() {
    if (!m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_stopMutex);
        m_stop = true;
    }
    m_stopSignal.notify_one();
    m_thread.join();
}

int TakeJournal::releaseLock() {
    finish();
    const int fd = isProtected() ? m_fd : -1;
    if (fd >= 0) {
        m_fd = -1;
    }
    return fd;
}

void TakeJournal::remove() {
    finish();
    if (m_fd < 0) {
        return;
    }
    // Unlinked while still locked: a Quillar starting now either sees no file or a locked one.
    QFile::remove(m_path);
    QFile::remove(m_infoPath);
    platform::closeFile(m_fd);
    m_fd = -1;
}

}  // namespace quillar
