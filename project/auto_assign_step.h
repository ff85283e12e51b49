#pragma once
// An automatic address assignment of one model whose answers a chooser picks (the plan's
// addresses) instead of the session's counter: the announcement 0x20, the devices' 0x20
// answers (who takes part), their address requests 0x21 answered with the chooser's address,
// and their confirmations 0x22 from the new address. Over when every device that announced
// itself has confirmed and no request followed for a short while, or when no device asked for
// the run's wait.

#include <vector>

#include "project/project_plan.h"
#include "project/run_step.h"

struct AddressHandedOut {
    std::uint8_t from = 0;  // the address the device asked from
    std::uint8_t to = 0;
    DeviceIdentity identity{};
    bool confirmed = false;  // the device answered from its new address
};

class AutoAssignStep : public RunStep {
public:
    AutoAssignStep(DeviceModel model, IProjectBus::AddressChooser chooser)
        : m_model(model), m_chooser(std::move(chooser)) {}
    void Begin(StepContext& c, Time now) override;
    void OnFrame(StepContext& c, const std::uint8_t* frame, Time now) override;
    void OnAddressHandedOut(StepContext& c, const std::uint8_t* request, std::uint8_t address,
                            Time now) override;
    void OnTime(StepContext& c, Time now) override;

    const std::vector<AddressHandedOut>& HandedOut() const { return m_handedOut; }
    // The identities that announced themselves.
    const std::vector<DeviceIdentity>& Announced() const { return m_announced; }

private:
    bool Complete() const;

    DeviceModel m_model;
    IProjectBus::AddressChooser m_chooser;
    std::vector<DeviceIdentity> m_announced;
    std::vector<AddressHandedOut> m_handedOut;
    Time m_lastActivity{};
};
