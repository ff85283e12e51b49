#pragma once
// A project run driven by orvalctl: the run's bus actions go to the tool's session, and the
// tool's pump loop feeds the run what arrives (through BusClient's listener), the time, a stop
// (a signal, cli/interrupt.h) and a failed port (BusClient::Failure). The run never blocks; this
// loop is the only place that waits.

#include <cstddef>
#include <string>

#include "cli/bus_client.h"
#include "project/project_bus.h"
#include "project/project_run.h"

class ToolProjectBus : public IProjectBus, private IBusListener {
public:
    explicit ToolProjectBus(BusClient& client);
    ~ToolProjectBus() override;
    ToolProjectBus(const ToolProjectBus&) = delete;
    ToolProjectBus& operator=(const ToolProjectBus&) = delete;

    // IProjectBus
    void UseModel(DeviceModel model) override;
    void SendSearch() override;
    void SendFrame(const Build& build) override;
    void SendReadConfig(std::uint8_t address) override;
    void StartAutoAssign(AddressChooser chooser) override;
    void StopAutoAssign() override;

    // Runs `run` to its end. A signal stops it between two frames; a failed port ends it at
    // once. Then waits (at most a second) until the last frame is on the line, so that closing
    // the port does not cut it.
    void Drive(ProjectRun& run);

private:
    // IBusListener
    void OnFrame(const std::uint8_t* frame) override;
    void OnConfig(std::uint8_t source, const TarvoConfigBlock& block) override;
    void OnAddressHandedOut(const std::uint8_t* request, std::uint8_t address) override;

    void Sent() { ++m_expectedWrites; }

    BusClient& m_client;
    ProjectRun* m_run = nullptr;
    bool m_event = false;  // something was fed to the run during the last pump
    std::size_t m_expectedWrites = 0;
};
