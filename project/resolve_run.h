#pragma once
// Resolve: clashes and replaced devices mended by giving devices new addresses by identity.
//
// Every model is searched, and the move plan (project/move_plan.h) says who goes where. A MIRELL
// or OSKAN device is moved by an address write that names it by its identity; TARVO panels take
// part in one automatic assignment whose answers the plan chooses (a panel alone at its address
// is given that address again). Then each model that moved is searched again: a move counts only
// when that search shows the device alone at its new address and no clash left behind, because
// real devices may not tell identities apart as the simulated ones do. A replaced TARVO that
// moved is given the planned key configuration and read back.

#include <memory>
#include <optional>
#include <vector>

#include "project/bus_table.h"
#include "project/move_plan.h"
#include "project/project_plan.h"
#include "project/project_run.h"

class SearchStep;
class AddressWriteStep;
class AutoAssignStep;
class KeyWriteStep;
class ReadBackStep;
class PlannedAddressChooser;

class ResolveRun : public ProjectRun {
public:
    ResolveRun(IProjectBus& bus, const RunTiming& timing, ProjectPlan plan);
    ~ResolveRun() override;

    // The moves worked out after the first searches.
    const MovePlan& Moves() const { return m_moves; }

private:
    enum class Phase { Search, Write, Assign, Verify, Configure };

    void Next(Time now) override;
    void AfterSearches();
    void AfterVerify();
    void Conclude();

    ProjectPlan m_plan;
    BusTable m_found;  // the first searches, then the searches after the moves
    MovePlan m_moves;
    std::vector<DeviceModel> m_models;
    std::vector<DeviceModel> m_verify;       // the models searched again
    std::vector<AddressMove> m_writes;       // MIRELL and OSKAN moves
    std::vector<AddressMove> m_tarvoMoves;   // what the assignment did that moved a panel
    std::vector<std::uint8_t> m_configure;   // TARVO panels to configure
    std::vector<std::uint8_t> m_emptySlots;  // planned TARVO addresses nobody answered at first
    Phase m_phase = Phase::Search;
    std::size_t m_index = 0;
    bool m_assigning = false;
    bool m_verifyNext = false;
    std::size_t m_framesWritten = 0;
    std::unique_ptr<PlannedAddressChooser> m_chooser;
    SearchStep* m_search = nullptr;
    AutoAssignStep* m_assign = nullptr;
    KeyWriteStep* m_write = nullptr;
    ReadBackStep* m_read = nullptr;
};
