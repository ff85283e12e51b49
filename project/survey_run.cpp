#include "project/survey_run.h"

#include <algorithm>
#include <map>

#include "project/config_compare.h"
#include "project/key_write_step.h"
#include "project/presence_report.h"
#include "project/read_back_step.h"
#include "project/search_step.h"

namespace {

std::vector<DeviceModel> EveryModel() {
    std::vector<DeviceModel> models;
    for (const DeviceModelInfo& info : kDeviceModels) {
        models.push_back(info.model);
    }
    return models;
}

}  // namespace

SurveyRun::SurveyRun(IProjectBus& bus, const RunTiming& timing, ProjectPlan plan, Mode mode,
                     std::vector<DeviceModel> models)
    : ProjectRun(bus, timing),
      m_plan(std::move(plan)),
      m_mode(mode),
      m_models(mode == Mode::Capture && !models.empty() ? std::move(models) : EveryModel()) {
    AddToTotal(m_models.size());
}

void SurveyRun::Next(Time now) {
    // What the step that just ended found.
    if (m_search) {
        // A search cut short by a stop or a failed port shows nothing.
        if (m_search->Complete()) {
            m_found.Take(m_search->Model(), m_search->Answers());
            ++m_index;
        }
        m_search = nullptr;
    }
    if (m_read) {
        // A read-back cut short by a stop brought nothing: the stop's report tells it.
        if (!Stopping() || m_read->Config()) {
            if (m_phase == Phase::Read) {
                TakeReadBack(m_toRead[m_index], m_read->Config());
            } else {
                TakeVerify(m_toWrite[m_index], m_read->Config(), m_framesWritten);
                m_framesWritten = 0;
            }
            ++m_index;
        }
        m_read = nullptr;
    }
    bool verifyNext = false;
    if (m_write) {
        m_framesWritten = m_write->Result().sent.size();
        m_write = nullptr;
        verifyNext = true;
    }
    if (Stopping()) {
        FinishStopped();
        return;
    }

    if (m_phase == Phase::Search) {
        if (m_index < m_models.size()) {
            const DeviceModel model = m_models[m_index];
            m_search = Begin(std::make_unique<SearchStep>(model), "searching", model, now);
            return;
        }
        AfterSearches();
        m_phase = Phase::Read;
        m_index = 0;
    }
    if (m_phase == Phase::Read) {
        if (m_index < m_toRead.size()) {
            m_read = Begin(std::make_unique<ReadBackStep>(m_toRead[m_index]), "reading",
                           DeviceModel::Tarvo, now);
            return;
        }
        if (m_mode == Mode::Apply) {
            for (const DeviceReport& d : m_report.devices) {
                if (d.status == DeviceStatus::Differs) {
                    m_toWrite.push_back(d.address);
                }
            }
            AddToTotal(2 * m_toWrite.size());
        }
        m_phase = Phase::Write;
        m_index = 0;
    }
    if (m_index < m_toWrite.size()) {
        const std::uint8_t address = m_toWrite[m_index];
        if (verifyNext) {
            m_read = Begin(std::make_unique<ReadBackStep>(address), "verifying", DeviceModel::Tarvo,
                           now);
            return;
        }
        const PlannedDevice* planned = m_plan.Find(DeviceModel::Tarvo, address);
        m_write = Begin(std::make_unique<KeyWriteStep>(address, *planned->keyConfig), "writing",
                        DeviceModel::Tarvo, now);
        return;
    }
    if (m_mode == Mode::Capture) {
        MakeCaptured();
    }
    Finish();
}

void SurveyRun::AfterSearches() {
    // A capture has no plan: every device it found is what it records.
    static const ProjectPlan kNoPlan;
    m_report.devices =
        PresenceReport(m_mode == Mode::Capture ? kNoPlan : m_plan, m_found, m_models);
    for (DeviceReport& d : m_report.devices) {
        if (m_mode == Mode::Capture && d.status == DeviceStatus::Unexpected) {
            d.status = DeviceStatus::Ok;
        }
        if (d.model != DeviceModel::Tarvo || d.status != DeviceStatus::Ok) {
            continue;
        }
        // A read-back only for a panel that answered alone, and only when there is something
        // to hold it against (or, in a capture, to record).
        const PlannedDevice* planned = m_plan.Find(d.model, d.address);
        if (m_mode == Mode::Capture || (planned && planned->keyConfig)) {
            m_toRead.push_back(d.address);
        }
    }
    m_readBack.assign(m_toRead.size(), std::nullopt);
    AddToTotal(m_toRead.size());
}

