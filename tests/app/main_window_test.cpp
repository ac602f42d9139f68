#include <gtest/gtest.h>

#include <QPushButton>

#include "app/control_table.h"
#include "app/main_form.h"
#include "support/test_app.h"

namespace quillar::test {
namespace {

TEST(MainWindow, HasEveryControlOfTheLayout) {
    TestApp t;
    EXPECT_EQ(mainWindowControls().size(), 57u);
    ASSERT_NE(t.form.按钮1, nullptr);
    EXPECT_EQ(t.form.按钮1->text(), "开始录音");
}

}  // namespace
}  // namespace quillar::test
