#pragma once
// A stand-in for the main dialog as a device page sees it: the device list with item data, the
// outgoing frame, and a real serial engine opened on a published pseudo-terminal, so a test
// reads every frame a page sends back from the line, byte for byte.
//
// A page is created inside Tab(), as it is inside the main dialog's tab control; the device
// list stands to its left.

#include <QListWidget>
#include <QWidget>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "bus/tx_frame.h"
#include "pages/page_host.h"
#include "platform/plain_message_owner.h"
#include "platform/pseudo_terminal.h"
#include "serial/serial_port.h"

namespace test_support {

using Bytes = std::vector<std::uint8_t>;

class TestPageHost : public QWidget, public CPageHost {
public:
    // openPort: publish a pseudo-terminal under a name of its own and open the engine on it at
    // 9600 8-N-1 with its monitor running. Without it, frames handed over go nowhere.
    explicit TestPageHost(bool openPort = true);
    ~TestPageHost() override;

    int DeviceListCurSel() const override;
    std::uint32_t DeviceListItemData(int index) const override;
    TxFrame& TxFrameBytes() override { return m_txFrame; }
    void SendTxFrame(unsigned count) override;

    QWidget* Tab() const { return m_tab; }
    QListWidget* DeviceList() const { return m_list; }
    // Adds a found device: text = the address in decimal, item data = the address.
    void AddDevice(std::uint32_t address);
    // Selects entry `row`; -1 clears the selection.
    void Select(int row);

    // Whether the engine's port is open and its monitor runs.
    bool PortReady() const { return m_ready; }
    // The bus end of the line the engine writes to (only with an open port).
    PseudoTerminal& Line() { return *m_pty; }
    // The next frame the engine wrote: waits up to timeoutMs for its first byte.
    Bytes ReadFrame(std::size_t count = 10, int timeoutMs = 5000);
    // How often a page handed a frame over.
    int SendCount() const { return m_sendCount; }

private:
    QWidget* m_tab;
    QListWidget* m_list;
    TxFrame m_txFrame;
    PlainMessageOwner m_owner;
    std::unique_ptr<PseudoTerminal> m_pty;
    CSerialPort m_port;
    bool m_ready = false;
    std::atomic<int> m_sendCount{0};
};

}  // namespace test_support
