#pragma once
// A project run (capture, check, apply, resolve, identify) as a step machine. It never blocks:
// the program that drives it feeds it what the bus brings (every complete ten-byte frame, each
// configuration reply with its source, each address handed out, a port failure) and the time,
// and the run asks the bus for actions (project/project_bus.h) and says when it next wants the
// time. orvalctl drives it from its pump loop; the window drives it from its session view and a
// timer. Every call comes from the driver's one thread.
//
// A run goes from step to step (project/run_step.h): one step is in hand at a time, and the
// progress says which device that is and how many steps are known so far. Stop() ends the run
// between two frames; a port failure ends it at once. Either way the report says so.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "bus/tarvo_config.h"
#include "project/project_bus.h"
#include "project/project_report.h"
#include "project/run_step.h"
#include "project/run_timing.h"

struct RunProgress {
    const char* activity = "";            // "searching", "reading", "writing", ...
    std::optional<DeviceModel> model;     // the model in hand
    std::optional<std::uint8_t> address;  // the device in hand
    std::size_t done = 0;                 // steps finished
    std::size_t total = 0;                // steps known so far (grows as the run learns)
};

class ProjectRun {
public:
    using Clock = std::chrono::steady_clock;
    using Time = Clock::time_point;

    virtual ~ProjectRun() = default;
    ProjectRun(const ProjectRun&) = delete;
    ProjectRun& operator=(const ProjectRun&) = delete;

    void Start(Time now);
    void OnFrame(const std::uint8_t* frame /*10 bytes*/, Time now);
    void OnConfig(std::uint8_t source, const TarvoConfigBlock& block, Time now);
    void OnAddressHandedOut(const std::uint8_t* request /*10 bytes*/, std::uint8_t address,
                            Time now);
    void OnPortFailure(const std::string& why, Time now);
    void OnTime(Time now);
    // Ends the run before its next frame: a search or read-back in hand ends at once, a
    // key-configuration write after the frame on its way.
    void Stop(Time now);

    bool Done() const { return m_done; }
    // When the run next wants OnTime; nothing once it is done.
    std::optional<Time> WakeAt() const;
    const RunProgress& Progress() const { return m_progress; }
    const ProjectReport& Report() const { return m_report; }

protected:
    ProjectRun(IProjectBus& bus, const RunTiming& timing);

    // Called at the start and each time the step in hand has finished (its results still
    // there): begin the next step, or Finish(). While stopping, finish the report and Finish().
    virtual void Next(Time now) = 0;

    // Makes `step` the one in hand and begins it; the step before it goes. Returns it.
    template <class Step>
    Step* Begin(std::unique_ptr<Step> step, const char* activity, std::optional<DeviceModel> model,
                Time now) {
        Step* raw = step.get();
        BeginStep(std::move(step), activity, model, now);
        return raw;
    }
    void Finish();
    bool Stopping() const { return m_stopping; }
    void AddToTotal(std::size_t steps) { m_progress.total += steps; }

    IProjectBus& Bus() { return m_bus; }
    const RunTiming& Timing() const { return m_timing; }
    ProjectReport m_report;

private:
    void BeginStep(std::unique_ptr<RunStep> step, const char* activity,
                   std::optional<DeviceModel> model, Time now);
    // Runs Next while the step in hand has finished.
    void Advance(Time now);

    IProjectBus& m_bus;
    RunTiming m_timing;
    StepContext m_context{m_bus, m_timing};
    std::unique_ptr<RunStep> m_step;
    std::size_t m_stepsBegun = 0;
    RunProgress m_progress;
    bool m_started = false;
    bool m_stopping = false;
    bool m_done = false;
    bool m_advancing = false;
};
