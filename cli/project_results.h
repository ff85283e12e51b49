#pragma once
// What the commissioning-project commands of orvalctl found out (project capture, check,
// apply, resolve; identify), for the one printer (cli/output.h).

#include <cstdint>
#include <string>

#include "project/project_report.h"

struct ProjectRunResult {
    enum class Kind { Capture, Check, Apply, Resolve };
    Kind kind = Kind::Check;
    ProjectReport report;
    // Capture: the file written (empty when it was not).
    std::string file;
};

struct IdentifyResult {
    std::uint8_t address = 0;
    double seconds = 0;         // asked for
    double flashedSeconds = 0;  // between the two frames
    bool flashed = false;       // the flash frame went out
    bool switchedOff = false;   // and the frame that ends it
    bool stopped = false;       // ended early (Ctrl-C)
};
