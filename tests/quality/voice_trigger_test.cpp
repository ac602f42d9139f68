// When a voice begins and ends, on synthetic rooms whose words are known to the frame.
#include "quality/voice_trigger.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "quality/quality_limits.h"
#include "support/voice_scene.h"

namespace quillar::quality {
namespace {

using test::SceneWord;
using test::VoiceScene;

// The scene heard for `seconds`, stereo, in pieces of `piece` frames (not a multiple of the
// 10 ms frames, so that frames straddle the pieces), listening from the start.
std::vector<VoiceEvent> hear(const VoiceScene& scene, double seconds, VoiceSettings settings = {},
                             std::uint32_t piece = 1234) {
    VoiceTrigger trigger;
    trigger.restart(scene.rate, 2, settings);
    trigger.setListening(true);
    std::vector<VoiceEvent> events;
    std::vector<float> buf;
    const std::int64_t total = scene.frameAt(seconds);
    for (std::int64_t first = 0; first < total; first += piece) {
        const auto n = static_cast<std::uint32_t>(std::min<std::int64_t>(piece, total - first));
        buf.resize(std::size_t{n} * 2);
        for (std::uint32_t f = 0; f < n; ++f) {
            buf[2 * f] = static_cast<float>(scene(0, first + f));
            buf[2 * f + 1] = static_cast<float>(scene(1, first + f) * 0.5);  // the quieter side
        }
        trigger.feed(buf.data(), n, static_cast<std::uint64_t>(first), events);
    }
    return events;
}

int count(const std::vector<VoiceEvent>& events, VoiceEvent::Kind kind) {
    int n = 0;
    for (const VoiceEvent& e : events) {
        n += e.kind == kind ? 1 : 0;
    }
    return n;
}

constexpr double kFrame = 0.010;  // s, the detector's resolution

TEST(VoiceTrigger, AWordBeginsAtItsOnsetAndEndsAfterTheSilence) {
    VoiceScene scene;
    scene.noiseDbfs = -60.0;
    scene.words = {{2.0, 0.8, -20.0}};
    const std::vector<VoiceEvent> events = hear(scene, 5.0);
    ASSERT_EQ(events.size(), 2U);
    EXPECT_EQ(events[0].kind, VoiceEvent::Kind::Began);
    EXPECT_NEAR(double(events[0].frame) / scene.rate, 2.0, kFrame);
    EXPECT_EQ(events[1].kind, VoiceEvent::Kind::Ended);
    EXPECT_NEAR(double(events[1].voiceEnd) / scene.rate, 2.8, kFrame);
    EXPECT_NEAR(double(events[1].frame - events[1].voiceEnd) / scene.rate, 0.8, kFrame);
}

// What must begin nothing at the default sensitivity, and the quiet word that must.
TEST(VoiceTrigger, ClicksNoiseAndQuietSoundsAgainstTheThreshold) {
    const struct {
        const char* name;
        double noiseDbfs;
        std::vector<SceneWord> words;
        int takes;
    } cases[] = {
        {"a 100 ms click", -60.0, {{2.0, 0.1, -10.0}}, 0},
        {"two clicks 400 ms apart", -60.0, {{2.0, 0.1, -10.0}, {2.5, 0.1, -10.0}}, 0},
        {"a 140 ms cough", -60.0, {{2.0, 0.14, -15.0}}, 0},
        {"steady noise at -45 dBFS", -45.0, {}, 0},
        {"a word 8 dB over -45 dBFS noise", -45.0, {{2.0, 0.8, -37.0}}, 0},
        {"a word 20 dB over -45 dBFS noise", -45.0, {{2.0, 0.8, -25.0}}, 1},
        {"a word at -55 dBFS in a silent room", -80.0, {{2.0, 0.8, -55.0}}, 0},
        {"a word at -40 dBFS in a silent room", -80.0, {{2.0, 0.8, -40.0}}, 1},
        {"a 200 ms word", -60.0, {{2.0, 0.2, -20.0}}, 1},
        {"a word before the noise floor is known", -60.0, {{0.1, 0.8, -20.0}}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VoiceScene scene;
        scene.noiseDbfs = c.noiseDbfs;
        scene.words = c.words;
        const std::vector<VoiceEvent> events = hear(scene, 5.0);
        EXPECT_EQ(count(events, VoiceEvent::Kind::Began), c.takes);
        EXPECT_EQ(count(events, VoiceEvent::Kind::Ended), c.takes);
    }
}

// A pause inside a word (a stop's closure, a hesitation) keeps one voice only while it is shorter
// than the silence setting.
TEST(VoiceTrigger, APauseInsideAWordAgainstTheSilenceSetting) {
    const struct {
        int pauseMs;
        int silenceMs;
        int voices;
    } cases[] = {
        {500, 800, 1}, {790, 800, 1}, {810, 800, 2}, {1200, 800, 2}, {800, 1000, 1}, {800, 500, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.pauseMs << " ms pause, " << c.silenceMs << " ms silence");
        VoiceScene scene;
        scene.words = {{2.0, 0.4, -20.0}, {2.4 + c.pauseMs / 1000.0, 0.4, -20.0}};
        const std::vector<VoiceEvent> events = hear(scene, 6.0, {12.0, c.silenceMs});
        EXPECT_EQ(count(events, VoiceEvent::Kind::Began), c.voices);
        EXPECT_EQ(count(events, VoiceEvent::Kind::Ended), c.voices);
        ASSERT_FALSE(events.empty());
        EXPECT_NEAR(double(events.front().frame) / scene.rate, 2.0, kFrame);
    }
}

TEST(VoiceTrigger, AVoiceLongerThanTheLongestTakeIsToldOnceAndEndsNothingAfter) {
    VoiceScene scene;
    scene.words = {{1.0, 32.0, -20.0}, {34.5, 0.5, -20.0}};
    const std::vector<VoiceEvent> events = hear(scene, 37.0, {}, 4410);
    ASSERT_EQ(events.size(), 4U);
    EXPECT_EQ(events[0].kind, VoiceEvent::Kind::Began);
    EXPECT_EQ(events[1].kind, VoiceEvent::Kind::TooLong);
    EXPECT_NEAR(double(events[1].frame - events[0].frame) / scene.rate, kVoiceLongestMs / 1000.0,
                kFrame);
    // The rest of the long voice begins nothing; the next word does.
    EXPECT_EQ(events[2].kind, VoiceEvent::Kind::Began);
    EXPECT_NEAR(double(events[2].frame) / scene.rate, 34.5, kFrame);
    EXPECT_EQ(events[3].kind, VoiceEvent::Kind::Ended);
}

TEST(VoiceTrigger, DeafWhileNotListeningAndAfterAVoiceCutShortUntilItStops) {
    VoiceScene scene;
    scene.words = {{1.0, 1.0, -20.0}, {3.0, 1.0, -20.0}, {5.0, 0.5, -20.0}};
    VoiceTrigger trigger;
    trigger.restart(scene.rate, 1, {});
    std::vector<VoiceEvent> events;
    std::vector<float> buf;
    std::int64_t next = 0;
    const auto feedTo = [&](double seconds) {
        const std::int64_t end = scene.frameAt(seconds);
        for (; next < end; next += 441) {
            buf.assign(441, 0.0f);
            for (int f = 0; f < 441; ++f) {
                buf[f] = static_cast<float>(scene(0, next + f));
            }
            trigger.feed(buf.data(), 441, static_cast<std::uint64_t>(next), events);
        }
    };
    feedTo(2.5);  // not listening: the first word passes
    EXPECT_TRUE(events.empty());
    trigger.setListening(true);
    feedTo(3.5);  // the second word begins
    ASSERT_EQ(events.size(), 1U);
    EXPECT_NEAR(double(events[0].frame) / scene.rate, 3.0, kFrame);
    trigger.forgetVoice();  // a key stopped its take: the rest of it begins nothing
    feedTo(4.9);
    EXPECT_EQ(events.size(), 1U);
    feedTo(7.0);
    ASSERT_EQ(events.size(), 3U);
    EXPECT_NEAR(double(events[1].frame) / scene.rate, 5.0, kFrame);
}

// Listening begins while a sound goes on (a prompt's last moment, a speaker too early): that is
// no onset; a voice that begins on the very frame listening does is one.
TEST(VoiceTrigger, ListeningBeginsDuringASoundOrJustBeforeAVoice) {
    const struct {
        const char* name;
        double listenAt;
        int voices;
    } cases[] = {
        {"listening from the middle of the word", 2.3, 0},
        {"listening from the word's first frame", 2.0, 1},
        {"listening 10 ms before the word", 1.99, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        VoiceScene scene;
        scene.words = {{2.0, 0.8, -20.0}};
        VoiceTrigger trigger;
        trigger.restart(scene.rate, 1, {});
        std::vector<VoiceEvent> events;
        std::vector<float> buf(441);
        for (std::int64_t first = 0; first < scene.frameAt(5.0); first += 441) {
            if (first == scene.frameAt(c.listenAt)) {
                trigger.setListening(true);
            }
            for (int f = 0; f < 441; ++f) {
                buf[f] = static_cast<float>(scene(0, first + f));
            }
            trigger.feed(buf.data(), 441, static_cast<std::uint64_t>(first), events);
        }
        EXPECT_EQ(count(events, VoiceEvent::Kind::Began), c.voices);
    }
}

TEST(VoiceTrigger, AfterLostAudioTheOnsetIsStillPlacedInTheStream) {
    VoiceScene scene;
    scene.words = {{3.0, 0.8, -20.0}};
    VoiceTrigger trigger;
    trigger.restart(scene.rate, 1, {});
    trigger.setListening(true);
    std::vector<VoiceEvent> events;
    std::vector<float> buf(1000);
    for (std::int64_t first = 0; first < scene.frameAt(5.0); first += 1000) {
        if (first >= scene.frameAt(1.0) && first < scene.frameAt(2.0)) {
            continue;  // a second the window was too slow to read
        }
        for (int f = 0; f < 1000; ++f) {
            buf[f] = static_cast<float>(scene(0, first + f));
        }
        trigger.feed(buf.data(), 1000, static_cast<std::uint64_t>(first), events);
    }
    ASSERT_EQ(count(events, VoiceEvent::Kind::Began), 1);
    EXPECT_NEAR(double(events[0].frame) / scene.rate, 3.0, kFrame);
}

}  // namespace
}  // namespace quillar::quality
