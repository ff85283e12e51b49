// Commissioning a large bus with orvalctl: 100 TARVO panels and 10 MIRELL and 10 OSKAN
// devices on the simulator, which paces what it sends at 9600 bit/s (10 bits a byte) as the
// line would. The real binary, as an installer runs it:
//   capture      search every model, read back every panel, write the project file
//   check        the same file against the same bus: everything ok
//   apply        10 panels changed in the file: the check, then 10 writes, each read back
//   check again  everything ok
//   identify     how soon the LED frame is on the line after orvalctl starts
// Prints the seconds of each; never fails on speed. Reading a panel back is a 160-byte reply,
// 167 ms of line at 9600 bit/s, so reading 100 panels alone is 16.7 s of line.

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>

#include "sim/orval_simulator.h"
#include "tests/cli/tool_runner.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr char kPort[] = "bench-project";

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::string Slurp(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs orvalctl, prints its figure and what went wrong, returns the exit status.
int Timed(const char* name, const std::vector<std::string>& args, double* seconds = nullptr) {
    const auto start = Clock::now();
    const ToolResult r = RunOrvalctl(args);
    const double s = Seconds(Clock::now() - start);
    std::printf("%-24s %6.2f s  (exit %d)\n", name, s, r.status);
    if (r.status != 0) {
        std::fputs(r.err.c_str(), stderr);
    }
    if (seconds) {
        *seconds = s;
    }
    return r.status;
}

}  // namespace

int main() {
    // A private folder of published ports, so that only this simulator is listed.
    char folder[] = "/tmp/bench-project-XXXXXX";
    if (!::mkdtemp(folder)) {
        std::perror("mkdtemp");
        return 1;
    }
    ::setenv("RAVLIN_PORT_DIR", folder, 1);
    const fs::path plan = fs::path(folder) / "building.toml";

    std::vector<SimDeviceSpec> devices;
    for (unsigned a = 1; a <= 100; ++a) {
        devices.push_back({SimModel::Tarvo,
                           static_cast<std::uint8_t>(a),
                           {0x54, 0xA0, 0x00, static_cast<std::uint8_t>(a)}});
    }
    for (unsigned a = 101; a <= 110; ++a) {
        devices.push_back({SimModel::Mirell,
                           static_cast<std::uint8_t>(a),
                           {0x4D, 0xB0, 0x00, static_cast<std::uint8_t>(a)}});
        devices.push_back({SimModel::Oskan,
                           static_cast<std::uint8_t>(a + 10),
                           {0x4F, 0xC0, 0x00, static_cast<std::uint8_t>(a)}});
    }
    SimTiming timing;
    timing.lineRate = 9600;
    OrvalSimulator sim(devices, timing);
    std::mutex traceMutex;
    std::vector<std::string> trace;
    sim.SetTraceSink([&](const std::string& line) {
        if (line.find("LED") != std::string::npos || line.find(" 03 00 02 ") != std::string::npos) {
            std::lock_guard lock(traceMutex);
            trace.push_back(line);
        }
    });
    const auto simStart = Clock::now();
    sim.Start(kPort);

    std::printf("bus: 100 TARVO + 10 MIRELL + 10 OSKAN, line paced at 9600 bit/s\n");
    double capture = 0, check = 0, apply = 0, recheck = 0;
    int failures = 0;
    failures += Timed("capture", {"project", "capture", "--port", kPort, "--file", plan.string()},
                      &capture) != 0;
    failures +=
        Timed("check", {"project", "check", "--port", kPort, "--file", plan.string()}, &check) != 0;

    // Ten panels planned with another long-press time: apply writes and verifies those ten.
    std::string text = Slurp(plan);
    int changed = 0;
    int seen = 0;
    for (std::size_t at = 0; (at = text.find("long_press_ms = 800", at)) != std::string::npos;
         at += 19) {
        if (seen++ % 10 == 0 && changed < 10) {  // every tenth panel, spread over the bus
            text.replace(at, 19, "long_press_ms = 1500");
            ++changed;
        }
    }
    std::ofstream(plan) << text;
    std::printf("panels changed in the plan: %d\n", changed);
    failures +=
        Timed("apply", {"project", "apply", "--port", kPort, "--file", plan.string()}, &apply) != 0;
    failures +=
        Timed("check after apply", {"project", "check", "--port", kPort, "--file", plan.string()},
              &recheck) != 0;

    // Identify: from the start of orvalctl to the LED frame at the simulator.
    const auto launched = Clock::now();
    failures += Timed("identify (0.2 s)",
                      {"identify", "--port", kPort, "--address", "50", "--seconds", "0.2"}) != 0;
    double ledAt = -1;
    {
        std::lock_guard lock(traceMutex);
        for (const std::string& line : trace) {
            if (line.find("PC->bus FA 09 32 00 03 00 02") != std::string::npos) {
                ledAt = std::stod(line);
                break;
            }
        }
    }
    sim.Stop();
    fs::remove_all(folder);

    std::printf("capture_s: %.2f\n", capture);
    std::printf("check_s: %.2f\n", check);
    std::printf("apply_s: %.2f\n", apply);
    std::printf("apply_beyond_check_s: %.2f\n", apply - check);
    if (ledAt >= 0) {
        std::printf("identify_first_frame_ms: %.0f\n",
                    (ledAt - Seconds(launched - simStart)) * 1000.0);
    }
    if (failures) {
        std::printf("runs that did not end ok: %d\n", failures);
    }
    return 0;
}
