// The write path of the serial engine on a pseudo-terminal at 1200 baud.
//  1. Closing while a write waits for the line: a 74-byte frame whose line never finishes (the
//     output count is answered at the device layer, as a pseudo-terminal's own is always 0) and
//     whose peer doesn't read. ClosePort's time over 50 rounds: min, median, max.
//  2. Frames written back to back when the line is idle at once (the pseudo-terminal's own
//     count): frames per second, so the cost of looking at the output queue after each write
//     shows.
// Prints figures only; it never fails on speed.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/plain_message_owner.h"
#include "platform/pseudo_terminal.h"
#include "platform/serial_device.h"
#include "serial/serial_port.h"
#include "tests/serial/serial_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

int main() {
    std::atomic<std::size_t> unsent{0};
    SetOutputQueueProbe([&] { return unsent.load(); });

    PlainMessageOwner owner([](const WindowMessage&) {}, PlainMessageOwner::Mode::CallingThread);
    PseudoTerminal pty;
    CSerialPort port;
    const unsigned number = serial_test::PublishAndList(pty, port, "bench-drain");
    if (number == 0) {
        std::fprintf(stderr, "the pseudo-terminal is not listed\n");
        return 1;
    }

    std::vector<std::uint8_t> frame(74, 0x30);
    frame[0] = 0xFA;
    std::vector<double> closeMs;
    for (int round = 0; round < 50; ++round) {
        unsent = frame.size();
        if (!port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(1200, 'N', 8, 0)) ||
            !port.StartMonitor()) {
            std::fprintf(stderr, "open failed\n");
            return 1;
        }
        port.SendBytes(frame.data(), static_cast<unsigned>(frame.size()));
        // Let the monitor write the frame and settle into its wait for the line.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const auto start = Clock::now();
        port.ClosePort();
        closeMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        pty.ReadAvailable();
    }
    std::sort(closeMs.begin(), closeMs.end());
    std::printf("close_during_drain_ms: min %.3f median %.3f max %.3f (50 rounds, 1200 baud)\n",
                closeMs.front(), closeMs[closeMs.size() / 2], closeMs.back());

    // Back to back: each frame is sent once the previous one is on the line; the reader takes
    // what arrives and the next request follows as soon as the last frame has arrived.
    SetOutputQueueProbe({});
    if (!port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(1200, 'N', 8, 0)) ||
        !port.StartMonitor()) {
        return 1;
    }
    const std::vector<std::uint8_t> small = {0xFA, 0x08, 0x00, 0x00, 0x45, 0x04, 0x01, 0x55, 0, 0};
    constexpr int kFrames = 5000;
    const auto start = Clock::now();
    int received = 0;
    for (int i = 0; i < kFrames; ++i) {
        port.SendBytes(small.data(), static_cast<unsigned>(small.size()));
        received += static_cast<int>(pty.Read(small.size(), 10000).size() == small.size());
    }
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    port.ClosePort();
    std::printf("frames_per_s: %.0f (%d of %d ten-byte frames arrived whole)\n", kFrames / s,
                received, kFrames);
    return 0;
}
