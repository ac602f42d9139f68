#include "kit/media_player.h"

#include <QFile>
#include <algorithm>

#include "audio/audio_engine.h"

namespace quillar {

namespace {
constexpr int kPlaying = 1;
}

struct MediaPlayer::Impl {
    explicit Impl(audio::AudioEngine& e) : engine(e) {}
    audio::AudioEngine& engine;
    audio::Handle stream = 0;
    audio::FileVerdict verdict;
    bool started = false;
};

MediaPlayer::MediaPlayer(audio::AudioEngine& engine, QObject* parent)
    : QObject(parent), m_impl(new Impl(engine)) {}

MediaPlayer::~MediaPlayer() {
    stop();
    delete m_impl;
}

bool MediaPlayer::open(const QString& path) {
    stop();
    m_impl->stream =
        m_impl->engine.createFileStream(QFile::encodeName(path).toStdString(), &m_impl->verdict);
    return m_impl->stream != 0;
}

const audio::FileVerdict& MediaPlayer::verdict() const {
    return m_impl->verdict;
}

void MediaPlayer::play() {
    if (m_impl->stream != 0 && m_impl->engine.play(m_impl->stream, true)) {
        m_impl->started = true;
    }
}

int MediaPlayer::state() const {
    if (m_impl->stream == 0 || !m_impl->started) {
        return 0;
    }
    const int s = m_impl->engine.state(m_impl->stream);
    if (s == kPlaying) {
        return kPlaying;
    }
    // Played out: the engine stops the stream at its end, but the player stays "playing" at the
    // end until it is stopped.
    const std::int64_t len = length();
    if (s == 0 && m_impl->engine.positionBytes(m_impl->stream) >= len) {
        return kPlaying;
    }
    return std::max(s, 0);
}

std::int64_t MediaPlayer::length() const {
    return m_impl->stream == 0
               ? 0
               : std::max<std::int64_t>(0, m_impl->engine.lengthBytes(m_impl->stream));
}

std::int64_t MediaPlayer::position() const {
    if (m_impl->stream == 0) {
        return 0;
    }
    return std::clamp<std::int64_t>(m_impl->engine.positionBytes(m_impl->stream), 0, length());
}

std::uint32_t MediaPlayer::streamHandle() const {
    return m_impl->stream;
}

void MediaPlayer::stop() {
    if (m_impl->stream != 0) {
        m_impl->engine.freeStream(m_impl->stream);
    }
    m_impl->stream = 0;
    m_impl->started = false;
}

}  // namespace quillar
