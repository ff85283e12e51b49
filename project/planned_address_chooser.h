#pragma once
// The answers of a TARVO automatic assignment that mends clashes and replacements: every panel
// on the bus asks, and each is handed the address the move plan gives it. A panel alone at its
// address keeps it (or, replaced, goes to the planned address); one asking from a clash address
// goes where the move plan puts its identity; one the plan knows nothing of takes the next spare
// address. A panel that asks again gets the same answer.

#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "project/bus_table.h"
#include "project/move_plan.h"

class PlannedAddressChooser {
public:
    PlannedAddressChooser(const MovePlan& moves, const BusTable& found, DeviceModel model);
    // The address for a request (its ten bytes).
    std::uint8_t Choose(const std::uint8_t* request);

private:
    struct Place {
        std::uint8_t from;
        DeviceIdentity identity;
        std::uint8_t to;
        bool given = false;
    };
    std::map<std::uint8_t, std::uint8_t> m_alone;  // address of a panel alone -> its address
    std::set<std::uint8_t> m_clashes;
    std::vector<Place> m_places;  // the clash members' addresses
    std::vector<std::uint8_t> m_spare;
    std::map<std::pair<std::uint8_t, DeviceIdentity>, std::uint8_t> m_answered;
};
