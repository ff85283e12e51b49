#pragma once
// Which device goes to which address to mend clashes and replacements, worked out from the plan
// and what the searches found, before anything is sent.
//
//  - A replaced device: a planned device that did not answer, and a device of the same model
//    that answered alone where the plan has none. It goes to the planned address. A device whose
//    identity the plan gives is paired by it; otherwise only one missing and one unexpected
//    device of a model are paired (more would be a guess).
//  - A clash: of the devices at one address, one whose identity the plan gives for another free
//    address goes there; one whose identity the plan gives for this address stays (else the
//    first that answered); each other one goes to the lowest planned address nobody holds, else
//    the lowest address that is neither planned nor answering.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "project/bus_table.h"
#include "project/project_plan.h"

struct AddressMove {
    enum class Why { Replacement, Clash };
    DeviceModel model = DeviceModel::Tarvo;
    std::uint8_t from = 0;
    std::uint8_t to = 0;
    DeviceIdentity identity{};
    Why why = Why::Clash;
};

// A device that stays where it is although others answered at its address.
struct AddressStay {
    DeviceModel model = DeviceModel::Tarvo;
    std::uint8_t address = 0;
    DeviceIdentity identity{};
};

// Why a device is left as it is, for the report's entry at that address.
struct MoveNote {
    DeviceModel model = DeviceModel::Tarvo;
    std::uint8_t address = 0;
    std::string text;
};

struct MovePlan {
    std::vector<AddressMove> moves;
    std::vector<AddressStay> stays;
    std::vector<MoveNote> notes;
    // Per model, the addresses still free after the moves, in the order they would be given
    // (planned ones first): what a device of unknown identity asking from a clash gets.
    std::map<DeviceModel, std::vector<std::uint8_t>> spare;

    bool Touches(DeviceModel model) const;
};

MovePlan PlanMoves(const ProjectPlan& plan, const BusTable& found);
