#pragma once
// A stand-in for the main dialog as the power pages see it: a device list with item data, the
// outgoing frame, and a real serial engine opened on a published pseudo-terminal, so a test
// reads every frame a page sends back from the line, byte for byte.
//
// The page is created inside Tab(), as it is inside the main dialog's tab control.

#include <QListWidget>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "pages/page_host.h"
#include "platform/message_box.h"
#include "platform/plain_message_owner.h"
#include "platform/pseudo_terminal.h"
#include "serial/serial_port.h"

class QPoint;
class CSwitchBtn;

namespace power_test {

using Bytes = std::vector<std::uint8_t>;

class TestPageHost : public QWidget, public CPageHost {
public:
    TestPageHost();
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
    // The next frame the engine wrote: waits up to timeoutMs for its first byte.
    Bytes ReadFrame(std::size_t count = 10, int timeoutMs = 5000);
    // How often a page handed a frame over.
    int SendCount() const { return m_sendCount; }

private:
    QWidget* m_tab;
    QListWidget* m_list;
    TxFrame m_txFrame;
    PlainMessageOwner m_owner;
    PseudoTerminal m_pty;
    CSerialPort m_port;
    bool m_ready = false;
    std::atomic<int> m_sendCount{0};
};

// Records every message box while it lives.
class BoxRecorder {
public:
    struct Box {
        std::string text;
        std::string caption;
    };
    BoxRecorder();
    ~BoxRecorder();
    std::vector<Box> Boxes() const;

private:
    mutable std::mutex m_mutex;
    std::vector<Box> m_boxes;
    MessageBoxHandler m_previous;
};

// Runs the event loop until pred holds or timeoutMs passed; returns pred().
bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 5000);

// The control numbered `id` on `page` (by its controlId property).
QWidget* Control(const QWidget* page, int id);
CSwitchBtn* Switch(const QWidget* page, int id);

// A real click (press and release) in the middle of the switch's upper or lower half.
void ClickUpperHalf(CSwitchBtn* sw);
void ClickLowerHalf(CSwitchBtn* sw);
// A real click in the middle of a button or check box.
void Click(QWidget* w);

}  // namespace power_test
