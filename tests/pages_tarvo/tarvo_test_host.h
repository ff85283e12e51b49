#pragma once
// The stand-in main dialog around the TARVO page: the shared page host with the page in its
// tab, the write sequence with a "写入" button (control 1), and a recorder that reads the
// frames back from the pseudo-terminal.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QString>
#include <QTest>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "message_box_recorder.h"
#include "pages/key_config_write.h"
#include "pages/tarvo_dlg.h"
#include "platform/pseudo_terminal.h"
#include "test_page_host.h"
#include "widget_driving.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace tarvo_test {

using namespace test_support;
using Clock = std::chrono::steady_clock;

// "FA 09 05 ..." for failure messages.
std::string Hex(const Bytes& bytes);

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

class TestHost : public TestPageHost {
public:
    // openPort: open the engine on a published pseudo-terminal and record what it writes.
    explicit TestHost(bool openPort = true);
    ~TestHost() override;

    // Fills the device list (item data = address) and selects entry `sel` (-1: none).
    void SetDevices(const std::vector<std::uint32_t>& addresses, int sel);
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
    std::unique_ptr<BusRecorder> m_bus;
    int m_currentTab = 0;
    CTarvoDlg m_page;
    QPushButton* m_writeButton = nullptr;
    // Last, so it goes first: the worker must not outlive what it uses.
    CKeyConfigWriter m_writer;
};

}  // namespace tarvo_test
