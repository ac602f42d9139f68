#include "playback/media_player.h"

namespace quillar {

struct MediaPlayer::Impl {};

MediaPlayer::MediaPlayer(audio::AudioEngine&, QObject* parent)
    : QObject(parent), m_impl(new Impl) {}
MediaPlayer::~MediaPlayer() {
    delete m_impl;
}
bool MediaPlayer::open(const QString&) {
    return false;
}
void MediaPlayer::play() {}
int MediaPlayer::state() const {
    return 0;
}
std::int64_t MediaPlayer::length() const {
    return 0;
}
std::int64_t MediaPlayer::position() const {
    return 0;
}
void MediaPlayer::stop() {}

}  // namespace quillar
