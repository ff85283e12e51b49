#include "project/resolve_run.h"

#include <algorithm>

#include "project/address_write_step.h"
#include "project/auto_assign_step.h"
#include "project/config_compare.h"
#include "project/key_write_step.h"
#include "project/planned_address_chooser.h"
#include "project/presence_report.h"
#include "project/read_back_step.h"
#include "project/search_step.h"

namespace {

void AddNote(DeviceReport& d, const std::string& text) {
    d.note += (d.note.empty() ? "" : "; ") + text;
}

}  // namespace

ResolveRun::ResolveRun(IProjectBus& bus, const RunTiming& timing, ProjectPlan plan)
    : ProjectRun(bus, timing), m_plan(std::move(plan)) {
    for (const DeviceModelInfo& info : kDeviceModels) {
        m_models.push_back(info.model);
    }
    AddToTotal(m_models.size());
}

ResolveRun::~ResolveRun() {
    // The session must not keep a chooser that points into this run.
    if (m_assigning) {
        Bus().StopAutoAssign();
    }
}

void ResolveRun::Next(Time now) {
    if (m_search) {
        // A search cut short by a stop or a failed port shows nothing.
        if (m_search->Complete()) {
            m_found.Take(m_search->Model(), m_search->Answers());
            ++m_index;
        }
        m_search = nullptr;
    }
    if (m_assign) {
        for (const AddressHandedOut& h : m_assign->HandedOut()) {
            if (h.to == h.from) {
                continue;
            }
            const bool replacement =
                std::any_of(m_moves.moves.begin(), m_moves.moves.end(), [&](const AddressMove& m) {
                    return m.model == DeviceModel::Tarvo &&
                           m.why == AddressMove::Why::Replacement && m.from == h.from &&
                           m.to == h.to;
                });
            m_tarvoMoves.push_back(
                {DeviceModel::Tarvo, h.from, h.to, h.identity,
                 replacement ? AddressMove::Why::Replacement : AddressMove::Why::Clash});
        }
        m_assign = nullptr;
    }
    if (m_write) {
        m_framesWritten = m_write->Result().sent.size();
        m_write = nullptr;
        m_verifyNext = true;
    }
    if (m_read) {
        const std::uint8_t address = m_configure[m_index];
        DeviceReport* d = FindReport(m_report.devices, DeviceModel::Tarvo, address);
        const PlannedDevice* planned = m_plan.Find(DeviceModel::Tarvo, address);
        if (d && planned) {
            if (m_framesWritten < kKeyConfigSteps.size()) {
                d->status = DeviceStatus::Failed;
                AddNote(*d, std::to_string(m_framesWritten) + " of 4 frames written");
            } else if (!m_read->Config()) {
                d->status = DeviceStatus::Failed;
                AddNote(*d, "configuration written; no reply to the read-back");
            } else {
                d->differences = CompareKeyConfig(*planned->keyConfig, *m_read->Config());
                if (d->differences.empty()) {
                    AddNote(*d, "configuration written and verified");
                } else {
                    d->status = DeviceStatus::Failed;
                    AddNote(*d, "configuration written; the read-back differs");
                }
            }
        }
        m_read = nullptr;
        m_framesWritten = 0;
        ++m_index;
    }
    if (Stopping()) {
        Conclude();
        return;
    }

    switch (m_phase) {
        case Phase::Search:
            if (m_index < m_models.size()) {
                const DeviceModel model = m_models[m_index];
                m_search = Begin(std::make_unique<SearchStep>(model), "searching", model, now);
                return;
            }
            AfterSearches();
            m_phase = Phase::Write;
            m_index = 0;
            [[fallthrough]];
        case Phase::Write:
            if (m_index < m_writes.size()) {
                const AddressMove& m = m_writes[m_index++];
                Begin(std::make_unique<AddressWriteStep>(m.model, m.from, m.to, m.identity),
                      "moving", m.model, now);
                return;
            }
            m_phase = Phase::Assign;
            [[fallthrough]];
        case Phase::Assign:
            if (!m_assigning && m_moves.Touches(DeviceModel::Tarvo)) {
                m_chooser =
                    std::make_unique<PlannedAddressChooser>(m_moves, m_found, DeviceModel::Tarvo);
                m_assigning = true;
                PlannedAddressChooser* chooser = m_chooser.get();
                m_assign =
                    Begin(std::make_unique<AutoAssignStep>(DeviceModel::Tarvo,
                                                           [chooser](const std::uint8_t* request) {
                                                               return chooser->Choose(request);
                                                           }),
                          "assigning", DeviceModel::Tarvo, now);
                return;
            }
            for (const DeviceModelInfo& info : kDeviceModels) {
                if (m_moves.Touches(info.model)) {
                    m_verify.push_back(info.model);
                }
            }
            m_phase = Phase::Verify;
            m_index = 0;
            [[fallthrough]];
        case Phase::Verify:
            if (m_index < m_verify.size()) {
                const DeviceModel model = m_verify[m_index];
                m_search = Begin(std::make_unique<SearchStep>(model), "verifying", model, now);
                return;
            }
            AfterVerify();
            m_phase = Phase::Configure;
            m_index = 0;
            [[fallthrough]];
        case Phase::Configure:
            if (m_index < m_configure.size()) {
                const std::uint8_t address = m_configure[m_index];
                if (m_verifyNext) {
                    m_verifyNext = false;
                    m_read = Begin(std::make_unique<ReadBackStep>(address), "verifying",
                                   DeviceModel::Tarvo, now);
                } else {
                    m_write =
                        Begin(std::make_unique<KeyWriteStep>(
                                  address, *m_plan.Find(DeviceModel::Tarvo, address)->keyConfig),
                              "writing", DeviceModel::Tarvo, now);
                }
                return;
            }
            Conclude();
            return;
    }
}

