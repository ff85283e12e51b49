#pragma once
// Identify: a TARVO panel's LED1 flashes (the LED test frame with state 2) for a given time and
// is switched off again (state 0), so that an installer finds the panel on the wall. The first
// frame goes out when the run starts; Stop() switches the LED off at once.

#include <chrono>
#include <cstdint>

#include "project/project_run.h"

class IdentifyRun : public ProjectRun {
public:
    IdentifyRun(IProjectBus& bus, const RunTiming& timing, std::uint8_t address,
                std::chrono::milliseconds duration);

    std::uint8_t Address() const { return m_address; }
    // The LED frames handed over: 1 flashing, 2 switched off again.
    int FramesSent() const { return m_sent; }

private:
    class LedStep;
    void Next(Time now) override;

    std::uint8_t m_address;
    std::chrono::milliseconds m_duration;
    LedStep* m_step = nullptr;
    int m_sent = 0;
};
