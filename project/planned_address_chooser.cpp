#include "project/planned_address_chooser.h"

#include <algorithm>

#include "bus/frame.h"

PlannedAddressChooser::PlannedAddressChooser(const MovePlan& moves, const BusTable& found,
                                             DeviceModel model) {
    for (std::uint8_t a : found.Addresses(model)) {
        if (found.Clash(model, a)) {
            m_clashes.insert(a);
        } else {
            m_alone[a] = a;
        }
    }
    for (const AddressMove& m : moves.moves) {
        if (m.model != model) {
            continue;
        }
        if (m.why == AddressMove::Why::Replacement) {
            m_alone[m.from] = m.to;
        } else {
            m_places.push_back({m.from, m.identity, m.to});
        }
    }
    for (const AddressStay& s : moves.stays) {
        if (s.model == model) {
            m_places.push_back({s.address, s.identity, s.address});
        }
    }
    const auto spare = moves.spare.find(model);
    if (spare != moves.spare.end()) {
        m_spare = spare->second;
    }
}

std::uint8_t PlannedAddressChooser::Choose(const std::uint8_t* request) {
    const std::uint8_t from = request[kPosSource];
    DeviceIdentity id{};
    std::copy_n(request + 6, id.size(), id.begin());
    const auto key = std::make_pair(from, id);
    if (const auto it = m_answered.find(key); it != m_answered.end()) {
        return it->second;
    }
    std::uint8_t to = from;  // a panel the searches did not see keeps its address
    if (const auto it = m_alone.find(from); it != m_alone.end()) {
        to = it->second;
    } else if (m_clashes.count(from)) {
        const auto place = std::find_if(m_places.begin(), m_places.end(), [&](const Place& p) {
            return !p.given && p.from == from && p.identity == id;
        });
        if (place != m_places.end()) {
            place->given = true;
            to = place->to;
        } else if (!m_spare.empty()) {
            to = m_spare.front();
            m_spare.erase(m_spare.begin());
        }
    }
    m_answered[key] = to;
    return to;
}
