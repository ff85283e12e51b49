#pragma once
// A TARVO panel's planned key configuration written through the one write sequence
// (session/key_config_sequence.h), one frame at a time: each frame is handed over, and the next
// one follows once the frame has had its time on the line and the sequence's gap after it.

#include <optional>

#include "project/project_plan.h"
#include "project/run_step.h"
#include "session/key_config_sequence.h"

class KeyWriteStep : public RunStep {
public:
    KeyWriteStep(std::uint8_t address, const PlannedKeyConfig& config);
    void Begin(StepContext& c, Time now) override;
    void OnTime(StepContext& c, Time now) override;
    void Stop(StepContext& c, Time now) override;
    std::optional<std::uint8_t> Address() const override { return m_address; }

    // The frames that went out, in order.
    const KeyConfigWriteResult& Result() const { return m_sequence.Result(); }

private:
    void SendNext(StepContext& c, Time now);

    std::uint8_t m_address;
    KeyConfigFields m_fields;
    FixedKeyConfigSource m_source;
    KeyConfigSequence m_sequence;
    bool m_stopping = false;
};
