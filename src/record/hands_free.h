// Hands-free recording, without widgets: the voice in the kept-open input begins a take on the
// item current then, its silence ends it (the post-roll follows), it is judged at once, and the
// list stays on the item to ask again for a take to redo, or moves on to the next item to record.
// Listening goes on at once, so a voice during the last take's post-roll begins the next take,
// and the pace is the speaker's. The window feeds it the input from its recorder tick and does
// what it asks through its hooks; keys reach it through enter() and selectionMoved().
//
// Threads: the window thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "quality/take_judge.h"
#include "quality/voice_trigger.h"

namespace quillar {

class HandsFree {
  public:
    enum class Phase {
        Off,
        Prompting,  // the item's prompt plays: nobody listens to it
        Listening,  // for the current item's voice
        Recording,  // a take the voice began, until its silence
        ByHand,     // a take begun with Enter, until the next Enter
    };
    // What the notice says.
    enum class Notice {
        Off,        // the mode is off: no notice
        NoInput,    // the input is not open: nothing can be heard
        Prompting,  // the item's prompt plays
        Waiting,    // waiting for the voice
        MovedOn,    // the last take is saved; waiting for the next item's voice
        AskAgain,   // the last take is to be redone; waiting for it again
        Recording,  // a take records
        Finished,   // every item has a recording: the mode ended
    };

    struct Hooks {
        // Begins a take on the current item: at frame `onset` of the input's stream with the
        // pre-roll before it, or by hand (no onset) as Enter does. False when none began.
        std::function<bool(std::optional<std::uint64_t> onset)> startTake;
        // Stops the running take at frame `end` of the stream, or now (no end), its post-roll
        // after, and gives the judgement of what it has so far.
        std::function<quality::Judgement(std::optional<std::uint64_t> end)> stopTake;
        // The current row of the list, -1 for none.
        std::function<int()> currentRow;
        // Selects the next item to record after `row`; false when none is left.
        std::function<bool(int row)> advance;
        // Plays the prompt of the item at `row` and calls `done` once it has ended (never
        // inside the call); empty: no prompts, listening begins at once.
        std::function<void(int row, std::function<void()> done)> prompt;
        // The notice changed.
        std::function<void(Notice)> notice;
    };

    explicit HandsFree(Hooks hooks) : m_hooks(std::move(hooks)) {}

    Phase phase() const { return m_phase; }
    Notice notice() const { return m_notice; }
    bool on() const { return m_phase != Phase::Off; }
    const quality::VoiceTrigger& trigger() const { return m_trigger; }

    // Switches the mode on for an input of `rate` Hz and `channels` channels: listens for the
    // current item (after its prompt).
    void begin(std::uint32_t rate, std::uint32_t channels, quality::VoiceSettings settings);
    // The options changed: the next voice is heard by these.
    void setSettings(quality::VoiceSettings settings) {
        m_settings = settings;
        m_trigger.setSettings(settings);
    }
    // Switches it off. A take still running is the caller's to stop (as Enter would).
    void end();
    // The input was opened again (another device or format): its stream starts afresh.
    void inputChanged(std::uint32_t rate, std::uint32_t channels);
    // The input is not open (false) or is again (true).
    void inputAvailable(bool available);

    // `frames` interleaved samples (-1..1) from frame `first` of the input's stream, as they come.
    void feed(const float* samples, std::uint32_t frames, std::uint64_t first);
    // The same for audio captured before the mode looked (the input's last moments when it
    // begins): heard for the noise floor only, so that listening starts at once, never for a
    // voice.
    void feedPast(const float* samples, std::uint32_t frames, std::uint64_t first);
    // Enter on the list: starts a take by hand, or stops the one that runs (then judged as at
    // the end of a voice).
    void enter();
    // The selection moved, by a key or a click (not by the mode's own advance).
    void selectionMoved();
    // A take running when the mode began or ended otherwise (a list load): the mode forgets it.
    void takeStoppedElsewhere();

  private:
    void listenForCurrent(Notice notice);
    void startListening(Notice notice);
    void voiceBegan(std::uint64_t onset);
    // The take ends at `end` (now when none): judged, then the list stays or moves on.
    void takeEnds(std::optional<std::uint64_t> at);
    void say(Notice notice);

    Hooks m_hooks;
    Phase m_phase = Phase::Off;
    Notice m_notice = Notice::Off;
    quality::VoiceTrigger m_trigger;
    quality::VoiceSettings m_settings;
    std::vector<quality::VoiceEvent> m_events;
    bool m_inputOpen = true;
    int m_takeRow = -1;  // the row the running take began on
    bool m_movedDuringTake = false;
    bool m_advancing = false;          // the mode's own move of the selection
    std::uint64_t m_promptSerial = 0;  // a prompt's end counts only for the latest prompt
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace quillar
