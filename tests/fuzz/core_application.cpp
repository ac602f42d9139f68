// The readers need a Qt application for their texts and files, but no window: every target but
// the waveform's, which draws, starts this one.
#include <QCoreApplication>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    new QCoreApplication(*argc, *argv);
    return 0;
}
