// The engine on real pseudo-terminals: delivery of received bytes, the wait priorities, the write
// hand-over, closing and reopening, and a device that disappears.

#include "serial/serial_port.h"

#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/plain_message_owner.h"
#include "platform/pseudo_terminal.h"
#include "serial_test_support.h"

using namespace serial_test;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Proves the monitor runs and has done its start-up purge: a request goes out and arrives.
void ExpectMonitorReady(CSerialPort& port, PseudoTerminal& pty) {
    const std::uint8_t probe = 0x5A;
    port.SendBytes(&probe, 1);
    EXPECT_EQ(pty.Read(1, 10000), Bytes{probe});
}

Bytes Pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 7) ^ (i >> 8));
    }
    return bytes;
}

// A test whose own thread is the owner's thread: the monitor stays blocked on a delivery until
// the test pumps.
struct BlockingOwnerFixture : ::testing::Test {
    MessageLog log;
    PlainMessageOwner owner{[this](const WindowMessage& m) { log.Add(m); },
                            PlainMessageOwner::Mode::CallingThread};
    PseudoTerminal pty;
    CSerialPort port;
    unsigned number = 0;

    void SetUp() override {
        number = PublishAndList(pty, port, "blocking");
        ASSERT_NE(number, 0u);
        ASSERT_TRUE(
            port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(19200, 'N', 8, 0)));
        ASSERT_TRUE(port.StartMonitor());
        ExpectMonitorReady(port, pty);
    }
    void TearDown() override { port.ClosePort(); }

    // Sends one byte in and waits until the monitor is blocked delivering it.
    void BlockMonitorOnOwner(std::uint8_t byte) {
        pty.Write({byte});
        ASSERT_TRUE(WaitUntil([&] { return owner.PendingRuns() == 1; }));
    }
    // Queues bytes in the device behind the blocked monitor.
    void QueueUnread(const Bytes& bytes) {
        pty.Write(bytes);
        ASSERT_TRUE(WaitUntil([&] { return SlaveQueued(pty) == static_cast<int>(bytes.size()); }));
    }
};

}  // namespace

TEST(SerialPort, BurstsArriveCompleteInOrderAndEachWakeUpEndsWithCts) {
    MessageLog log;
    PlainMessageOwner owner([&](const WindowMessage& m) { log.Add(m); });
    PseudoTerminal pty;
    CSerialPort port;
    const unsigned number = PublishAndList(pty, port, "burst");
    ASSERT_NE(number, 0u);
    bool opened = false;
    owner.Invoke([&] {
        opened = port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(115200, 'N', 8, 0));
    });
    ASSERT_TRUE(opened);
    ASSERT_TRUE(port.StartMonitor());
    ExpectMonitorReady(port, pty);

    const Bytes small = Pattern(20);
    pty.Write(small);
    ASSERT_TRUE(WaitUntil([&] {
        const auto m = log.Messages();
        return !m.empty() && m.back().message == WM_SERIAL_CTS_EVENT && log.ByteCount() == 20;
    }));
    for (const WindowMessage& m : log.Messages()) {
        EXPECT_EQ(m.lParam, static_cast<LPARAM>(number));
        if (m.message == WM_SERIAL_CTS_EVENT) {
            EXPECT_EQ(m.wParam, 0u);
        } else {
            EXPECT_EQ(m.message, WM_SERIAL_RXBYTE);
        }
    }
    EXPECT_EQ(log.Bytes(), small);

    // A large burst crosses many wake-ups and the user-space read buffer many times over.
    const Bytes large = Pattern(300000);
    std::thread writer([&] { pty.Write(large); });
    ASSERT_TRUE(WaitUntil([&] { return log.ByteCount() >= small.size() + large.size(); }, 60s));
    writer.join();
    Bytes expected = small;
    expected.insert(expected.end(), large.begin(), large.end());
    EXPECT_EQ(log.Bytes(), expected);
    ASSERT_TRUE(WaitUntil([&] { return log.Messages().back().message == WM_SERIAL_CTS_EVENT; }));

    owner.Invoke([&] { port.ClosePort(); });
}

