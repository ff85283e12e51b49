#include "gui_test_support.h"

#include "app/ravlin_app.h"

namespace gui_test {

namespace {

int g_argc = 1;
char g_arg0[] = "ravlin-gui-test";
char* g_argv[] = {g_arg0, nullptr};
QApplication* g_app = nullptr;

[[maybe_unused]] ::testing::Environment* const g_environment =
    ::testing::AddGlobalTestEnvironment(new AppEnvironment);

}  // namespace

void AppEnvironment::SetUp() {
    g_app = new QApplication(g_argc, g_argv);
    InitRavlinResources();
}

void AppEnvironment::TearDown() {
    delete g_app;
    g_app = nullptr;
}

MessageBoxRecorder::MessageBoxRecorder() {
    m_previous = SetMessageBoxHandler(
        [this](const std::string& text, const std::string& caption, unsigned flags) {
            std::lock_guard lock(m_mutex);
            m_boxes.push_back({text, caption, flags});
        });
}

MessageBoxRecorder::~MessageBoxRecorder() {
    SetMessageBoxHandler(std::move(m_previous));
}

std::vector<RecordedBox> MessageBoxRecorder::Boxes() const {
    std::lock_guard lock(m_mutex);
    return m_boxes;
}

std::size_t MessageBoxRecorder::Count(const std::string& text) const {
    std::lock_guard lock(m_mutex);
    std::size_t n = 0;
    for (const RecordedBox& box : m_boxes) {
        n += box.text == text ? 1 : 0;
    }
    return n;
}

bool WaitFor(const std::function<bool()>& pred, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() > timeoutMs) {
            return pred();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qWait(1);
    }
    return true;
}

void Click(QWidget* w) {
    ASSERT_NE(w, nullptr);
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
}

}  // namespace gui_test
