// What every handler works on: the window's controls, the audio engine, the dialog seam and the
// program-wide variables. Built once by main (or by a test) and passed by reference.
#pragma once

#include "kit/program_state.h"

namespace quillar {

namespace audio {
class AudioEngine;
}
class MainForm;
class UiSeam;

struct App {
    App(audio::AudioEngine& e, UiSeam& u, MainForm& f) : engine(e), ui(u), form(f) {}
    audio::AudioEngine& engine;
    UiSeam& ui;
    MainForm& form;
    ProgramState state;
};

}  // namespace quillar
