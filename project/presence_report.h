#pragma once
// The plan held against what the searches found, before any read-back: each planned device is
// ok (it answered, alone, at its address), missing or in a clash; each device that answered
// where the plan has none is unexpected (or a clash). Devices of the models given, ordered by
// model (the model table's order) and address.

#include <vector>

#include "project/bus_table.h"
#include "project/project_plan.h"
#include "project/project_report.h"

std::vector<DeviceReport> PresenceReport(const ProjectPlan& plan, const BusTable& found,
                                         const std::vector<DeviceModel>& models);

// The entry of `model` at `address`; nullptr when none.
DeviceReport* FindReport(std::vector<DeviceReport>& devices, DeviceModel model,
                         std::uint8_t address);
