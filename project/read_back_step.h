#pragma once
// The configuration of one TARVO panel read back: the read request (0x23) and its 160-byte
// reply from that address. Over when the reply is there; asked once more when it does not come
// within the line time of request and reply plus the run's wait.

#include <optional>

#include "bus/tarvo_config.h"
#include "project/run_step.h"

class ReadBackStep : public RunStep {
public:
    explicit ReadBackStep(std::uint8_t address) : m_address(address) {}
    void Begin(StepContext& c, Time now) override;
    void OnConfig(StepContext& c, std::uint8_t source, const TarvoConfigBlock& block,
                  Time now) override;
    void OnTime(StepContext& c, Time now) override;
    std::optional<std::uint8_t> Address() const override { return m_address; }

    // Nothing when no reply came.
    const std::optional<TarvoConfig>& Config() const { return m_config; }

private:
    void Ask(StepContext& c, Time now);

    std::uint8_t m_address;
    int m_asked = 0;
    std::optional<TarvoConfig> m_config;
};
