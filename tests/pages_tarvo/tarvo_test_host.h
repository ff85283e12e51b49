#pragma once
// A stand-in for the main dialog around the TARVO page: a device selection, the outgoing frame,
// a real serial engine opened on a published pseudo-terminal, the write sequence with a "写入"
// button (control 1), and a recorder that reads the frames back from the pseudo-terminal.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QString>
#include <QTest>
#include <QWidget>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "bus/tx_frame.h"
#include "pages/key_config_write.h"
#include "pages/page_host.h"
#include "pages/tarvo_dlg.h"
#include "platform/message_box.h"
#include "platform/plain_message_owner.h"
#include "platform/pseudo_terminal.h"
#include "serial/serial_port.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace tarvo_test {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

// Runs the event loop until pred holds or timeoutMs passed; returns pred().
bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 10000);
// Runs the event loop for ms milliseconds (to see that nothing more happens).
void Settle(int ms);
// A left click in the middle of the widget.
void Click(QWidget* w);
// "FA 09 05 ..." for failure messages.
std::string Hex(const Bytes& bytes);

// Records every message box, from any thread, for its lifetime.
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

// Reads what the engine writes to the pseudo-terminal on a thread of its own and splits it into
// frames by the pauses between them (a frame is written in one go).
class BusRecorder {
public:
    struct Frame {
        Bytes bytes;
        Clock::time_point at;  // arrival of the first byte
    };
    explicit BusRecorder(PseudoTerminal& pty);
    ~BusRecorder();
    std::vector<Frame> Frames() const;
    std::vector<Bytes> FrameBytes() const;
    // Pumps the event loop until `count` frames were seen (and the last one is complete).
    bool WaitFrames(std::size_t count, int timeoutMs = 10000) const;

private:
    void Run();

    PseudoTerminal& m_pty;
    mutable std::mutex m_mutex;
    std::vector<Frame> m_frames;
    Clock::time_point m_lastByte{};
    bool m_stop = false;
    std::thread m_thread;
};

class TestHost : public QWidget, public CPageHost {
public:
    // openPort: open the engine on a published pseudo-terminal and record what it writes.
    explicit TestHost(bool openPort = true);
    ~TestHost() override;

    int DeviceListCurSel() const override { return m_sel; }
    std::uint32_t DeviceListItemData(int index) const override;
    TxFrame& TxFrameBytes() override { return m_txFrame; }
    void SendTxFrame(unsigned count) override;

    // Devices in the list (item data = address) and the selected entry (-1: none).
    void SetDevices(std::vector<std::uint32_t> addresses, int sel) {
        m_items = std::move(addresses);
        m_sel = sel;
    }
    void Select(int sel) { m_sel = sel; }
    void SetCurrentTab(int tab) { m_currentTab = tab; }

    CTarvoDlg& Page() { return m_page; }
    CKeyConfigWriter& Writer() { return m_writer; }
    QPushButton* WriteButton() { return m_writeButton; }
    BusRecorder& Bus() { return *m_bus; }
    // The control of the page with this number.
    template <class T = QWidget>
    T* C(int id) const {
        return m_page.Item<T>(id);
    }

private:
    PlainMessageOwner m_owner;
    CSerialPort m_port;
    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<BusRecorder> m_bus;
    TxFrame m_txFrame;
    std::vector<std::uint32_t> m_items;
    int m_sel = -1;
    int m_currentTab = 0;
    QWidget m_tab;  // stands in for the tab control: the page's parent
    CTarvoDlg m_page;
    QPushButton* m_writeButton = nullptr;
    // Last, so it goes first: the worker must not outlive what it uses.
    CKeyConfigWriter m_writer;
};

}  // namespace tarvo_test
