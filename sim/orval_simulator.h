#pragma once
// A simulated ORVAL bus on a pseudo-terminal. Start() opens the pair, publishes the slave end in
// the published-ports folder (so Ravlin lists it like a serial port) and plays the devices on
// the master end on a thread of its own until Stop(). Tests and in-process users read and add
// devices from any thread.
//
// The simulator keeps its own slave descriptor open, so a client may close and reopen the port
// at will. When a client opens it, replies still waiting for the previous client are dropped;
// when a client closes it, an exclusive-use flag the client left on the terminal is cleared so
// that the next client can open it.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "sim/sim_bus.h"
#include "sim/sim_device.h"

class PseudoTerminal;

class OrvalSimulator {
public:
    // One line per frame in either direction and per notable event. Called on the simulator's
    // thread, never while the simulator's lock is held.
    using TraceSink = std::function<void(const std::string&)>;
    using Clock = std::chrono::steady_clock;

    explicit OrvalSimulator(const std::vector<SimDeviceSpec>& devices = DefaultBus(),
                            SimTiming timing = {});
    ~OrvalSimulator();
    OrvalSimulator(const OrvalSimulator&) = delete;
    OrvalSimulator& operator=(const OrvalSimulator&) = delete;

    // Where the trace goes; standard output unless set. Set before Start(); nullptr silences it.
    void SetTraceSink(TraceSink sink);
    // The line rate the devices listen and answer at; 0 (the default) follows the PC's rate.
    // When it differs from the rate the PC set on its end, the devices hear the PC's frames
    // and the PC hears their answers as a UART at the other rate would (sim/line_rate.h).
    // Set before Start().
    void SetDeviceBaud(unsigned baud);

    // Opens the pseudo-terminal, publishes it as `name` and starts playing. Throws
    // std::runtime_error when the terminal cannot be opened or published, or when running.
    void Start(const std::string& name = "orval-sim");
    // Stops the thread, removes the published link and closes the terminal. Idempotent.
    void Stop();
    bool Running() const;

    // The published link (what a client opens) and the terminal it points to.
    std::string PortPath() const;
    std::string SlavePath() const;

    // Devices in the order they were put on the bus; the index of a device never changes.
    std::vector<SimDeviceState> Devices() const;
    SimDeviceState Device(std::size_t index) const;
    std::size_t AddDevice(const SimDeviceSpec& entry);

    // Waits until `done` holds for the devices (checked after every frame) or the timeout ends;
    // returns whether it held.
    bool WaitUntil(const std::function<bool(const std::vector<SimDeviceState>&)>& done,
                   std::chrono::milliseconds timeout) const;

private:
    void Run();
    void Trace(std::vector<std::string>& lines, const char* direction, const std::string& text);
    void EmitTrace(const std::vector<std::string>& lines);

    // The rate and stop bits (1 or 2) the PC set on its end of the line.
    std::pair<unsigned, int> PcLine() const;

    SimTiming m_timing;
    TraceSink m_trace;
    unsigned m_deviceBaud = 0;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::unique_ptr<SimBus> m_bus;  // guarded by m_mutex
    bool m_running = false;         // guarded by m_mutex

    std::unique_ptr<PseudoTerminal> m_pty;
    std::string m_portPath;
    std::string m_slavePath;
    int m_slaveFd = -1;
    int m_stopFd = -1;
    int m_watchFd = -1;
    Clock::time_point m_start;
    std::thread m_thread;
};