void ResolveRun::AfterSearches() {
    m_moves = PlanMoves(m_plan, m_found);
    for (const AddressMove& m : m_moves.moves) {
        if (m.model != DeviceModel::Tarvo) {
            m_writes.push_back(m);
        }
    }
    std::size_t verify = 0;
    for (const DeviceModelInfo& info : kDeviceModels) {
        verify += m_moves.Touches(info.model) ? 1 : 0;
    }
    AddToTotal(m_writes.size() + (m_moves.Touches(DeviceModel::Tarvo) ? 1 : 0) + verify);
    m_report.devices = PresenceReport(m_plan, m_found, m_models);
    for (const DeviceReport& d : m_report.devices) {
        if (d.model == DeviceModel::Tarvo && d.status == DeviceStatus::Missing) {
            m_emptySlots.push_back(d.address);
        }
    }
}

void ResolveRun::AfterVerify() {
    m_report.devices = PresenceReport(m_plan, m_found, m_models);
    std::vector<AddressMove> moves = m_writes;
    // A TARVO move the assignment did not carry out (the panel never asked) is still a move to
    // check: the search shows it did not happen, and the report says so.
    for (const AddressMove& m : m_moves.moves) {
        if (m.model == DeviceModel::Tarvo &&
            std::none_of(m_tarvoMoves.begin(), m_tarvoMoves.end(), [&](const AddressMove& t) {
                return t.from == m.from && (t.identity == m.identity || t.to == m.to);
            })) {
            moves.push_back(m);
        }
    }
    moves.insert(moves.end(), m_tarvoMoves.begin(), m_tarvoMoves.end());

    for (const AddressMove& m : moves) {
        const bool replacement = m.why == AddressMove::Why::Replacement;
        // Only a search can tell: the device alone at its new address.
        const bool moved = m_found.At(m.model, m.to).size() == 1;
        DeviceReport* to = FindReport(m_report.devices, m.model, m.to);
        DeviceReport* from = FindReport(m_report.devices, m.model, m.from);
        if (moved && to) {
            // A new device: the plan's identity was the old one's.
            to->note.clear();
            AddNote(*to, "moved from " + std::to_string(m.from) +
                             (replacement ? ", replacing the planned device" : ""));
            // A panel that took the place of a missing one is given that one's configuration.
            const PlannedDevice* planned = m_plan.Find(m.model, m.to);
            if (m.model == DeviceModel::Tarvo && planned && planned->keyConfig &&
                std::count(m_emptySlots.begin(), m_emptySlots.end(), m.to) > 0 &&
                std::count(m_configure.begin(), m_configure.end(), m.to) == 0) {
                m_configure.push_back(m.to);
            }
            continue;
        }
        const std::string what = std::string(ModelInfo(m.model).name) + " " +
                                 FormatIdentity(m.identity) + " did not move from " +
                                 std::to_string(m.from) + " to " + std::to_string(m.to);
        if (to && to->planned) {
            if (to->status != DeviceStatus::Clash) {
                to->status = DeviceStatus::Failed;
            }
            AddNote(*to, what);
        } else if (from) {
            if (from->status == DeviceStatus::Ok) {
                from->status = DeviceStatus::Failed;
            }
            AddNote(*from, what);
        } else if (to) {
            AddNote(*to, what);
        }
    }
    for (const MoveNote& n : m_moves.notes) {
        if (DeviceReport* d = FindReport(m_report.devices, n.model, n.address)) {
            AddNote(*d, n.text);
        }
    }
    AddToTotal(2 * m_configure.size());
}

void ResolveRun::Conclude() {
    if (m_assigning) {
        Bus().StopAutoAssign();
        m_assigning = false;
    }
    if (Stopping() && m_phase < Phase::Configure) {
        // Stopped or failed before the moves were verified: what the searches last showed.
        std::vector<DeviceModel> searched;
        for (DeviceModel m : m_models) {
            if (m_found.Searched(m)) {
                searched.push_back(m);
            }
        }
        m_report.devices = PresenceReport(m_plan, m_found, searched);
        for (const AddressMove& m : m_moves.moves) {
            if (DeviceReport* d = FindReport(m_report.devices, m.model, m.from)) {
                AddNote(*d, "not moved to " + std::to_string(m.to) + " (stopped)");
            }
        }
    } else if (Stopping() && m_index < m_configure.size()) {
        for (std::size_t i = m_index; i < m_configure.size(); ++i) {
            if (DeviceReport* d =
                    FindReport(m_report.devices, DeviceModel::Tarvo, m_configure[i])) {
                d->status = DeviceStatus::Failed;
                AddNote(*d, i == m_index && m_framesWritten > 0
                                ? std::to_string(m_framesWritten) +
                                      " of 4 frames written, not read back (stopped)"
                                : "configuration not written (stopped)");
            }
        }
    }
    Finish();
}
