// What every handler works on: the window's controls, the audio engine, the dialog seam and the
// program-wide variables. Built once by main (or by a test) and passed by reference.
#pragma once

#include <functional>
#include <memory>

#include "kit/program_state.h"

namespace quillar {

namespace audio {
class AudioEngine;
}
class MainForm;
class UiSeam;
class Recorder;       // record/recorder.h
class DeviceWorker;   // record/device_worker.h
class PendingWriter;  // record/pending_writer.h
class HandsFree;      // record/hands_free.h

struct App {
    App(audio::AudioEngine& e, UiSeam& u, MainForm& f) : engine(e), ui(u), form(f) {}
    audio::AudioEngine& engine;
    UiSeam& ui;
    MainForm& form;
    ProgramState state;
    // The takes' life, made by the event wiring. Declared after `state` (its takes end up in
    // record_buffer) and before the worker, which goes first so that no device call outlives it.
    std::shared_ptr<Recorder> recorder;
    // Saves the takes the recorder has closed (items/closed_takes.h, set by the event wiring):
    // the recording handlers call it once the recorder's notifications are over.
    std::function<void()> file_closed_takes;
    // Device calls off the window thread; a test may set an inline one before the wiring.
    std::shared_ptr<DeviceWorker> device_worker;
    // Writes pending takes into their folders off the window thread (items/pending_saving.h);
    // a test may set an inline one before the wiring. Gone once the window closes.
    std::shared_ptr<PendingWriter> pending_writer;
    // Hands-free recording (made by the event wiring; on while the option 自动录音 is).
    std::shared_ptr<HandsFree> hands_free;
};

}  // namespace quillar
