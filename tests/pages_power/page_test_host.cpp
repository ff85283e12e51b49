#include "page_test_host.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "controls/switch_btn.h"
#include "platform/qt_dialog_builder.h"

namespace power_test {
namespace {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "power_pages_test";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QApplication> m_app;
};

[[maybe_unused]] ::testing::Environment* const g_qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// A program started by hand (not by the runner) gets a folder of its own, so it never sees a
// running simulator.
void UsePrivatePortFolder() {
    const char* dir = std::getenv("RAVLIN_PORT_DIR");
    if (dir == nullptr || *dir == '\0') {
        const std::string folder = "/tmp/ravlin-power-test-" + std::to_string(::getpid());
        ::setenv("RAVLIN_PORT_DIR", folder.c_str(), 1);
    }
}

void ClickAt(QWidget* w, const SwitchRect& r) {
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier,
                      QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2));
}

}  // namespace

TestPageHost::TestPageHost()
    : m_tab(new QWidget(this)),
      m_list(new QListWidget(this)),
      m_owner([](const WindowMessage&) {}) {
    resize(1000, 500);
    m_list->setGeometry(0, 0, 80, 200);
    m_tab->setGeometry(90, 0, 900, 480);

    UsePrivatePortFolder();
    static int serial = 0;
    const std::string name = "power-page-" + std::to_string(++serial);
    m_pty.Publish(name);
    m_port.EnumeratePorts();
    for (std::size_t i = 0; i < m_port.m_portNames.size(); ++i) {
        if (m_port.m_portNames[i] == name) {
            m_ready = m_port.OpenPort(&m_owner, m_port.m_portNumbers[i], 9600, 'N', 8, 0) &&
                      m_port.StartMonitor();
        }
    }
}

TestPageHost::~TestPageHost() {
    m_port.ClosePort();
}

int TestPageHost::DeviceListCurSel() const {
    return m_list->currentRow();
}

std::uint32_t TestPageHost::DeviceListItemData(int index) const {
    const QListWidgetItem* item = m_list->item(index);
    return item ? item->data(Qt::UserRole).toUInt() : 0;
}

void TestPageHost::SendTxFrame(unsigned count) {
    ++m_sendCount;
    m_txFrame.WithLock([&](TxFrame::Bytes& bytes) {
        m_port.SendBytes(bytes.data(), std::min<unsigned>(count, TxFrame::kSize));
    });
}

void TestPageHost::AddDevice(std::uint32_t address) {
    auto* item = new QListWidgetItem(QString::number(address));
    item->setData(Qt::UserRole, address);
    m_list->addItem(item);
}

void TestPageHost::Select(int row) {
    m_list->setCurrentRow(row);
}

Bytes TestPageHost::ReadFrame(std::size_t count, int timeoutMs) {
    return m_pty.Read(count, timeoutMs);
}

BoxRecorder::BoxRecorder()
    : m_previous(SetMessageBoxHandler(
          [this](const std::string& text, const std::string& caption, unsigned) {
              std::lock_guard lock(m_mutex);
              m_boxes.push_back({text, caption});
          })) {}

BoxRecorder::~BoxRecorder() {
    SetMessageBoxHandler(m_previous);
}

std::vector<BoxRecorder::Box> BoxRecorder::Boxes() const {
    std::lock_guard lock(m_mutex);
    return m_boxes;
}

bool WaitFor(const std::function<bool()>& pred, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!pred()) {
        if (timer.elapsed() >= timeoutMs) {
            return pred();
        }
        QTest::qWait(5);
    }
    return true;
}

QWidget* Control(const QWidget* page, int id) {
    return FindControl(page, id);
}

CSwitchBtn* Switch(const QWidget* page, int id) {
    return qobject_cast<CSwitchBtn*>(FindControl(page, id));
}

void ClickUpperHalf(CSwitchBtn* sw) {
    ClickAt(sw, sw->Geometry().firstHit);
}
void ClickLowerHalf(CSwitchBtn* sw) {
    ClickAt(sw, sw->Geometry().secondHit);
}

void Click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
}

}  // namespace power_test
