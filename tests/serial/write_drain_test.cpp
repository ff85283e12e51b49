// A write is complete only once the line has sent it: the next request waits for the output
// queue to empty, shutdown ends that wait at once, and a device that goes away meanwhile is
// reported once. A pseudo-terminal's own output count is always 0, so these tests answer for it
// at the device layer with the count of a line still sending.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/plain_message_owner.h"
#include "platform/pseudo_terminal.h"
#include "platform/serial_device.h"
#include "serial/serial_port.h"
#include "serial_test_support.h"

using namespace serial_test;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Installs an output-queue probe for the lifetime of the object and counts how often the
// engine asked it.
class ScopedOutputQueue {
public:
    explicit ScopedOutputQueue(std::function<std::size_t()> count)
        : m_previous(SetOutputQueueProbe([this, count] {
              m_asked.fetch_add(1);
              return count();
          })) {}
    ~ScopedOutputQueue() { SetOutputQueueProbe(m_previous); }
    int Asked() const { return m_asked.load(); }

private:
    std::atomic<int> m_asked{0};
    OutputQueueProbe m_previous;
};

// A key-configuration frame of the given length: head, type, address, command 0x27, codes.
Bytes Frame(std::size_t length, std::uint8_t fill) {
    Bytes frame(length, fill);
    frame[0] = 0xFA;
    frame[1] = 0x09;
    frame[2] = 0x01;
    frame[4] = 0x27;
    return frame;
}

// The line reports `unsent` bytes still to send. The probe outlives the engine's monitor.
struct DrainFixture : ::testing::Test {
    std::atomic<std::size_t> unsent{0};
    ScopedOutputQueue queue{[this] { return unsent.load(); }};
    PlainMessageOwner owner{[](const WindowMessage&) {}, PlainMessageOwner::Mode::CallingThread};
    PseudoTerminal pty;
    CSerialPort port;
    unsigned number = 0;

    void TearDown() override { port.ClosePort(); }

    void Open(const char* name) {
        number = PublishAndList(pty, port, name);
        ASSERT_NE(number, 0u);
        ASSERT_TRUE(
            port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(1200, 'N', 8, 0)));
        ASSERT_TRUE(port.StartMonitor());
    }
    void Send(const Bytes& bytes) {
        port.SendBytes(bytes.data(), static_cast<unsigned>(bytes.size()));
    }
};

}  // namespace

TEST_F(DrainFixture, TheNextFrameWaitsUntilTheLineHasSentTheLastOne) {
    Open("drain");

    const Bytes first = Frame(15, 0x11);
    const Bytes second = Frame(10, 0x22);
    unsent = first.size();  // at 1200 baud the line needs 125 ms for these
    Send(first);
    EXPECT_EQ(pty.Read(first.size(), 10000), first);
    Send(second);
    std::this_thread::sleep_for(200ms);  // the writer's pause between two frames, and more
    EXPECT_TRUE(pty.ReadAvailable().empty()) << "the next write came before the line was idle";
    EXPECT_GT(queue.Asked(), 2);

    unsent = 0;
    EXPECT_EQ(pty.Read(second.size(), 10000), second);
}

TEST_F(DrainFixture, ClosingEndsALongDrainAtOnceAndThePortReopens) {
    unsent = 74;  // a line that never gets done
    Open("stalled");

    // 74 bytes at 1200 baud that the peer doesn't read either.
    Send(Frame(74, 0x33));
    ASSERT_TRUE(WaitUntil([&] { return queue.Asked() > 2; })) << "not draining";
    const auto start = std::chrono::steady_clock::now();
    {
        Watchdog watchdog("ClosePort during a drain", std::chrono::seconds(20));
        port.ClosePort();
    }
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("close_during_drain_ms", std::to_string(ms));
    std::printf("ClosePort during a drain took %.2f ms\n", ms);
    EXPECT_EQ(pty.ReadAvailable().size(), 74u);

    // A reopened port writes again, and its writes complete once the line is idle.
    unsent = 0;
    ASSERT_TRUE(port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(1200, 'N', 8, 0)));
    ASSERT_TRUE(port.StartMonitor());
    const Bytes probe = {0x5A};
    Send(probe);
    EXPECT_EQ(pty.Read(1, 10000), probe);
}

TEST(WriteDrain, ADeviceThatGoesAwayDuringADrainIsReportedOnce) {
    BoxRecorder boxes;
    ScopedOutputQueue queue([] { return std::size_t{100}; });  // a line that never finishes
    PlainMessageOwner owner([](const WindowMessage&) {}, PlainMessageOwner::Mode::CallingThread);
    PseudoTerminal pty(/*keepSlaveOpen=*/false);
    CSerialPort port;
    const unsigned number = PublishAndList(pty, port, "pulled");
    ASSERT_TRUE(port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(1200, 'N', 8, 0)));
    ASSERT_TRUE(port.StartMonitor());

    const Bytes frame = Frame(10, 0x44);
    port.SendBytes(frame.data(), static_cast<unsigned>(frame.size()));
    ASSERT_TRUE(WaitUntil([&] { return queue.Asked() > 2; })) << "not draining";
    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return boxes.Count() >= 1; }));
    std::this_thread::sleep_for(200ms);  // room for a second report, which must not come
    port.SendBytes(frame.data(), static_cast<unsigned>(frame.size()));
    std::this_thread::sleep_for(100ms);
    {
        Watchdog watchdog("ClosePort after the device went away during a drain");
        port.ClosePort();
    }
    const auto recorded = boxes.Boxes();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].caption, "Application Error");
    EXPECT_EQ(recorded[0].text,
              "WARNING:  GetOverlappedResults() in WriteFile() Failed with the following error: "
              "\nInput/output error\nPort: " +
                  std::to_string(number) + "\n");
}
