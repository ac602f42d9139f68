// When a voice begins and ends in a kept-open input, for hands-free recording: the loudest
// channel's RMS over 10 ms frames against the room's noise floor, which the level meter's own rule
// works out from the same audio (quality/level_meter.h), so that the threshold follows the room.
// Fed the input as it comes, with each piece's place in the capture stream; it says where in the
// stream a voice began and where its silence was complete. No widget; one owner thread.
#pragma once

#include <cstdint>
#include <vector>

#include "quality/level_meter.h"

namespace quillar::quality {

struct VoiceSettings {
    double sensitivityDb = 12.0;  // above the noise floor, dB
    int silenceMs = 800;          // the silence that ends a voice
};

struct VoiceEvent {
    enum class Kind {
        Began,    // a voice began at `frame` (the first loud frame of its onset)
        Ended,    // its silence was complete at `frame`; its last loud frame ended at `voiceEnd`
        TooLong,  // it has lasted kVoiceLongestMs at `frame`: no more waiting for its end
    };
    Kind kind = Kind::Began;
    std::uint64_t frame = 0;     // in the stream's frames
    std::uint64_t voiceEnd = 0;  // Ended only
};

class VoiceTrigger {
  public:
    enum class State {
        Quiet,      // listening (or deaf, see setListening)
        Candidate,  // loud long enough for an onset, not yet long enough for a voice
        Voice,      // a voice told by Began, its end not yet
        Overlong,   // a voice went on past the longest take: waiting for its silence
    };

    // Forgets everything: audio of `rate` Hz with `channels` interleaved channels (1 or 2
    // measured; more are read by their first two).
    void restart(std::uint32_t rate, std::uint32_t channels, VoiceSettings settings);
    void setSettings(VoiceSettings settings) { m_settings = settings; }
    // While not listening, the audio still feeds the noise floor but no voice begins; a voice
    // already begun goes on to its end. A sound heard while not listening that goes on when
    // listening begins is not taken for a voice's onset: a voice begins after a moment under
    // the threshold.
    void setListening(bool listening);
    // A voice begun is forgotten (a take was stopped by hand): the trigger is quiet again, and
    // starts nothing until the level has fallen below the threshold.
    void forgetVoice();

    // `frames` interleaved samples (-1..1) that begin at frame `first` of the stream. A piece that
    // does not follow the last one (audio lost between) starts the frames afresh. What happened
    // is appended to `events`, oldest first.
    void feed(const float* samples, std::uint32_t frames, std::uint64_t first,
              std::vector<VoiceEvent>& events);

    State state() const { return m_state; }
    // Whether the noise floor is known yet (half a second of input): no voice begins before.
    bool hasNoiseFloor() const { return m_meter.hasNoiseFloor(); }
    double noiseFloorDbfs() const { return m_meter.noiseFloorDbfs(); }
    // The level a voice must pass now to begin, dBFS.
    double startThresholdDbfs() const;

  private:
    void closeFrame(std::vector<VoiceEvent>& events);

    VoiceSettings m_settings;
    LevelMeter m_meter;
    std::uint32_t m_rate = 0;
    std::uint32_t m_channels = 0;  // measured
    std::uint32_t m_stride = 0;
    std::uint32_t m_frameLength = 1;  // frames in a 10 ms frame
    bool m_listening = false;
    bool m_waitForQuiet = false;  // after forgetVoice(): until the voice has stopped
    // The latest frame in Quiet was under the threshold, or a loud run began while listening: a
    // voice heard from its middle (begun during a prompt, or before the noise floor was known)
    // starts nothing.
    bool m_armed = false;

    std::uint64_t m_next = 0;  // the stream frame the next sample belongs to
    bool m_started = false;    // m_next is known
    std::uint64_t m_frameStart = 0;
    std::uint32_t m_inFrame = 0;
    double m_squares[2] = {0.0, 0.0};

    State m_state = State::Quiet;
    double m_threshold = 0.0;  // frozen at the onset, dBFS
    int m_loudRun = 0;         // frames above the start threshold in a row (Quiet)
    std::uint64_t m_runStart = 0;
    std::uint64_t m_onset = 0;
    std::uint64_t m_lastLoudEnd = 0;  // end of the latest frame above the end threshold
    int m_quietRun = 0;               // frames under the end threshold in a row
};

}  // namespace quillar::quality
