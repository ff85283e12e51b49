#pragma once
// A bus for the project runs, played in virtual time: the simulator's devices (sim/sim_bus.h,
// the same logic orval-sim plays on a pseudo-terminal) answer the frames a run sends, and the
// answers go back to the run as the window's session would hand them over: every ten-byte frame,
// each configuration reply with its source, each 0x21 request answered with the run's chooser
// and reported as an address handed out. Time moves from one due event to the next, so a test
// runs in no time and measures the run's waits exactly.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "project/project_bus.h"
#include "project/project_run.h"
#include "sim/sim_bus.h"

class PlayedBus : public IProjectBus {
public:
    using Time = std::chrono::steady_clock::time_point;

    explicit PlayedBus(const std::vector<SimDeviceSpec>& devices);

    // IProjectBus
    void UseModel(DeviceModel model) override;
    void SendSearch() override;
    void SendFrame(const Build& build) override;
    void SendReadConfig(std::uint8_t address) override;
    void StartAutoAssign(AddressChooser chooser) override;
    void StopAutoAssign() override;

    // Runs `run` from now until it is done (or `limit` of virtual time passed); `each` is
    // called before every event the run is given, so a test can stop it or fail the port.
    // With a `tick`, time moves at most that far at once, so `each` sees it pass.
    void Play(ProjectRun& run, std::chrono::seconds limit = std::chrono::seconds(600),
              const std::function<void(Time)>& each = {},
              std::chrono::milliseconds tick = std::chrono::milliseconds(0));

    // Sends `frame` to the devices directly, as another program on the line would (to set a
    // panel up before a run).
    void Inject(const std::vector<std::uint8_t>& frame);
    // Frames to the devices that `drop` returns true for never reach them.
    std::function<bool(const std::vector<std::uint8_t>&)> drop;

    const std::vector<SimDeviceState>& Devices() const { return m_sim.Devices(); }
    const SimDeviceState* Device(DeviceModel model, const SimIdentity& id) const;
    // Every frame the run sent, in hex, and the models it asked for.
    const std::vector<std::string>& Sent() const { return m_sent; }
    std::size_t SentWith(std::uint8_t command, std::uint8_t destination) const;
    bool AssignmentOn() const { return static_cast<bool>(m_chooser); }
    Time Now() const { return m_now; }
    Time Start() const { return m_start; }

private:
    void ToDevices(const std::vector<std::uint8_t>& frame);
    void Deliver(ProjectRun& run, const std::vector<std::uint8_t>& reply);

    SimBus m_sim;
    Time m_start;
    Time m_now;
    TxFrame m_tx;
    AddressChooser m_chooser;
    std::vector<std::string> m_sent;
};
