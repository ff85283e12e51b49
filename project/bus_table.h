#pragma once
// What the searches found: for each model and address the identities that answered there, in
// the order they answered. One identity is a device; two or more at one address are a clash.

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "project/project_plan.h"
#include "project/search_step.h"

class BusTable {
public:
    // The answers of one search of `model`, replacing what an earlier search of it found.
    void Take(DeviceModel model, const std::vector<SearchAnswer>& answers);
    bool Searched(DeviceModel model) const;

    // The identities that answered at `address`; empty when nobody did.
    const std::vector<DeviceIdentity>& At(DeviceModel model, std::uint8_t address) const;
    bool AnsweredOnce(DeviceModel model, std::uint8_t address) const {
        return At(model, address).size() == 1;
    }
    bool Clash(DeviceModel model, std::uint8_t address) const {
        return At(model, address).size() > 1;
    }
    // The addresses that answered, ascending.
    std::vector<std::uint8_t> Addresses(DeviceModel model) const;

private:
    std::map<std::pair<DeviceModel, std::uint8_t>, std::vector<DeviceIdentity>> m_answers;
    std::vector<DeviceModel> m_searched;
};
