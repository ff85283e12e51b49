#pragma once
// A new address for one MIRELL or OSKAN device, named by its identity: the address write 0x22 to
// its address with the identity in bytes 6..9, so that of several devices sharing the address
// only that one moves. Over when the device answers from its new address, or after the window's
// pause after an address write.

#include "project/project_plan.h"
#include "project/run_step.h"

class AddressWriteStep : public RunStep {
public:
    AddressWriteStep(DeviceModel model, std::uint8_t from, std::uint8_t to,
                     const DeviceIdentity& identity)
        : m_model(model), m_from(from), m_to(to), m_identity(identity) {}
    void Begin(StepContext& c, Time now) override;
    void OnFrame(StepContext& c, const std::uint8_t* frame, Time now) override;
    void OnTime(StepContext& c, Time now) override;
    std::optional<std::uint8_t> Address() const override { return m_from; }

    DeviceModel Model() const { return m_model; }
    // The device answered from its new address (a real device may not answer at all).
    bool Answered() const { return m_answered; }

private:
    DeviceModel m_model;
    std::uint8_t m_from;
    std::uint8_t m_to;
    DeviceIdentity m_identity;
    bool m_answered = false;
};
