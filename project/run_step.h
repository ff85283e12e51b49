#pragma once
// One exchange of a project run with the bus (a search, a read-back, a key-configuration write,
// an automatic assignment, an address write): it sends its frames through the run's bus, is fed
// what arrives and the time, and finishes when its answer is there or its time is up. A step
// never blocks: it says when it next wants the time (WakeAt).

#include <chrono>
#include <cstdint>
#include <optional>

#include "bus/tarvo_config.h"
#include "project/project_bus.h"
#include "project/run_timing.h"

struct StepContext {
    IProjectBus& bus;
    const RunTiming& timing;
};

class RunStep {
public:
    using Time = std::chrono::steady_clock::time_point;

    virtual ~RunStep() = default;
    // Sends the step's first frame.
    virtual void Begin(StepContext& c, Time now) = 0;
    // Every complete ten-byte frame.
    virtual void OnFrame(StepContext&, const std::uint8_t* /*frame*/, Time) {}
    // A configuration reply from `source`.
    virtual void OnConfig(StepContext&, std::uint8_t /*source*/, const TarvoConfigBlock&, Time) {}
    // A device's address request (ten bytes) was answered with `address`.
    virtual void OnAddressHandedOut(StepContext&, const std::uint8_t* /*request*/,
                                    std::uint8_t /*address*/, Time) {}
    // The time asked for has come (called after every event too; a step checks its clock).
    virtual void OnTime(StepContext& c, Time now) = 0;
    // The run is to stop: the step finishes before it would send its next frame. By default at
    // once (a step with one frame has sent it already).
    virtual void Stop(StepContext&, Time) { Finish(); }

    bool Finished() const { return m_finished; }
    std::optional<Time> WakeAt() const { return m_wake; }
    // Progress: the address of the device the step is about (nothing for a search).
    virtual std::optional<std::uint8_t> Address() const { return std::nullopt; }

protected:
    void Finish() {
        m_finished = true;
        m_wake.reset();
    }
    void WakeAt(Time t) { m_wake = t; }
    static bool Due(const std::optional<Time>& t, Time now) { return t && now >= *t; }

private:
    std::optional<Time> m_wake;
    bool m_finished = false;
};
