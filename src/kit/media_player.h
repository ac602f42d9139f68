// The player of saved recordings (媒体播放1): open a WAV file, play it through the audio engine,
// and report state, length and position in one unit (bytes of sample data). GUI thread only.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

namespace quillar {

namespace audio {
class AudioEngine;
struct FileVerdict;
}  // namespace audio

class MediaPlayer : public QObject {
    Q_OBJECT
  public:
    MediaPlayer(audio::AudioEngine& engine, QObject* parent = nullptr);
    ~MediaPlayer() override;

    // Stops what was open, reads the file's header and makes it ready to play where it lies
    // (saving over it while it plays changes nothing: saves replace the file by rename). False
    // when the file cannot be read or is not a WAV file the engine plays; the player then stays
    // closed (state 0) and verdict() says why.
    bool open(const QString& path);
    // Why the latest open() failed (problem None after a successful one).
    const audio::FileVerdict& verdict() const;
    void play();  // from position 0 to the end
    // 1 from play() until stop(), also once the end has been reached: so a caller polling it sees
    // position() == length() while the state is still 1. 0 when closed or never started, 3 when
    // paused by the engine.
    int state() const;
    std::int64_t length() const;    // bytes of sample data, 0 when closed
    std::int64_t position() const;  // bytes played, 0..length(); equals length() at the end
    void stop();                    // ends playback and releases the file
    // The engine's stream of the open file; 0 when closed.
    std::uint32_t streamHandle() const;

  private:
    struct Impl;
    Impl* m_impl;
};

}  // namespace quillar
