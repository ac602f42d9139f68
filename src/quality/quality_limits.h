// The limits a take is judged by, in one place: the window, the take log and quillar-check all
// read them from here. Levels are in dB of full scale (a full-scale sample is 0 dBFS).
//
// Where they come from: the level and noise limits are those a national dialect-survey project
// sets for its recordings (level between -18 and -6 dB, background noise at most -48 dB and best
// at most -60); the rest are what word-list projects report going wrong in the field (onsets
// cut, silent files, a mono microphone on one side of a stereo input, a DC offset). The README
// lists them for the user.
#pragma once

namespace quillar::quality {

// Length of the analysis windows, in ms; they do not overlap.
inline constexpr int kWindowMs = 50;
// Which windows' RMS stands for the background noise and for the speech, as percentiles (0..1).
inline constexpr double kNoisePercentile = 0.10;
inline constexpr double kSpeechPercentile = 0.95;

// A take whose peak stays below this holds no speech.
inline constexpr double kSilentPeakDbfs = -40.0;
// A first or last window this loud, and this far above the noise, means the word runs past the
// take's edge.
inline constexpr double kCutEdgeDbfs = -40.0;
inline constexpr double kCutEdgeAboveNoiseDb = 20.0;
// Background noise: above the first the take is to be redone, above the second checked.
inline constexpr double kNoiseRedoDbfs = -48.0;
inline constexpr double kNoiseCheckDbfs = -60.0;
// The level the project asks for: the peak between these two.
inline constexpr double kQuietPeakDbfs = -18.0;
inline constexpr double kLoudPeakDbfs = -6.0;
// Of two channels, one this quiet while the other carries speech (above kSilentPeakDbfs).
inline constexpr double kDeadChannelPeakDbfs = -50.0;
// A channel whose mean strays this far from zero (fraction of full scale).
inline constexpr double kDcOffsetLimit = 0.01;
// A float sample of this magnitude or more counts as full scale (non-finite values too); integer
// samples clip at their extreme codes.
inline constexpr double kFloatFullScale = 0.999;

// Where the speech lies in a take: from the first to the last frame of this length whose RMS is
// this far above the take's noise and above the floor, widened by the margin on each side (a
// word's faint onset and release sit just outside its loud frames) and bounded by the take.
inline constexpr int kSpeechFrameMs = 10;
inline constexpr double kSpeechAboveNoiseDb = 12.0;
inline constexpr double kSpeechFloorDbfs = -50.0;
inline constexpr int kSpeechMarginMs = 20;

// Hands-free recording: a voice begins when the loudest channel's RMS over frames of this length
// stays above the room's noise floor plus the sensitivity, and above the floor here, for the
// onset time; it has ended when the level stays below that threshold less the hysteresis for
// the silence the user sets. A burst whose loud frames span less than the shortest voice (a
// click, a cough) makes no take, and a take is stopped at the longest.
inline constexpr int kVoiceFrameMs = kSpeechFrameMs;
inline constexpr int kVoiceOnsetMs = 60;
inline constexpr double kVoiceFloorDbfs = -50.0;
inline constexpr double kVoiceEndHysteresisDb = 3.0;
inline constexpr int kVoiceShortestMs = 150;
inline constexpr int kVoiceLongestMs = 30000;

}  // namespace quillar::quality
