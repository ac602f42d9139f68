// Test entry point: a QApplication on the offscreen platform unless a display was chosen, with
// the program's own style and default font so that tests see what users see. Take journals go
// to a state folder of each test's own, never the user's: a take one test leaves in memory is
// not recovered by the next.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>
#include <memory>

#include "kit/main_form.h"

namespace {

class FreshStateFolder : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override {
        m_state = std::make_unique<QTemporaryDir>();
        if (m_state->isValid()) {
            qputenv("XDG_STATE_HOME", m_state->path().toLocal8Bit());
        }
    }
    void OnTestEnd(const ::testing::TestInfo&) override { m_state.reset(); }
    std::unique_ptr<QTemporaryDir> m_state;
};

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    quillar::setUpApplicationLook();
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshStateFolder);
    return RUN_ALL_TESTS();
}
