#include "test_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>
#include <vector>

namespace test_support {

namespace {

// Filled by static initialisers, so it must exist before any of them runs.
std::vector<void (*)()>& StartFunctions() {
    static std::vector<void (*)()> functions;
    return functions;
}

class AppEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        m_app = std::make_unique<QApplication>(m_argc, m_argv);
        for (void (*init)() : StartFunctions()) {
            init();
        }
    }
    void TearDown() override { m_app.reset(); }

private:
    int m_argc = 1;
    char m_arg0[16] = "ravlin-test";
    char* m_argv[2] = {m_arg0, nullptr};
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

}  // namespace

bool RunAtAppStart(void (*init)()) {
    StartFunctions().push_back(init);
    return true;
}

}  // namespace test_support
