// One QApplication for the console tests, on the offscreen platform unless another is chosen.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
#ifdef KESTROM_TEST_LOCALE
        // Qt sets the process locale from the environment as the application is made.
        setenv("LC_ALL", KESTROM_TEST_LOCALE, 1);
        setenv("LANG", KESTROM_TEST_LOCALE, 1);
#endif
        static int argc = 1;
        static char name[] = "console_tests";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    void TearDown() override { delete app_; }

private:
    QApplication* app_ = nullptr;
};

[[maybe_unused]] auto* environment = ::testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
