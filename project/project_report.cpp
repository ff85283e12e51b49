#include "project/project_report.h"

#include <algorithm>

const char* StatusName(DeviceStatus status) {
    switch (status) {
        case DeviceStatus::Ok:
            return "ok";
        case DeviceStatus::Missing:
            return "missing";
        case DeviceStatus::Unexpected:
            return "unexpected";
        case DeviceStatus::Clash:
            return "clash";
        case DeviceStatus::Differs:
            return "differs";
        case DeviceStatus::Failed:
            return "failed";
    }
    return "";
}

std::array<std::size_t, kDeviceStatusCount> ProjectReport::Summary() const {
    std::array<std::size_t, kDeviceStatusCount> counts{};
    for (const DeviceReport& d : devices) {
        ++counts[static_cast<std::size_t>(d.status)];
    }
    return counts;
}

bool ProjectReport::AllOk() const {
    return interrupted.empty() && std::all_of(devices.begin(), devices.end(), [](const auto& d) {
               return d.status == DeviceStatus::Ok;
           });
}
