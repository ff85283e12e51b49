// Receive path of the serial engine on a pseudo-terminal: a writer pushes bytes into the bus end,
// the engine delivers them to an owner that handles each byte on its own thread.
//  1. 1 MiB as fast as the writer can: bytes per second delivered.
//  2. ~4 s paced at 19,400 bytes/s in 10-byte writes (the line rate of 194000 baud): the
//     monitor thread's share of one core.
// Every byte is checked against the pattern written (nothing lost, nothing reordered).
// Prints figures only; it never fails on speed.

#include <dirent.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/plain_message_owner.h"
#include "platform/pseudo_terminal.h"
#include "serial/serial_port.h"

namespace {

using Clock = std::chrono::steady_clock;

std::uint8_t PatternByte(std::uint64_t i) {
    return static_cast<std::uint8_t>((i * 131) ^ (i >> 9));
}

// Nanoseconds of CPU used so far by the thread named `name` in this process, or -1.
long long ThreadCpuNs(const std::string& name) {
    DIR* dir = opendir("/proc/self/task");
    if (!dir) {
        return -1;
    }
    long long result = -1;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') {
            continue;
        }
        const std::string base = std::string("/proc/self/task/") + e->d_name;
        std::string comm;
        std::getline(std::ifstream(base + "/comm"), comm);
        if (comm == name) {
            std::ifstream schedstat(base + "/schedstat");
            schedstat >> result;
            break;
        }
    }
    closedir(dir);
    return result;
}

}  // namespace

int main() {
    if (const char* dir = std::getenv("RAVLIN_PORT_DIR"); dir == nullptr || *dir == '\0') {
        const std::string folder = "/tmp/ravlin-bench-serial-" + std::to_string(::getpid());
        ::setenv("RAVLIN_PORT_DIR", folder.c_str(), 1);
    }

    std::atomic<std::uint64_t> received{0};
    std::atomic<std::uint64_t> mismatches{0};
    PlainMessageOwner owner([&](const WindowMessage& m) {
        if (m.message != WM_SERIAL_RXBYTE) {
            return;
        }
        const std::uint64_t i = received.load(std::memory_order_relaxed);
        if (static_cast<std::uint8_t>(m.wParam) != PatternByte(i)) {
            mismatches.fetch_add(1, std::memory_order_relaxed);
        }
        received.store(i + 1, std::memory_order_release);
    });

    PseudoTerminal pty;
    pty.Publish("bench-rx");
    CSerialPort port;
    port.EnumeratePorts();
    unsigned number = 0;
    for (const SerialPortEntry& entry : port.Ports()) {
        if (entry.name == "bench-rx") {
            number = entry.number;
        }
    }
    bool opened = false;
    owner.Invoke([&] {
        opened = number != 0 &&
                 port.OpenPort(&owner, port.PortEntry(number), MakeLineSettings(194000, 'N', 8, 0));
    });
    if (!opened || !port.StartMonitor()) {
        std::fprintf(stderr, "cannot open the pseudo-terminal port\n");
        return 1;
    }
    // The monitor purges when it starts; a request that comes back shows it is past that.
    const std::uint8_t probe = 0;
    port.SendBytes(&probe, 1);
    if (pty.Read(1, 10000).size() != 1) {
        std::fprintf(stderr, "the monitor did not start\n");
        return 1;
    }

    std::uint64_t written = 0;
    auto waitDelivered = [&](std::uint64_t count) {
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (received.load(std::memory_order_acquire) < count && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return received.load() >= count;
    };

    // 1. Unthrottled.
    constexpr std::uint64_t kFlood = 1 << 20;
    std::vector<std::uint8_t> flood(kFlood);
    for (std::uint64_t i = 0; i < kFlood; ++i) {
        flood[i] = PatternByte(written + i);
    }
    const auto floodStart = Clock::now();
    std::thread writer([&] { pty.Write(flood); });
    const bool floodOk = waitDelivered(kFlood);
    const double floodSeconds = std::chrono::duration<double>(Clock::now() - floodStart).count();
    writer.join();
    written += kFlood;
    const double bytesPerSecond = kFlood / floodSeconds;
    std::printf("flood: %llu bytes in %.3f s%s\n", static_cast<unsigned long long>(kFlood),
                floodSeconds, floodOk ? "" : " (incomplete)");

    // 2. Paced at the line rate.
    constexpr double kRate = 19400.0;
    constexpr int kChunk = 10;
    constexpr double kSeconds = 4.0;
    const auto period = std::chrono::duration<double>(kChunk / kRate);
    const long long monitorCpu0 = ThreadCpuNs("ravlin-monitor");
    const auto pacedStart = Clock::now();
    std::uint64_t pacedBytes = 0;
    for (int k = 0; Clock::now() - pacedStart < std::chrono::duration<double>(kSeconds); ++k) {
        std::vector<std::uint8_t> chunk(kChunk);
        for (int j = 0; j < kChunk; ++j) {
            chunk[j] = PatternByte(written + j);
        }
        pty.Write(chunk);
        written += kChunk;
        pacedBytes += kChunk;
        std::this_thread::sleep_until(
            pacedStart + std::chrono::duration_cast<Clock::duration>(period * (k + 1)));
    }
    const bool pacedOk = waitDelivered(written);
    const double pacedSeconds = std::chrono::duration<double>(Clock::now() - pacedStart).count();
    const long long monitorCpu1 = ThreadCpuNs("ravlin-monitor");
    const double monitorShare = (monitorCpu0 >= 0 && monitorCpu1 >= 0)
                                    ? (monitorCpu1 - monitorCpu0) / 1e9 / pacedSeconds
                                    : -1.0;
    std::printf("paced: %llu bytes in %.3f s (%.0f bytes/s)%s\n",
                static_cast<unsigned long long>(pacedBytes), pacedSeconds,
                pacedBytes / pacedSeconds, pacedOk ? "" : " (incomplete)");
    std::printf("monitor_cpu_percent_at_line_rate: %.2f\n", monitorShare * 100.0);

    owner.Invoke([&] { port.ClosePort(); });
    std::printf("received: %llu of %llu, mismatched: %llu\n",
                static_cast<unsigned long long>(received.load()),
                static_cast<unsigned long long>(written),
                static_cast<unsigned long long>(mismatches.load()));
    std::printf("bytes_per_s: %.0f\n", bytesPerSecond);
    return (received.load() == written && mismatches.load() == 0) ? 0 : 1;
}
