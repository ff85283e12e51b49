#include "test_page_host.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace test_support {

namespace {

// A program started by hand (not by the runner) gets a folder of its own, so it never sees a
// running simulator.
void UsePrivatePortFolder() {
    const char* dir = std::getenv("RAVLIN_PORT_DIR");
    if (dir == nullptr || *dir == '\0') {
        const std::string folder = "/tmp/ravlin-page-test-" + std::to_string(::getpid());
        ::setenv("RAVLIN_PORT_DIR", folder.c_str(), 1);
    }
}

}  // namespace

TestPageHost::TestPageHost(bool openPort)
    : m_tab(new QWidget(this)),
      m_list(new QListWidget(this)),
      m_owner([](const WindowMessage&) {}) {
    resize(1000, 500);
    m_list->setGeometry(0, 0, 80, 200);
    m_tab->setGeometry(90, 0, 900, 480);
    if (!openPort) {
        return;
    }

    UsePrivatePortFolder();
    static int serial = 0;
    const std::string name = "page-host-" + std::to_string(++serial);
    m_pty = std::make_unique<PseudoTerminal>();
    m_pty->Publish(name);
    m_port.EnumeratePorts();
    for (const SerialPortEntry& entry : m_port.Ports()) {
        if (entry.name == name) {
            m_ready = m_port.OpenPort(&m_owner, entry, MakeLineSettings(9600, 'N', 8, 0)) &&
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
    return m_pty ? m_pty->Read(count, timeoutMs) : Bytes{};
}

}  // namespace test_support
