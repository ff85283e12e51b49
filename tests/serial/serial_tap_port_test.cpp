// The engine's reports to its tap on a real pseudo-terminal: a request replaced before it was
// written, the unread input its purge discards, and the bytes the line was given.

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <vector>

#include "platform/plain_message_owner.h"
#include "platform/pseudo_terminal.h"
#include "serial/serial_port.h"
#include "serial/tap_recorder.h"
#include "serial_test_support.h"

using namespace serial_test;
using Bytes = std::vector<std::uint8_t>;

namespace {

TEST(SerialTap, ReplacedRequestPurgedInputAndWrittenFrameAreReported) {
    MessageLog log;
    PlainMessageOwner owner{[&](const WindowMessage& m) { log.Add(m); },
                            PlainMessageOwner::Mode::CallingThread};
    PseudoTerminal pty;
    CSerialPort port;
    CTapRecorder tap;
    tap.SetRecording(true);
    port.SetTap(&tap);
    const unsigned number = PublishAndList(pty, port, "tapped");
    ASSERT_NE(number, 0u);
    ASSERT_TRUE(port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(19200, 'N', 8, 0)));
    ASSERT_TRUE(port.StartMonitor());

    std::deque<TapEvent> events;
    const auto written = [&] {
        auto more = tap.Take();
        events.insert(events.end(), more.begin(), more.end());
        return !events.empty() && events.back().kind == TapEvent::Kind::Written;
    };
    const std::uint8_t probe = 0x5A;
    port.SendBytes(&probe, 1);
    ASSERT_EQ(pty.Read(1, 10000), Bytes{probe});
    ASSERT_TRUE(WaitUntil(written));
    EXPECT_EQ(events.back().bytes, Bytes{probe});
    events.clear();

    // The monitor is held delivering a byte while input queues up behind it and two requests
    // arrive; the second replaces the first.
    pty.Write({0xA1});
    ASSERT_TRUE(WaitUntil([&] { return owner.PendingRuns() == 1; }));
    const Bytes unread = {1, 2, 3, 4, 5};
    pty.Write(unread);
    ASSERT_TRUE(WaitUntil([&] { return SlaveQueued(pty) == static_cast<int>(unread.size()); }));
    const Bytes first(10, 0x11);
    const Bytes second = {0xFA, 0x08, 0x00, 0x00};
    port.SendBytes(first.data(), static_cast<unsigned>(first.size()));
    port.SendBytes(second.data(), static_cast<unsigned>(second.size()));
    owner.PumpPendingMessages();
    EXPECT_EQ(pty.Read(second.size(), 10000), second);
    ASSERT_TRUE(WaitUntil(written));
    port.ClosePort();

    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].kind, TapEvent::Kind::Replaced);
    EXPECT_EQ(events[0].bytes, first);
    EXPECT_EQ(events[1].kind, TapEvent::Kind::Purged);
    EXPECT_EQ(events[1].unread, unread.size());
    EXPECT_EQ(events[2].kind, TapEvent::Kind::Written);
    EXPECT_EQ(events[2].bytes, second);
}

}  // namespace
