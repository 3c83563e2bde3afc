// One Qt application object for a whole test run, on the offscreen platform that
// kevo_add_test selects; deleted at the end, which also releases the font database.
#pragma once

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <memory>

namespace kevosupport {

// App is QGuiApplication, QApplication or the program's own application class.
template <class App>
class OffscreenApp : public ::testing::Environment {
  public:
    void SetUp() override {
        static int argc = 1;
        static char arg0[] = "kevo-test";
        static char* argv[] = {arg0, nullptr};
        if (!QCoreApplication::instance()) app_ = std::make_unique<App>(argc, argv);
        QGuiApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override { app_.reset(); }

  private:
    std::unique_ptr<App> app_;
};

}  // namespace kevosupport

// Registers the application for the test program; once per executable.
#define KEVO_TEST_APPLICATION(App)                                      \
    static const auto* const kevoTestApplicationEnv_ [[maybe_unused]] = \
        ::testing::AddGlobalTestEnvironment(new ::kevosupport::OffscreenApp<App>)
