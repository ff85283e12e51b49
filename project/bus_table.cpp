#include "project/bus_table.h"

#include <algorithm>

void BusTable::Take(DeviceModel model, const std::vector<SearchAnswer>& answers) {
    std::erase_if(m_answers, [&](const auto& entry) { return entry.first.first == model; });
    for (const SearchAnswer& a : answers) {
        m_answers[{model, a.address}].push_back(a.identity);
    }
    if (!Searched(model)) {
        m_searched.push_back(model);
    }
}

bool BusTable::Searched(DeviceModel model) const {
    return std::find(m_searched.begin(), m_searched.end(), model) != m_searched.end();
}

const std::vector<DeviceIdentity>& BusTable::At(DeviceModel model, std::uint8_t address) const {
    static const std::vector<DeviceIdentity> none;
    const auto it = m_answers.find({model, address});
    return it == m_answers.end() ? none : it->second;
}

std::vector<std::uint8_t> BusTable::Addresses(DeviceModel model) const {
    std::vector<std::uint8_t> out;
    for (const auto& [key, ids] : m_answers) {
        if (key.first == model) {
            out.push_back(key.second);
        }
    }
    return out;  // the map orders them
}