TEST_F(BlockingOwnerFixture, ShutdownWinsOverAPendingWriteAndUnreadInput) {
    BlockMonitorOnOwner(0xA1);
    QueueUnread({1, 2, 3, 4, 5});
    const Bytes frame = {0xFA, 0x08, 0x00, 0x00};
    port.SendBytes(frame.data(), static_cast<unsigned>(frame.size()));
    {
        Watchdog watchdog("ClosePort with everything signalled");
        port.ClosePort();
    }
    EXPECT_EQ(log.Bytes(), Bytes{0xA1});
    EXPECT_TRUE(pty.Read(frame.size(), 300).empty()) << "the write ran after shutdown";
}

TEST_F(BlockingOwnerFixture, AWriteWinsOverInputAndItsPurgeDiscardsUnreadBytes) {
    BlockMonitorOnOwner(0xA1);
    QueueUnread({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    const Bytes frame = {0xFA, 0x08, 0x00, 0x00};
    port.SendBytes(frame.data(), static_cast<unsigned>(frame.size()));
    owner.PumpPendingMessages();
    EXPECT_EQ(pty.Read(frame.size(), 10000), frame);

    pty.Write({0xB2});
    ASSERT_TRUE(owner.PumpUntil([&] { return log.ByteCount() == 2; }, 10s));
    EXPECT_EQ(log.Bytes(), (Bytes{0xA1, 0xB2}));
}

TEST_F(BlockingOwnerFixture, ASecondRequestReplacesTheFirstWhole) {
    BlockMonitorOnOwner(0xA1);
    const Bytes first(10, 0x11);
    const Bytes second(4, 0x22);
    port.SendBytes(first.data(), static_cast<unsigned>(first.size()));
    port.SendBytes(second.data(), static_cast<unsigned>(second.size()));
    owner.PumpPendingMessages();
    EXPECT_EQ(pty.Read(first.size() + second.size(), 10000, 300), second);
}

TEST_F(BlockingOwnerFixture, CloseReturnsWhileTheMonitorIsBlockedOnTheOwner) {
    BlockMonitorOnOwner(0x42);
    {
        Watchdog watchdog("ClosePort while the monitor delivers");
        port.ClosePort();
    }
    EXPECT_EQ(log.Bytes(), Bytes{0x42});
    const auto messages = log.Messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().message, WM_SERIAL_CTS_EVENT);
}

TEST(SerialPort, RequestsNeverGoOutHalfOldHalfNew) {
    PlainMessageOwner owner([](const WindowMessage&) {}, PlainMessageOwner::Mode::CallingThread);
    PseudoTerminal pty;
    CSerialPort port;
    const unsigned number = PublishAndList(pty, port, "handover");
    ASSERT_TRUE(port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(115200, 'N', 8, 0)));
    ASSERT_TRUE(port.StartMonitor());
    ExpectMonitorReady(port, pty);

    // Request k is value v repeated Length(v) times, and neighbours differ, so every run of
    // equal bytes on the line must be exactly one whole request.
    auto length = [](std::uint8_t v) { return 1u + v % 37u; };
    std::atomic<bool> done{false};
    std::thread sender([&] {
        for (int k = 0; k < 3000; ++k) {
            const auto v = static_cast<std::uint8_t>(1 + k % 250);
            const Bytes frame(length(v), v);
            port.SendBytes(frame.data(), static_cast<unsigned>(frame.size()));
            if (k % 4 == 0) {
                std::this_thread::yield();
            }
        }
        done = true;
    });
    Bytes line;
    while (!done) {
        const Bytes got = pty.Read(1 << 16, 20, 5);
        line.insert(line.end(), got.begin(), got.end());
    }
    sender.join();
    const std::uint8_t end = 0;
    port.SendBytes(&end, 1);
    for (;;) {
        const Bytes got = pty.Read(1 << 16, 10000, 100);
        ASSERT_FALSE(got.empty());
        line.insert(line.end(), got.begin(), got.end());
        if (line.back() == 0) {
            break;
        }
    }
    line.pop_back();
    ASSERT_FALSE(line.empty());
    std::size_t runs = 0;
    for (std::size_t i = 0; i < line.size();) {
        std::size_t j = i;
        while (j < line.size() && line[j] == line[i]) {
            ++j;
        }
        ASSERT_EQ(j - i, length(line[i])) << "a request of value " << int(line[i]) << " at " << i;
        ++runs;
        i = j;
    }
    EXPECT_GT(runs, 0u);
    port.ClosePort();
}

