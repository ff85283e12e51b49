#pragma once
// A search of one model: the search frame, then every answer (0xFE of that model) with its
// address and identity, in arrival order. Over when the bus has been quiet for a short time
// after the last answer, or for the run's wait when nobody answers.

#include <vector>

#include "project/project_plan.h"
#include "project/run_step.h"

struct SearchAnswer {
    std::uint8_t address = 0;
    DeviceIdentity identity{};
};

class SearchStep : public RunStep {
public:
    explicit SearchStep(DeviceModel model) : m_model(model) {}
    void Begin(StepContext& c, Time now) override;
    void OnFrame(StepContext& c, const std::uint8_t* frame, Time now) override;
    void OnTime(StepContext& c, Time now) override;
    void Stop(StepContext& c, Time now) override;

    DeviceModel Model() const { return m_model; }
    // Over by its own clock, not cut short: only then does nobody answering mean something.
    bool Complete() const { return Finished() && !m_cut; }
    const std::vector<SearchAnswer>& Answers() const { return m_answers; }

private:
    DeviceModel m_model;
    std::vector<SearchAnswer> m_answers;
    Time m_limit{};  // a bus that never falls quiet still ends the search
    bool m_cut = false;
};
