#pragma once
// The project file: a plan of one bus as TOML text, written by hand or captured from the bus,
// diffable in version control. Read and written with toml++. Every value is checked as the
// window would check it (session/key_config_words.h); a refusal names the line and the key.
//
//   [bus]                        # the line settings of the bus (default 9600, 8, 1, none)
//   baud = 9600                  # one of the port panel's rates
//   data_bits = 8                # 8, 7, 6, 5
//   stop_bits = 1                # 1, 1.5, 2
//   parity = "none"              # none, odd, even, mark, space
//
//   [[device]]                   # one table per device
//   model = "tarvo"              # tarvo, mirell, oskan
//   address = 2                  # 1..255; one device per model and address
//   label = "3F 会议室 门口"       # where it is (optional)
//   identity = "54 A0 00 02"     # the four bytes it showed last (optional)
//
//   [device.key]                 # a TARVO panel's key configuration (optional, all or none):
//   mode = "short-long"          #   the names of orvalctl's key-configuration file
//   long_press_ms = 800
//   [device.press]               # first code set (optional: no codes, hex)
//   codes = "01 02 0A"
//   hex = true
//   [device.release]             # second code set (optional)
//   codes = ""
//   hex = true
//   [device.serial]              # the panel's own serial format
//   baud = 9600
//   data_bits = 8
//   stop_bits = 1
//   parity = "none"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "project/project_plan.h"

struct ProjectFileError {
    int line = 0;     // 1-based; 0 when the fault is not on one line
    std::string key;  // "device.key.long_press_ms"; empty for a fault of the TOML itself
    std::string message;
};

// Reads a project. Unknown tables and keys, values of the wrong type, values the window would
// refuse, a key configuration on a model that has none, a partial key configuration and two
// devices of one model at one address are refused.
std::optional<ProjectPlan> ParseProject(std::string_view text, ProjectFileError* error);

// "file:line: key: why" (without the line or the key when the error has none).
std::string DescribeProjectError(const std::string& fileName, const ProjectFileError& error);

// The TOML text of `plan`, after `comment` (each line written as a "# " comment). Values a
// read-back gave that the window's lists lack are written as they are; reading the file back
// refuses them, naming their line.
std::string FormatProject(const ProjectPlan& plan, const std::vector<std::string>& comment = {});