TEST(SerialPort, NothingIsSentBeforeOpenAfterCloseOrBeyond512Bytes) {
    PlainMessageOwner owner([](const WindowMessage&) {}, PlainMessageOwner::Mode::CallingThread);
    PseudoTerminal pty;
    CSerialPort port;
    const Bytes early = {1, 2, 3};
    port.SendBytes(early.data(), 3);  // no device, no buffer yet
    const unsigned number = PublishAndList(pty, port, "idle");
    ASSERT_TRUE(port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(9600, 'N', 8, 0)));
    ASSERT_TRUE(port.StartMonitor());
    ExpectMonitorReady(port, pty);  // only the probe arrives, not the early request

    const Bytes big = Pattern(600);
    port.SendBytes(big.data(), static_cast<unsigned>(big.size()));
    EXPECT_EQ(pty.Read(big.size(), 10000, 300), Bytes(big.begin(), big.begin() + 512));

    port.ClosePort();
    port.SendBytes(early.data(), 3);
    port.SendBytes(nullptr, 3);
    ASSERT_TRUE(port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(9600, 'N', 8, 0)));
    ASSERT_TRUE(port.StartMonitor());
    ExpectMonitorReady(port, pty);
    port.ClosePort();
}

TEST(SerialPort, AnotherThreadMaySendWhileThePortClosesAndReopens) {
    // The key-configuration writer sends from its own thread; the owner may close the port
    // under it. A thread checker run of this test sees every access the two threads share.
    PlainMessageOwner owner([](const WindowMessage&) {}, PlainMessageOwner::Mode::CallingThread);
    PseudoTerminal pty;
    CSerialPort port;
    const unsigned number = PublishAndList(pty, port, "racing");
    ASSERT_NE(number, 0u);
    std::atomic<bool> stop{false};
    std::atomic<int> sent{0};
    std::thread sender([&] {
        const std::uint8_t frame[] = {0xFA, 0x09, 0x01, 0x00, 0x27};
        while (!stop) {
            port.SendBytes(frame, sizeof frame);
            sent.fetch_add(1);
            std::this_thread::yield();
        }
    });
    Watchdog watchdog("sending while the port opens and closes");
    for (int round = 0; round < 40; ++round) {
        ASSERT_TRUE(
            port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(115200, 'N', 8, 0)));
        ASSERT_TRUE(port.StartMonitor());
        const int before = sent.load();
        ASSERT_TRUE(WaitUntil([&] { return sent.load() > before + 5; }));
        port.ClosePort();
        pty.ReadAvailable();
    }
    stop = true;
    sender.join();
    EXPECT_TRUE(pty.Read(1, 200).empty()) << "a request made while closed went out";
}

