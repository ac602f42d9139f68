// The QApplication that benchmarks of widgets need, on the offscreen platform unless a display
// was chosen. Made on first use and left alive at exit: destroying it after Qt's own statics
// have gone crashes.
#pragma once

#include <QApplication>

namespace quillar::bench {

inline QApplication& Application() {
    static int argc = 1;
    static char name[] = "quillar_bench";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

}  // namespace quillar::bench
