#pragma once
// A panel's read-back held against its planned key configuration: every field that differs,
// with the planned and the found value, under the names orvalctl's read-config JSON uses
// (key_mode, long_press_ms, press_codes, release_codes, baud, data_bits, stop_bits, parity).
// Code sets are compared as the bytes they send, so "01 02" planned as plain text "\x01\x02"
// is the same set.

#include <vector>

#include "bus/tarvo_config.h"
#include "project/project_plan.h"
#include "project/project_report.h"

std::vector<FieldDifference> CompareKeyConfig(const PlannedKeyConfig& planned,
                                              const TarvoConfig& found);
