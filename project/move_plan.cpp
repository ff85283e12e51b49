#include "project/move_plan.h"

#include <algorithm>
#include <optional>
#include <set>

namespace {

// The addresses of one model: who holds which, and what is still free.
class Addresses {
public:
    Addresses(const ProjectPlan& plan, const BusTable& found, DeviceModel model) {
        for (const PlannedDevice& d : plan.devices) {
            if (d.model == model) {
                m_planned.insert(d.address);
            }
        }
        for (std::uint8_t a : found.Addresses(model)) {
            m_answered.insert(a);
            // A device alone at its address holds it; a clash address belongs to the device
            // that stays there.
            m_held.insert(a);
        }
    }
    void Hold(std::uint8_t a) { m_held.insert(a); }
    bool Free(std::uint8_t a) const { return !m_held.count(a); }
    // The lowest planned address nobody holds, else the lowest one neither planned nor
    // answering; taken.
    std::optional<std::uint8_t> Take() {
        for (std::uint8_t a : m_planned) {
            if (Free(a)) {
                Hold(a);
                return a;
            }
        }
        for (unsigned a = 1; a <= 255; ++a) {
            const auto b = static_cast<std::uint8_t>(a);
            if (Free(b) && !m_planned.count(b) && !m_answered.count(b)) {
                Hold(b);
                return b;
            }
        }
        return std::nullopt;
    }
    std::vector<std::uint8_t> Spare() const {
        std::vector<std::uint8_t> out;
        for (std::uint8_t a : m_planned) {
            if (Free(a)) {
                out.push_back(a);
            }
        }
        for (unsigned a = 1; a <= 255; ++a) {
            const auto b = static_cast<std::uint8_t>(a);
            if (Free(b) && !m_planned.count(b) && !m_answered.count(b)) {
                out.push_back(b);
            }
        }
        return out;
    }

private:
    std::set<std::uint8_t> m_planned;
    std::set<std::uint8_t> m_answered;
    std::set<std::uint8_t> m_held;
};

void PlanReplacements(const ProjectPlan& plan, const BusTable& found, DeviceModel model,
                      Addresses& addresses, MovePlan& out) {
    std::vector<const PlannedDevice*> missing;
    for (const PlannedDevice& d : plan.devices) {
        if (d.model == model && found.At(model, d.address).empty()) {
            missing.push_back(&d);
        }
    }
    std::vector<std::uint8_t> unexpected;
    for (std::uint8_t a : found.Addresses(model)) {
        if (found.AnsweredOnce(model, a) && !plan.Find(model, a)) {
            unexpected.push_back(a);
        }
    }
    const auto pair = [&](std::size_t m, std::size_t u) {
        const std::uint8_t from = unexpected[u];
        out.moves.push_back({model, from, missing[m]->address, found.At(model, from)[0],
                             AddressMove::Why::Replacement});
        addresses.Hold(missing[m]->address);
        missing.erase(missing.begin() + static_cast<long>(m));
        unexpected.erase(unexpected.begin() + static_cast<long>(u));
    };
    // By identity first.
    for (std::size_t m = 0; m < missing.size();) {
        bool paired = false;
        for (std::size_t u = 0; u < unexpected.size() && missing[m]->identity; ++u) {
            if (found.At(model, unexpected[u])[0] == *missing[m]->identity) {
                pair(m, u);
                paired = true;
                break;
            }
        }
        if (!paired) {
            ++m;
        }
    }
    if (missing.size() == 1 && unexpected.size() == 1) {
        pair(0, 0);
    } else if (!missing.empty() && !unexpected.empty()) {
        const std::string text = std::to_string(missing.size()) + " planned " +
                                 ModelInfo(model).name + " devices missing and " +
                                 std::to_string(unexpected.size()) +
                                 " unexpected: which replaces which is not known";
        for (const PlannedDevice* d : missing) {
            out.notes.push_back({model, d->address, text});
        }
    }
}

void PlanClashes(const ProjectPlan& plan, const BusTable& found, DeviceModel model,
                 Addresses& addresses, MovePlan& out) {
    for (std::uint8_t a : found.Addresses(model)) {
        if (!found.Clash(model, a)) {
            continue;
        }
        std::vector<DeviceIdentity> left = found.At(model, a);
        // One the plan gives another free address goes there.
        for (std::size_t i = 0; i < left.size();) {
            const auto elsewhere =
                std::find_if(plan.devices.begin(), plan.devices.end(), [&](const PlannedDevice& d) {
                    return d.model == model && d.address != a && d.identity == left[i] &&
                           addresses.Free(d.address);
                });
            if (elsewhere == plan.devices.end()) {
                ++i;
                continue;
            }
            out.moves.push_back({model, a, elsewhere->address, left[i], AddressMove::Why::Clash});
            addresses.Hold(elsewhere->address);
            left.erase(left.begin() + static_cast<long>(i));
        }
        if (left.empty()) {
            continue;
        }
        // One stays: the one the plan gives this address, else the first that answered.
        const PlannedDevice* here = plan.Find(model, a);
        auto keeper = left.begin();
        if (here && here->identity) {
            const auto it = std::find(left.begin(), left.end(), *here->identity);
            if (it != left.end()) {
                keeper = it;
            }
        }
        out.stays.push_back({model, a, *keeper});
        left.erase(keeper);
        std::size_t unplaced = 0;
        for (const DeviceIdentity& id : left) {
            if (const std::optional<std::uint8_t> to = addresses.Take()) {
                out.moves.push_back({model, a, *to, id, AddressMove::Why::Clash});
            } else {
                ++unplaced;
            }
        }
        if (unplaced > 0) {
            out.notes.push_back(
                {model, a, "no free address for " + std::to_string(unplaced) + " of the devices"});
        }
    }
}

}  // namespace

bool MovePlan::Touches(DeviceModel model) const {
    return std::any_of(moves.begin(), moves.end(),
                       [&](const AddressMove& m) { return m.model == model; });
}

MovePlan PlanMoves(const ProjectPlan& plan, const BusTable& found) {
    MovePlan out;
    for (const DeviceModelInfo& info : kDeviceModels) {
        Addresses addresses(plan, found, info.model);
        PlanReplacements(plan, found, info.model, addresses, out);
        PlanClashes(plan, found, info.model, addresses, out);
        out.spare[info.model] = addresses.Spare();
    }
    return out;
}