TEST(SerialPort, ClosedPortReopensAndAHeldPortCannotBeOpenedTwice) {
    MessageLog log;
    PlainMessageOwner owner([&](const WindowMessage& m) { log.Add(m); });
    PseudoTerminal pty;
    CSerialPort first;
    CSerialPort second;
    const unsigned number = PublishAndList(pty, first, "shared");
    second.EnumeratePorts();
    EXPECT_FALSE(first.OpenPort(&owner, first.PortEntry(999999), MakeLineSettings(9600, 'N', 8, 0)))
        << "an unlisted number";

    for (int round = 0; round < 2; ++round) {
        bool opened = false;
        owner.Invoke([&] {
            opened =
                first.OpenPort(&owner, first.PortEntry(number), MakeLineSettings(9600, 'N', 8, 0));
        });
        ASSERT_TRUE(opened);
        ASSERT_TRUE(first.StartMonitor());
        ExpectMonitorReady(first, pty);
        EXPECT_FALSE(
            second.OpenPort(&owner, second.PortEntry(number), MakeLineSettings(9600, 'N', 8, 0)))
            << "round " << round;

        const std::size_t before = log.ByteCount();
        pty.Write({0x10, static_cast<std::uint8_t>(round)});
        ASSERT_TRUE(WaitUntil([&] { return log.ByteCount() == before + 2; }));
        owner.Invoke([&] { first.ClosePort(); });
    }
    ASSERT_TRUE(
        second.OpenPort(&owner, second.PortEntry(number), MakeLineSettings(9600, 'N', 8, 0)));
    ASSERT_TRUE(second.StartMonitor());
    ExpectMonitorReady(second, pty);
    owner.Invoke([&] { second.ClosePort(); });
}

TEST(SerialPort, CloseRightAfterStartWaitsForTheMonitorThread) {
    PlainMessageOwner owner([](const WindowMessage&) {}, PlainMessageOwner::Mode::CallingThread);
    PseudoTerminal pty;
    CSerialPort port;
    const unsigned number = PublishAndList(pty, port, "quick");
    Watchdog watchdog("start and close at once");
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(
            port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(9600, 'N', 8, 0)));
        ASSERT_TRUE(port.StartMonitor());
        EXPECT_FALSE(port.StartMonitor()) << "one monitor per engine";
        port.ClosePort();
    }
    // Reopening while a monitor runs stops it first.
    ASSERT_TRUE(port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(9600, 'N', 8, 0)));
    ASSERT_TRUE(port.StartMonitor());
    ASSERT_TRUE(port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(9600, 'N', 8, 0)));
    ASSERT_TRUE(port.StartMonitor());
    ExpectMonitorReady(port, pty);
    port.ClosePort();
}

TEST(SerialPort, ADisappearingDeviceIsReportedOnceWithoutSpinning) {
    BoxRecorder boxes;
    PlainMessageOwner owner([](const WindowMessage&) {});
    PseudoTerminal pty(/*keepSlaveOpen=*/false);
    CSerialPort port;
    const unsigned number = PublishAndList(pty, port, "unplugged");
    ASSERT_TRUE(port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(9600, 'N', 8, 0)));
    ASSERT_TRUE(port.StartMonitor());
    ExpectMonitorReady(port, pty);
    ASSERT_EQ(boxes.Count(), 0u);

    pty.CloseMaster();
    ASSERT_TRUE(WaitUntil([&] { return boxes.Count() >= 1; }));

    timespec cpu0{}, cpu1{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu0);
    const auto wall0 = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(400ms);  // a measuring window, not a wait for a condition
    const std::uint8_t frame[] = {0xFA, 0x08, 0x00, 0x00};
    port.SendBytes(frame, 4);  // a write to the vanished device adds no second report
    std::this_thread::sleep_for(100ms);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu1);
    const double cpu = (cpu1.tv_sec - cpu0.tv_sec) + (cpu1.tv_nsec - cpu0.tv_nsec) / 1e9;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    EXPECT_LT(cpu / wall, 0.3) << "the monitor spins on the hung-up device";

    {
        Watchdog watchdog("ClosePort after the device went away");
        owner.Invoke([&] { port.ClosePort(); });
    }
    const auto recorded = boxes.Boxes();
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].caption, "Application Error");
    EXPECT_EQ(recorded[0].flags & MB_ICONERROR, MB_ICONERROR);
    EXPECT_EQ(recorded[0].text.rfind("WARNING:  ", 0), 0u) << recorded[0].text;
    const std::string tail =
        "Failed with the following error: \nInput/output error\nPort: " + std::to_string(number) +
        "\n";
    EXPECT_NE(recorded[0].text.find(tail), std::string::npos) << recorded[0].text;
}
