// Test entry point: a QApplication on the offscreen platform unless a display was chosen, with
// the program's own style and default font so that tests see what users see. Take journals go
// to a state folder of the test program's own, never the user's.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "kit/main_form.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir state;
    if (state.isValid()) {
        qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
    }
    QApplication app(argc, argv);
    quillar::setUpApplicationLook();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
