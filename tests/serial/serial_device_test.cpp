// The serial device's user-space input buffer and the three-slot wait.

#include "platform/serial_device.h"

#include <gtest/gtest.h>

#include "platform/manual_reset_event.h"
#include "platform/pseudo_terminal.h"
#include "platform/wait_slots.h"
#include "serial_test_support.h"

using namespace serial_test;

TEST(SerialDevice, QueuedCountAndPurgeCoverTheUserSpaceBuffer) {
    PseudoTerminal pty;
    SerialDevice tty;
    ASSERT_TRUE(tty.Open(pty.SlavePath()));
    ASSERT_TRUE(tty.SetLineSettings(LineSettings{}));

    std::uint8_t byte = 0;
    EXPECT_EQ(tty.ReadByte(&byte), SerialDevice::ReadStatus::Empty);
    pty.Write({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    ASSERT_TRUE(WaitUntil([&] { return SlaveQueued(pty) == 10; }));
    ASSERT_EQ(tty.ReadByte(&byte), SerialDevice::ReadStatus::Byte);
    EXPECT_EQ(byte, 1);
    EXPECT_EQ(SlaveQueued(pty), 0) << "one read took everything into the buffer";
    std::size_t queued = 0;
    ASSERT_TRUE(tty.QueuedInput(&queued));
    EXPECT_EQ(queued, 9u);

    ASSERT_TRUE(tty.Purge());
    ASSERT_TRUE(tty.QueuedInput(&queued));
    EXPECT_EQ(queued, 0u);
    EXPECT_EQ(tty.ReadByte(&byte), SerialDevice::ReadStatus::Empty);

    pty.Write({42});
    ASSERT_TRUE(WaitUntil([&] { return SlaveQueued(pty) == 1; }));
    ASSERT_EQ(tty.ReadByte(&byte), SerialDevice::ReadStatus::Byte);
    EXPECT_EQ(byte, 42) << "bytes after the purge are read normally";

    SerialDevice other;
    EXPECT_FALSE(other.Open(pty.SlavePath())) << "held exclusively";
    EXPECT_EQ(errno, EBUSY);

    pty.CloseMaster();
    pty.CloseSlave();
    ASSERT_TRUE(WaitUntil([&] { return tty.ReadByte(&byte) == SerialDevice::ReadStatus::Gone; }));
}

TEST(SerialDevice, APurgeNeverCutsWhatWasAlreadyWritten) {
    // Each request is written and the next one purges first, with the other end not reading
    // meanwhile: every byte written must still reach it, in order.
    PseudoTerminal pty;
    SerialDevice tty;
    ASSERT_TRUE(tty.Open(pty.SlavePath()));
    ASSERT_TRUE(tty.SetLineSettings(LineSettings{}));
    for (int round = 0; round < 20; ++round) {
        std::vector<std::uint8_t> sent;
        for (int k = 0; k < 100; ++k) {
            const std::vector<std::uint8_t> request(30, static_cast<std::uint8_t>(k));
            ASSERT_TRUE(tty.Purge());
            ASSERT_EQ(tty.Write(request.data(), request.size(), nullptr), 30);
            sent.insert(sent.end(), request.begin(), request.end());
        }
        ASSERT_EQ(pty.Read(sent.size(), 10000), sent) << "round " << round;
    }

    // Input that came in before the purge is still discarded.
    pty.Write({7, 8, 9});
    ASSERT_TRUE(WaitUntil([&] { return SlaveQueued(pty) == 3; }));
    ASSERT_TRUE(tty.Purge());
    std::uint8_t byte = 0;
    EXPECT_EQ(tty.ReadByte(&byte), SerialDevice::ReadStatus::Empty);
}

TEST(WaitSlots, TheLowestReadySlotWins) {
    PseudoTerminal pty;
    SerialDevice tty;
    ASSERT_TRUE(tty.Open(pty.SlavePath()));
    ManualResetEvent shutdown;
    ManualResetEvent write;

    EXPECT_EQ(WaitForSlots(shutdown, write, &tty, 0).slot, -1);
    pty.Write({7});
    const SlotWaitResult input = WaitForSlots(shutdown, write, &tty, 10000);
    EXPECT_EQ(input.slot, 2);
    EXPECT_TRUE(input.readable);

    write.Set();
    write.Set();
    EXPECT_EQ(WaitForSlots(shutdown, write, &tty, 0).slot, 1);
    shutdown.Set();
    EXPECT_EQ(WaitForSlots(shutdown, write, &tty, 0).slot, 0);
    shutdown.Reset();
    write.Reset();  // one reset clears however many sets
    EXPECT_FALSE(write.IsSet());
    EXPECT_EQ(WaitForSlots(shutdown, write, nullptr, 0).slot, -1) << "slot 2 left out";
}
