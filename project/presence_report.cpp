#include "project/presence_report.h"

#include <algorithm>
#include <set>

std::vector<DeviceReport> PresenceReport(const ProjectPlan& plan, const BusTable& found,
                                         const std::vector<DeviceModel>& models) {
    std::vector<DeviceReport> out;
    for (const DeviceModelInfo& info : kDeviceModels) {
        if (std::find(models.begin(), models.end(), info.model) == models.end()) {
            continue;
        }
        std::set<std::uint8_t> addresses;
        for (const PlannedDevice& d : plan.devices) {
            if (d.model == info.model) {
                addresses.insert(d.address);
            }
        }
        for (std::uint8_t a : found.Addresses(info.model)) {
            addresses.insert(a);
        }
        for (std::uint8_t a : addresses) {
            DeviceReport r;
            r.model = info.model;
            r.address = a;
            const PlannedDevice* planned = plan.Find(info.model, a);
            const std::vector<DeviceIdentity>& ids = found.At(info.model, a);
            r.planned = planned != nullptr;
            if (planned) {
                r.label = planned->label;
            }
            r.identities = ids;
            if (ids.size() > 1) {
                r.status = DeviceStatus::Clash;
            } else if (ids.empty()) {
                r.status = DeviceStatus::Missing;
                if (planned && planned->identity) {
                    r.identities = {*planned->identity};
                }
            } else if (!planned) {
                r.status = DeviceStatus::Unexpected;
            } else {
                r.status = DeviceStatus::Ok;
                if (planned->identity && *planned->identity != ids[0]) {
                    r.note = "planned identity " + FormatIdentity(*planned->identity);
                }
            }
            out.push_back(std::move(r));
        }
    }
    return out;
}

DeviceReport* FindReport(std::vector<DeviceReport>& devices, DeviceModel model,
                         std::uint8_t address) {
    for (DeviceReport& d : devices) {
        if (d.model == model && d.address == address) {
            return &d;
        }
    }
    return nullptr;
}
