#include "project/project_run.h"

ProjectRun::ProjectRun(IProjectBus& bus, const RunTiming& timing) : m_bus(bus), m_timing(timing) {}

void ProjectRun::Start(Time now) {
    if (m_started) {
        return;
    }
    m_started = true;
    Next(now);
    Advance(now);
}

void ProjectRun::BeginStep(std::unique_ptr<RunStep> step, const char* activity,
                           std::optional<DeviceModel> model, Time now) {
    m_step = std::move(step);
    ++m_stepsBegun;
    m_progress.activity = activity;
    m_progress.model = model;
    m_progress.address = m_step->Address();
    m_step->Begin(m_context, now);
}

void ProjectRun::Finish() {
    m_done = true;
    m_progress.activity = "done";
    m_progress.address.reset();
}

void ProjectRun::Advance(Time now) {
    if (m_advancing) {
        return;  // a step begun by Next may finish at once; the loop below takes it
    }
    m_advancing = true;
    while (!m_done && m_step && m_step->Finished()) {
        ++m_progress.done;
        const std::size_t begun = m_stepsBegun;
        Next(now);
        if (!m_done && m_stepsBegun == begun) {
            Finish();  // Next began nothing new: nothing is left to do
        }
    }
    if (m_progress.done > m_progress.total) {
        m_progress.total = m_progress.done;
    }
    m_advancing = false;
}

void ProjectRun::OnFrame(const std::uint8_t* frame, Time now) {
    if (m_done || !m_step) {
        return;
    }
    m_step->OnFrame(m_context, frame, now);
    m_step->OnTime(m_context, now);
    Advance(now);
}

void ProjectRun::OnConfig(std::uint8_t source, const TarvoConfigBlock& block, Time now) {
    if (m_done || !m_step) {
        return;
    }
    m_step->OnConfig(m_context, source, block, now);
    m_step->OnTime(m_context, now);
    Advance(now);
}

void ProjectRun::OnAddressHandedOut(const std::uint8_t* request, std::uint8_t address, Time now) {
    if (m_done || !m_step) {
        return;
    }
    m_step->OnAddressHandedOut(m_context, request, address, now);
    m_step->OnTime(m_context, now);
    Advance(now);
}

void ProjectRun::OnTime(Time now) {
    if (m_done || !m_step) {
        return;
    }
    m_step->OnTime(m_context, now);
    Advance(now);
}

void ProjectRun::OnPortFailure(const std::string& why, Time now) {
    if (m_done) {
        return;
    }
    m_report.interrupted = "the port failed: " + why;
    m_stopping = true;
    // Nothing more goes out on a failed port: the step in hand ends where it is, and the run
    // reports what it knows.
    Next(now);
    Finish();
}

void ProjectRun::Stop(Time now) {
    if (m_done || m_stopping) {
        return;
    }
    m_stopping = true;
    if (m_report.interrupted.empty()) {
        m_report.interrupted = "stopped";
    }
    if (!m_step) {
        Next(now);
        Finish();
        return;
    }
    m_step->Stop(m_context, now);
    Advance(now);
}

std::optional<ProjectRun::Time> ProjectRun::WakeAt() const {
    if (m_done || !m_step) {
        return std::nullopt;
    }
    return m_step->WakeAt();
}
