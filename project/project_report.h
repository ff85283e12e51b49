#pragma once
// What a run found out, device by device: the one status each device has, with the key
// configuration fields that differ, and the counts of each status.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "bus/device_models.h"
#include "project/project_plan.h"

enum class DeviceStatus {
    Ok,          // as planned (after apply: verified; after resolve: at its planned address)
    Missing,     // planned, did not answer
    Unexpected,  // answered, not planned
    Clash,       // two or more devices answered the search at one address
    Differs,     // a TARVO whose read-back differs from the plan
    Failed,      // a write, a read-back or a move that did not take
};
inline constexpr std::size_t kDeviceStatusCount = 6;
// "ok", "missing", "unexpected", "clash", "differs", "failed".
const char* StatusName(DeviceStatus status);

// A field's value as the read-config JSON prints it: a number or a word.
struct FieldValue {
    std::optional<std::int64_t> number;
    std::string text;

    static FieldValue Number(std::int64_t n) { return {n, {}}; }
    static FieldValue Text(std::string t) { return {std::nullopt, std::move(t)}; }
    std::string Show() const { return number ? std::to_string(*number) : text; }
    bool operator==(const FieldValue&) const = default;
};

struct FieldDifference {
    std::string field;  // key_mode, long_press_ms, press_codes, release_codes, baud, ...
    FieldValue planned;
    FieldValue found;
};

struct DeviceReport {
    DeviceModel model = DeviceModel::Tarvo;
    std::uint8_t address = 0;
    std::string label;  // the plan's; empty for a device the plan lacks
    bool planned = false;
    // The identity the device answered with; every one of them for a clash; the planned one
    // for a device that did not answer (when the plan has one).
    std::vector<DeviceIdentity> identities;
    DeviceStatus status = DeviceStatus::Ok;
    std::vector<FieldDifference> differences;
    // A word more: "moved from 1", "no configuration reply", "did not move", ...
    std::string note;
};

struct ProjectReport {
    std::vector<DeviceReport> devices;
    // Set when the run ended early: stopped by the user, or the port failed.
    std::string interrupted;

    std::array<std::size_t, kDeviceStatusCount> Summary() const;
    bool AllOk() const;
};
