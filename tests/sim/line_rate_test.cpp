// What a receiver hears of bytes sent at another rate: equal and nearby rates understand each
// other, others garble, as on a real line; and the simulator's devices at a rate of their own
// answer only a PC at that rate.

#include "sim/line_rate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "bus/frame.h"
#include "platform/line_settings_linux.h"
#include "sim/orval_simulator.h"
#include "sim_client.h"

using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Heard(const Bytes& bytes, unsigned sender, unsigned receiver, int stopBits = 1) {
    return HeardAtRate(bytes.data(), bytes.size(), sender, receiver, stopBits);
}

const Bytes kFound = {0xFA, 0x09, 0x00, 0x01, 0xFE, 0x00, 0x54, 0xA0, 0x00, 0x01};

TEST(LineRate, EqualAndNearbyRatesUnderstandEachOther) {
    Bytes all(256);
    for (int i = 0; i < 256; ++i) {
        all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    }
    EXPECT_EQ(Heard(all, 9600, 9600), all);
    // A UART samples each bit in its middle: two per cent apart over ten bits stays inside.
    EXPECT_EQ(Heard(all, 9600, 9800), all);
    EXPECT_EQ(Heard(all, 9800, 9600), all);
    EXPECT_EQ(Heard(all, 19200, 19200, 2), all);
    // Two stop bits only lengthen the gaps between bytes.
    EXPECT_EQ(Heard(all, 9600, 9700, 2), all);
}

TEST(LineRate, OtherRatesGarbleAsAUartHearsThem) {
    // Twice as fast: each bit of the sender is two of the receiver's. 0xFF is a start bit
    // followed by marks: the receiver sees 0xFE (its bit 0 falls in the start bit) and then
    // nothing, the line being idle.
    EXPECT_EQ(Heard({0xFF}, 9600, 19200), (Bytes{0xFE}));
    // Half as fast: the receiver's bits are two of the sender's. 0x00 holds the line low for
    // four of the receiver's bits, then idles: 0xF8. In 0x55 every low stretch is over before
    // the receiver checks its start bit half a bit later: nothing is heard.
    EXPECT_EQ(Heard({0x00}, 19200, 9600), (Bytes{0xF8}));
    EXPECT_TRUE(Heard({0x55}, 19200, 9600).empty());
    // Frames never survive rates a factor apart, in either direction.
    for (const auto& [sender, receiver] :
         {std::pair{9600u, 19200u}, std::pair{19200u, 9600u}, std::pair{9600u, 115200u},
          std::pair{115200u, 9600u}, std::pair{9600u, 14400u}, std::pair{9600u, 4800u}}) {
        EXPECT_NE(Heard(kFound, sender, receiver), kFound) << sender << " -> " << receiver;
    }
    // Nothing sent, nothing heard.
    EXPECT_TRUE(Heard({}, 9600, 19200).empty());
}

// The PC's end of the simulated line at `baud`.
void SetRate(SimClient& client, unsigned baud) {
    LineSettings line;
    line.baud = baud;
    ASSERT_TRUE(SetTtyLineSettings(client.Fd(), line));
}

TEST(SimulatorLineRate, DevicesAtTheirOwnRateAnswerOnlyAPcAtThatRate) {
    OrvalSimulator sim({{SimModel::Tarvo, 1, {0x54, 0xA0, 0x00, 0x01}}});
    sim.SetTraceSink(nullptr);
    sim.SetDeviceBaud(19200);
    sim.Start("sim-rate");
    SimClient client(sim.PortPath());

    // At 9600 the devices hear noise and say nothing, however long the PC waits.
    SetRate(client, 9600);
    client.Write({0xFA, kTypeTarvo, 0x00, 0x00});
    EXPECT_TRUE(client.ReadFrames(300ms).empty());

    // At the devices' rate the search is answered, byte for byte.
    SetRate(client, 19200);
    client.Write({0xFA, kTypeTarvo, 0x00, 0x00});
    const auto frames = client.ReadFrames(300ms);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].bytes, kFound);

    // Slightly off, the line still works, as a real one does.
    SetRate(client, 19500);
    client.Write({0xFA, kTypeTarvo, 0x00, 0x00});
    ASSERT_EQ(client.ReadFrames(300ms).size(), 1u);
}

TEST(SimulatorLineRate, AnAnswerIsHeardAtThePcsRate) {
    // The search gets through at the devices' rate; the PC then changes its rate while the
    // answer is still two seconds away, and hears the answer at its new rate.
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> trace;
    OrvalSimulator sim({{SimModel::Tarvo, 1, {0x54, 0xA0, 0x00, 0x01}}}, SimTiming{2s});
    sim.SetTraceSink([&](const std::string& line) {
        std::lock_guard lock(mutex);
        trace.push_back(line);
        changed.notify_all();
    });
    sim.SetDeviceBaud(19200);
    sim.Start("sim-rate-answer");
    SimClient client(sim.PortPath());
    SetRate(client, 19200);
    const auto traced = [&](const std::string& text) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 10s, [&] {
            for (const std::string& line : trace) {
                if (line.find(text) != std::string::npos) {
                    return true;
                }
            }
            return false;
        });
    };
    client.Write({0xFA, kTypeTarvo, 0x00, 0x00});
    ASSERT_TRUE(traced("| search TARVO"));
    SetRate(client, 9600);
    ASSERT_TRUE(traced("as the PC hears it at 9600 baud"));
    EXPECT_TRUE(client.ReadFrames(300ms).empty()) << "no whole frame reaches a PC at half the rate";
}

}  // namespace
