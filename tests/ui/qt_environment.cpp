// The windows need a QApplication: the program's own, so that exceptions escaping a
// handler meet the same dispatch boundary as in the real program. These tests draw
// offscreen; the desktop tests start a display and a window manager of their own.

#include <QtGlobal>

#include <gtest/gtest.h>

#include <memory>

#include "app/program.h"

namespace vexora::test {
namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<app::VexoraApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "test_ui";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<app::VexoraApplication> app_;
};

const ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
}  // namespace vexora::test
