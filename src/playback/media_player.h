// The player of saved recordings (媒体播放1): open a WAV file, play it through the audio engine,
// and report state, length and position in one unit (bytes of sample data).
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>

namespace quillar {

namespace audio {
class AudioEngine;
}

class MediaPlayer : public QObject {
    Q_OBJECT
  public:
    MediaPlayer(audio::AudioEngine& engine, QObject* parent = nullptr);
    ~MediaPlayer() override;

    bool open(const QString& path);
    void play();        // from position 0 to the end
    int state() const;  // 1 while playing
    std::int64_t length() const;
    std::int64_t position() const;  // equals length() once playback has reached the end
    void stop();                    // ends playback and releases the file

  private:
    struct Impl;
    Impl* m_impl;
};

}  // namespace quillar