void SurveyRun::TakeReadBack(std::uint8_t address, const std::optional<TarvoConfig>& config) {
    m_readBack[m_index] = config;
    DeviceReport* d = FindReport(m_report.devices, DeviceModel::Tarvo, address);
    if (!d) {
        return;
    }
    if (!config) {
        d->status = DeviceStatus::Failed;
        d->note = "no configuration reply";
        return;
    }
    if (m_mode == Mode::Capture) {
        return;
    }
    d->differences =
        CompareKeyConfig(*m_plan.Find(DeviceModel::Tarvo, address)->keyConfig, *config);
    if (!d->differences.empty()) {
        d->status = DeviceStatus::Differs;
    }
}

void SurveyRun::TakeVerify(std::uint8_t address, const std::optional<TarvoConfig>& config,
                           std::size_t framesWritten) {
    DeviceReport* d = FindReport(m_report.devices, DeviceModel::Tarvo, address);
    if (!d) {
        return;
    }
    d->status = DeviceStatus::Failed;
    if (framesWritten < kKeyConfigSteps.size()) {
        d->note = std::to_string(framesWritten) + " of 4 frames written";
    } else if (!config) {
        d->note = "written; no configuration reply afterwards";
    } else {
        d->differences =
            CompareKeyConfig(*m_plan.Find(DeviceModel::Tarvo, address)->keyConfig, *config);
        if (d->differences.empty()) {
            d->status = DeviceStatus::Ok;
            d->note = "written and verified";
        } else {
            d->note = "written; the read-back still differs";
        }
    }
}

void SurveyRun::FinishStopped() {
    if (m_phase == Phase::Search) {
        // The models not searched: their planned devices were not checked.
        std::vector<DeviceModel> searched;
        for (DeviceModel m : m_models) {
            if (m_found.Searched(m)) {
                searched.push_back(m);
            }
        }
        m_models = searched;
        AfterSearches();
        if (m_mode != Mode::Capture) {
            for (const PlannedDevice& p : m_plan.devices) {
                if (!m_found.Searched(p.model)) {
                    DeviceReport r;
                    r.model = p.model;
                    r.address = p.address;
                    r.label = p.label;
                    r.planned = true;
                    r.status = DeviceStatus::Failed;
                    r.note = "not checked";
                    m_report.devices.push_back(std::move(r));
                }
            }
        }
        m_index = 0;
        m_phase = Phase::Read;
    }
    if (m_phase == Phase::Read) {
        for (std::size_t i = m_index; i < m_toRead.size(); ++i) {
            if (DeviceReport* d = FindReport(m_report.devices, DeviceModel::Tarvo, m_toRead[i])) {
                d->status = DeviceStatus::Failed;
                d->note = "not read back";
            }
        }
    } else if (m_index < m_toWrite.size() && m_framesWritten > 0) {
        // The panel in hand was written in part or whole, and not read back.
        if (DeviceReport* d =
                FindReport(m_report.devices, DeviceModel::Tarvo, m_toWrite[m_index])) {
            d->status = DeviceStatus::Failed;
            d->note = std::to_string(m_framesWritten) + " of 4 frames written, not read back";
        }
    }
    if (m_mode == Mode::Capture) {
        MakeCaptured();
    }
    Finish();
}

void SurveyRun::MakeCaptured() {
    m_captured = ProjectPlan{};
    m_captured.line = m_plan.line;
    std::map<std::uint8_t, const TarvoConfig*> configs;
    for (std::size_t i = 0; i < m_toRead.size(); ++i) {
        if (i < m_readBack.size() && m_readBack[i]) {
            configs[m_toRead[i]] = &*m_readBack[i];
        }
    }
    for (const DeviceReport& d : m_report.devices) {
        PlannedDevice p;
        p.model = d.model;
        p.address = d.address;
        if (d.identities.size() == 1) {
            p.identity = d.identities[0];
        }
        if (d.model == DeviceModel::Tarvo && configs.count(d.address)) {
            p.keyConfig = PlannedKeyConfig::FromReadBack(*configs[d.address]);
        }
        m_captured.devices.push_back(std::move(p));
    }
}
